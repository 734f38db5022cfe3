// Endurance: many paints, resize cycles at 250 ms, entry calls in one process,
// open-and-cancel runs of the options dialog, and the item's own library
// loaded and freed around an item as a host that reloads its items does.
// After each phase: whether every iteration completed, whether exactly one
// sampler ran at every checkpoint (the item linked in), and how far GDI
// objects, handles and private bytes grew.
#include <cstdio>
#include <functional>

#include "bench_output.h"
#include "histories.h"
#include "item_harness.h"
#include "item_library.h"
#include "process_resources.h"
#include "suites.h"
#include "test_host_window.h"

namespace {

struct Phase {
    const char* name;
    int iterations;
    // Iterations between sampler counts; 0 for none, when the phase's samplers
    // run in a loaded copy of the library.
    int checkEvery;
    long gdiBound;
    long handleBound;
    double privateBoundKb;
};

struct PhaseResult {
    int completed = 0;
    int failures = 0; // iterations whose own check failed
    int checkpoints = 0;
    int badCheckpoints = 0;
    int rawMax = 0;
    int settledMax = 0;
};

std::string Methods;

void Checkpoint(PhaseResult& result) {
    const int raw = LiveSamplerThreads();
    const int settled = raw == 1 ? raw : SettledSamplerThreads(1000);
    result.rawMax = raw > result.rawMax ? raw : result.rawMax;
    result.settledMax = settled > result.settledMax ? settled : result.settledMax;
    ++result.checkpoints;
    result.badCheckpoints += settled == 1 ? 0 : 1;
}

// A count at the end of a phase against its start; a count the process
// cannot give (below 0) is reported as not measured.
void ReportCountGrowth(const std::string& row, const char* unit, long before, long after,
                       long bound, const char* missing, const std::string& detail) {
    if (after < 0) {
        ReportNotMeasured(row, unit, "start of the phase", Format("<= %ld", bound),
                          missing + Methods);
        return;
    }
    ReportRow(row, after - before, unit, "start of the phase", Format("<= %ld", bound),
              PassIf(after - before <= bound), Format("%ld -> %ld", before, after) + detail);
}

void RunPhase(const Phase& phase, const std::function<bool(int)>& iteration) {
    PumpFor(300);
    const ResourceCounts before = CountResources();
    PhaseResult result;
    for (int i = 0; i < phase.iterations; ++i) {
        Heartbeat(phase.name);
        result.failures += iteration(i) ? 0 : 1;
        ++result.completed;
        if (phase.checkEvery != 0 && (i + 1) % phase.checkEvery == 0) {
            Checkpoint(result);
        }
    }
    PumpFor(500);
    const ResourceCounts after = CountResources();
    const std::string prefix = std::string("endure.") + phase.name;
    ReportRow(prefix + "_completed", result.completed, "iterations",
              Format("%d planned", phase.iterations), "all, each check passed",
              PassIf(result.completed == phase.iterations && result.failures == 0),
              Format("%d iterations failed their own check; no hang (watchdog 60 s), no crash",
                     result.failures));
    if (phase.checkEvery != 0) {
        ReportRow(prefix + "_samplers", result.settledMax, "threads", "live sampler threads",
                  "exactly 1 at every checkpoint", PassIf(result.badCheckpoints == 0),
                  Format("%d checkpoints, %d not exactly 1; highest count before letting an "
                         "exited sampler's thread end: %d",
                         result.checkpoints, result.badCheckpoints, result.rawMax));
    }
    ReportCountGrowth(prefix + "_gdi_growth", "objects", before.gdiObjects, after.gdiObjects,
                      phase.gdiBound, "no working GDI object count; ", "; " + Methods);
    ReportCountGrowth(prefix + "_handle_growth", "handles", before.handles, after.handles,
                      phase.handleBound, "no working handle count; ", "");
    const double growthKb = (after.privateBytes - before.privateBytes) / 1024.0;
    ReportRow(
        prefix + "_private_growth", growthKb, "KiB", "start of the phase",
        Format("<= %.0f", phase.privateBoundKb), PassIf(growthKb <= phase.privateBoundKb),
        Format("%.0f KiB -> %.0f KiB", before.privateBytes / 1024.0, after.privateBytes / 1024.0));
}

bool CapacityIs(int wanted) {
    return CpuHistory && CpuHistory->Capacity() == wanted;
}

// LoadLibrary, the entry, the first paint (which starts the library's
// sampler), WM_DESTROY a little later and FreeLibrary at once; true when the
// library then went away.
bool LoadAndUnload(HWND host, int i) {
    HMODULE library = nullptr;
    HWND item = LoadItemLibrary(host, library);
    if (item != nullptr) {
        PlaceItem(item, 240, 50);
        PumpFor(static_cast<DWORD>((i * 37) % 300));
        DestroyWindow(item);
    }
    if (library != nullptr) {
        FreeLibrary(library);
    }
    return item != nullptr && PumpUntilTrue([] { return !ItemLibraryLoaded(); }, 10000);
}

} // namespace

int RunEndurance(const BenchOptions& options) {
    StartWatchdog(60);
    ProbeResourceMethods(Methods);
    TestHostWindow host;
    HWND item = CreateSamplingItem(host.Handle());
    if (item == nullptr) {
        return 2;
    }
    // Warm-up, so that one-time allocations of the platform do not count.
    for (int i = 0; i < 200; ++i) {
        PaintItem(item);
    }
    PlaceItem(item, 200, 40);
    PlaceItem(item, 240, 50);
    OpenAndCancelOptions(item);
    OpenAndCancelOptions(item);
    PumpFor(500);

    const bool shortRun = options.shortRun;
    RunPhase({"paints", shortRun ? 400 : 20000, shortRun ? 200 : 1000, 4, 8, 1024}, [&](int i) {
        PaintItem(item);
        if (i % 50 == 0) {
            PumpFor(0);
        }
        return true;
    });
    RunPhase({"resize_cycles", shortRun ? 4 : 200, 1, 4, 8, 1024}, [&](int i) {
        const int width = i % 2 == 0 ? 200 : 240;
        PlaceItem(item, width, i % 2 == 0 ? 40 : 50);
        const bool sized = CapacityIs(width + 1);
        // Stops land at varying points of the spin and the sleep.
        PumpFor(static_cast<DWORD>((i * 37) % 300));
        return sized;
    });
    RunPhase({"entry_calls", shortRun ? 3 : 50, 1, 4, 8, 1024}, [&](int i) {
        DestroyWindow(item);
        item = CreateItem(host.Handle());
        if (item == nullptr) {
            return false;
        }
        PlaceItem(item, 240, 50);
        PumpFor(static_cast<DWORD>(100 + (i * 53) % 200));
        return CapacityIs(241);
    });
    RunPhase({"options_dialog", shortRun ? 5 : 100, 5, 4, 8, 1024}, [&](int) {
        const bool cancelled = OpenAndCancelOptions(item);
        PumpFor(20);
        return cancelled;
    });
    SendMessageW(item, WM_CLOSE, 0, 0);
    DestroyWindow(item);

    // Whatever the library holds while loaded must go with it, and it links
    // no runtime of its own that could keep anything: 64 KiB over 200 loads
    // shows a leak of a few hundred bytes a load. The first cycle is the
    // platform's first use.
    LoadAndUnload(host.Handle(), 0);
    RunPhase({"load_unload", shortRun ? 4 : 200, 0, 0, 0, 64},
             [&](int i) { return LoadAndUnload(host.Handle(), i); });
    return 0;
}

// Responsiveness: how long WM_SIZE, WM_DESTROY and WM_CLOSE take to return
// while the sampler is in its spin and while it sleeps, at each interval, on
// an otherwise idle core and with a normal-priority thread holding the core
// at 100 %. The messages are sent straight to the item window from its own
// thread, so the time is the handler's: the stop request and the wait for
// the sampler.
#include <atomic>
#include <cstdio>

#include "bench_output.h"
#include "histories.h"
#include "item_harness.h"
#include "load_generator.h"
#include "load_sampler.h"
#include "sampler_probe.h"
#include "settings.h"
#include "suites.h"
#include "test_host_window.h"
#include "thread_census.h"

namespace {

struct Message {
    UINT id;
    const char* name;
};

const Message Messages[] = {
    {WM_SIZE, "wm_size"}, {WM_DESTROY, "wm_destroy"}, {WM_CLOSE, "wm_close"}};

int SamplesNow() {
    ScopedLock guard(HistoryLock);
    return CpuHistory ? CpuHistory->Count() : 0;
}

// Every publish moves the grid, with or without histories.
int GridNow() {
    ScopedLock guard(HistoryLock);
    return GridScrollOffset;
}

// The running sampler's thread, once any earlier one has ended.
HANDLE OpenSampler() {
    return SettledSamplerThreads(1000) == 1
               ? OpenThreadStartedAt(reinterpret_cast<const void*>(&LoadSampler))
               : nullptr;
}

// What the handler's return must mean and does not arrange by itself: the
// sampler's thread ends within a second, and it published nothing after the
// return.
bool StoppedForGood(HANDLE thread, int gridOnReturn) {
    if (thread == nullptr) {
        return false;
    }
    const bool ended = WaitForSingleObject(thread, 1000) == WAIT_OBJECT_0;
    CloseHandle(thread);
    return ended && GridNow() == gridOnReturn;
}

// Holds the processor at 100 % with a normal-priority thread while it lives;
// the suite runs pinned, so that is the item's core.
class Saturation {
  public:
    explicit Saturation(bool on) : on(on) {
        if (on) {
            StartLoadGenerator(100);
        }
    }
    ~Saturation() {
        if (on) {
            StopLoadGenerator();
        }
    }
    Saturation(const Saturation&) = delete;
    Saturation& operator=(const Saturation&) = delete;

  private:
    bool on;
};

// The interval of the row being measured. In the short run a row that wants
// the sleeping period reaches it through a spin at the shortest interval, and
// the spin's end sets the row's interval for the sleep.
std::atomic<int> RowInterval{0};
bool ShortSpins = false;

int SetRowInterval() {
    ItemSettings.SampleInterval = RowInterval.load();
    return 0;
}

// Starts a fresh sampler and waits until it is in its first spin (spin) or
// its first sleep (after the first publish).
bool ReachPeriod(HWND item, bool inSpin, int interval) {
    RowInterval = interval;
    const int first = inSpin || !ShortSpins ? interval : 0;
    ItemSettings.SampleInterval = first;
    RestartSampling(item);
    return inSpin || PumpUntilTrue([] { return SamplesNow() >= 1; },
                                   static_cast<DWORD>(IntervalMilliseconds[first]) * 3 + 1000);
}

void MeasureRow(HWND item, bool saturated, bool inSpin, int interval, DWORD into,
                const Message& message) {
    const std::string name =
        Format("response.%s%s_%s_%dms", saturated ? "saturated_" : "", message.name,
               inSpin ? "spin" : "sleep", IntervalMilliseconds[interval]);
    const bool reached = ReachPeriod(item, inSpin, interval);
    // The busy thread comes once the sampler is in the period, so that a
    // sleeping period can be reached at all.
    Saturation busy(saturated && reached);
    PumpFor(into);
    if (!reached || SamplesNow() != (inSpin ? 0 : 1)) {
        ReportNotMeasured(name, "ms", "time to return", "<= 150",
                          "the sampler was not in the wanted period when sent");
        return;
    }
    RECT client;
    GetClientRect(item, &client);
    HANDLE thread = OpenSampler();
    const LARGE_INTEGER start = Now();
    SendMessageW(item, message.id, 0, MAKELPARAM(client.right, client.bottom));
    const double elapsed = SecondsSince(start) * 1000.0;
    const bool stopped = StoppedForGood(thread, GridNow());
    ReportRow(name, elapsed, "ms", "time to return", "<= 150", PassIf(elapsed <= 150.0 && stopped),
              Format("%s %u ms into the %s%s; sampler thread %s", message.name,
                     static_cast<unsigned>(into), inSpin ? "first spin" : "first sleep",
                     saturated ? ", a normal-priority thread holding the core at 100 %" : "",
                     stopped ? "ended within 1 s, nothing published after the return"
                             : "lived on or published after the return"));
}

} // namespace

int RunResponse(const BenchOptions& options) {
    StartWatchdog(60);
    ShortSpins = options.shortRun && InstallSamplerProbe(false, SetRowInterval);
    TestHostWindow host;
    HWND item = CreateSamplingItem(host.Handle());
    if (item == nullptr) {
        return 2;
    }
    for (const bool saturated : {false, true}) {
        for (int interval = 0; interval < IntervalCount; ++interval) {
            // Halfway into the period; 20 ms into it in the short run.
            const DWORD into =
                options.shortRun ? 20 : static_cast<DWORD>(IntervalMilliseconds[interval]) / 2;
            for (const bool inSpin : {true, false}) {
                for (const Message& message : Messages) {
                    Heartbeat("response");
                    MeasureRow(item, saturated, inSpin, interval, into, message);
                }
            }
        }
    }
    DestroyWindow(item);
    return 0;
}

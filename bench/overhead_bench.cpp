// Overhead: a processor-bound job on the item's core, timed with the item
// sampling at 250 ms and with it stopped, in alternating pairs; and the
// processor time the item spends outside its spin, per hour.
#include <algorithm>
#include <cstdio>
#include <vector>

#include "bench_output.h"
#include "item_harness.h"
#include "kernel_counters.h"
#include "sampler_probe.h"
#include "suites.h"
#include "test_host_window.h"

namespace {

struct JobRun {
    uint64_t iterations;
    double seconds;
};

// Integer work that the compiler cannot fold away and that never waits.
DWORD WINAPI Job(LPVOID parameter) {
    JobRun* run = static_cast<JobRun*>(parameter);
    const LARGE_INTEGER start = Now();
    volatile uint64_t sink = 0;
    uint64_t state = 88172645463325252ull;
    for (uint64_t i = 0; i < run->iterations; ++i) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        if ((i & 0xFFFF) == 0) {
            sink = state;
        }
    }
    sink = sink + state;
    run->seconds = SecondsSince(start);
    return 0;
}

// Runs the job on a thread of its own while this thread goes on painting.
double TimeJob(uint64_t iterations) {
    JobRun run = {iterations, 0};
    HANDLE thread = CreateThread(nullptr, 0, Job, &run, 0, nullptr);
    PumpUntilSignalled(thread);
    CloseHandle(thread);
    Heartbeat("overhead job");
    return run.seconds;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void MeasureSlowdown(HWND item, const BenchOptions& options) {
    // Calibrated with the item stopped, to a job of about 0.5 s (0.2 s short).
    // Many short pairs: this machine's own speed drifts by a few per cent
    // over seconds, and only neighbours that close see the same drift.
    SendMessageW(item, WM_CLOSE, 0, 0);
    const uint64_t probe = options.shortRun ? 10000000 : 50000000;
    const double probeSeconds = TimeJob(probe);
    const double wanted = options.shortRun ? 0.2 : 0.5;
    const uint64_t iterations = static_cast<uint64_t>(probe * wanted / probeSeconds);
    const int pairs = options.shortRun ? 1 : 32;
    std::vector<double> ratios;
    double with = 0;
    double without = 0;
    for (int pair = 0; pair < pairs; ++pair) {
        double times[2];
        // Alternating order cancels a drift of the machine's own load.
        for (int k = 0; k < 2; ++k) {
            const bool sampling = (pair + k) % 2 == 0;
            if (sampling) {
                RestartSampling(item);
                PumpFor(300);
            } else {
                SendMessageW(item, WM_CLOSE, 0, 0);
            }
            times[sampling ? 0 : 1] = TimeJob(iterations);
        }
        with += times[0];
        without += times[1];
        ratios.push_back(times[0] / times[1]);
    }
    const double slowdown = (Median(ratios) - 1.0) * 100.0;
    ReportRow("overhead.job_slowdown", slowdown, "%",
              "the same job with the item stopped (WM_CLOSE), alternating pairs", "<= 1",
              PassIf(slowdown <= 1.0),
              Format("median of %d pair ratios; job %.3f s with the item, %.3f s without "
                     "(means); sampler at 250 ms on the same core",
                     pairs, with / pairs, without / pairs));
}

// Over a stretch of sampling at 250 ms: the window thread's processor time
// (paints and messages), and the sampler's own time between the end of one
// spin and the start of the next (memory query, publishes, sleeping period),
// from the sampler's reads of its own time that the probe records.
void MeasureTimeOutsideSpin(HWND item, const BenchOptions& options) {
    RestartSampling(item);
    PumpFor(600);
    TakeSpinRecords();
    HANDLE self = OpenThread(THREAD_QUERY_INFORMATION, FALSE, GetCurrentThreadId());
    // Two spins in a row at 250 ms come within about a second.
    const DWORD stretchMs = options.shortRun ? 1500 : 60000;
    const int64_t paintsBefore = PaintsSeen;
    const double uiStart = ThreadTicks(self);
    const LARGE_INTEGER start = Now();
    OnPublish = [](const PaintSeen&) { Heartbeat("overhead stretch"); };
    PumpFor(stretchMs);
    OnPublish = nullptr;
    const double seconds = SecondsSince(start);
    const double uiTicks = ThreadTicks(self) - uiStart;
    CloseHandle(self);
    const int64_t paints = PaintsSeen - paintsBefore;
    const std::vector<SpinRecord> spins = TakeSpinRecords();
    double outsideTicks = 0;
    double coveredSeconds = 0;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    for (size_t i = 1; i < spins.size(); ++i) {
        if (spins[i].thread != spins[i - 1].thread) {
            continue;
        }
        outsideTicks += spins[i].startTotal - spins[i - 1].endTotal;
        coveredSeconds +=
            static_cast<double>(spins[i].startTime.QuadPart - spins[i - 1].endTime.QuadPart) /
            static_cast<double>(frequency.QuadPart);
    }
    const double uiPerHour = uiTicks / TicksPerSecond * 3600.0 / seconds;
    if (coveredSeconds <= 0) {
        ReportNotMeasured("overhead.item_time_outside_spin_per_hour", "s/h",
                          "one hour of wall-clock time at 250 ms", "none (report)",
                          "the sampler probe saw no two spins in a row");
        return;
    }
    // The time between spins is half the wall-clock time: per hour of running
    // it counts for half an hour.
    const double samplerPerHour = outsideTicks / TicksPerSecond * 1800.0 / coveredSeconds;
    ReportRow("overhead.item_time_outside_spin_per_hour", uiPerHour + samplerPerHour, "s/h",
              "one hour of wall-clock time at 250 ms", "none (report)", "info",
              Format("window thread %.1f s/h (%lld paints in %.1f s, each with its messages); "
                     "sampler between spins %.2f s/h (%d spins); kernel per-thread times in "
                     "10 ms ticks; wineserver's share of the message traffic not included",
                     uiPerHour, static_cast<long long>(paints), seconds, samplerPerHour,
                     static_cast<int>(spins.size())));
}

} // namespace

int RunOverhead(const BenchOptions& options) {
    StartWatchdog(90);
    InstallSamplerProbe(false, nullptr);
    TestHostWindow host;
    HWND item = CreateSamplingItem(host.Handle());
    if (item == nullptr) {
        return 2;
    }
    MeasureSlowdown(item, options);
    MeasureTimeOutsideSpin(item, options);
    SendMessageW(item, WM_CLOSE, 0, 0);
    DestroyWindow(item);
    return 0;
}

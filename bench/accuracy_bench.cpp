// Accuracy: the item's processor samples against the kernel's busy share of
// the same core over the same window, at five known loads, and its memory
// samples against the kernel's memory figures.
//
// The process runs pinned to core 0. The sampler probe marks each spin by the
// sampler's own two reads of its processor time and reads /proc/stat right
// there, so the kernel's share over exactly that window is (core busy ticks -
// the sampler's own ticks) / all ticks: the kernel counts the idle-class spin
// as busy, which the item rightly does not. What the spin published is read
// from the history when the next spin starts.
#include <atomic>
#include <cmath>
#include <cstdio>
#include <vector>

#include "bench_output.h"
#include "item_harness.h"
#include "kernel_counters.h"
#include "load_generator.h"
#include "sampler_probe.h"
#include "suites.h"
#include "test_host_window.h"

namespace {

const int LevelDuty[] = {0, 25, 50, 75, 100};
const int LevelCount = 5;

struct Sample {
    int level;
    double at;
    int item;
    double kernel;
    int memoryItem;
    double memoryKernel;
    double memoryWine;
    double samplerKernelShare; // of the window, in percent
    double windowSeconds;
};

struct AccuracyRun {
    int attemptsPerLevel = 20;
    LARGE_INTEGER start;
    std::vector<Sample> samples;
    int dropped[LevelCount] = {};
    int attemptsSeen[LevelCount] = {};
    int unclear = 0; // spins followed by neither one nor two publishes
};

// -1: the warm-up spin, whose window starts with the thread. Written only by
// the spin-end handler, in the sampler's thread.
std::atomic<int> Level{-1};
int AttemptsAtLevel = 0;

AccuracyRun Run;

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

void Evaluate(const SpinRecord& spin) {
    const double total = static_cast<double>(spin.endCore.total - spin.startCore.total);
    const double busy = static_cast<double>(spin.endCore.busy - spin.startCore.busy);
    const double own = spin.endTotal - spin.startTotal;
    const double ownUser = spin.endUser - spin.startUser;
    if (total <= 0) {
        return;
    }
    Sample sample;
    sample.level = spin.tag;
    sample.at = Seconds(Run.start, spin.endTime);
    sample.item = spin.cpuAfter;
    // Slightly below 0 at no load: the kernel's core figures come from its
    // ticks, the thread's from its run time.
    sample.kernel = 100.0 * (busy - own) / total;
    sample.memoryItem = spin.memoryAfter;
    sample.memoryKernel = spin.memory.valid ? KernelMemoryLoad(spin.memory) : -1;
    sample.memoryWine = spin.memory.valid ? WineMemoryLoad(spin.memory) : -1;
    sample.samplerKernelShare = 100.0 * (own - ownUser) / total;
    sample.windowSeconds = Seconds(spin.startTime, spin.endTime);
    Run.samples.push_back(sample);
    ReportSample(Format("%.3f\t%d\t%d\t%.2f\t%d\t%.2f\t%.2f\t%.2f\t%.3f", sample.at,
                        LevelDuty[sample.level], sample.item, sample.kernel, sample.memoryItem,
                        sample.memoryKernel, sample.memoryWine, sample.samplerKernelShare,
                        sample.windowSeconds));
}

// Level changes come at the end of a spin, before the sleeping period, so
// that every spin tagged with a level runs wholly at it.
int CountSpin() {
    const int level = Level;
    if (level >= LevelCount) {
        return LevelCount;
    }
    const int wanted = level < 0 ? 1 : Run.attemptsPerLevel;
    if (++AttemptsAtLevel >= wanted) {
        AttemptsAtLevel = 0;
        Level = level + 1;
        if (level + 1 < LevelCount) {
            SetLoadDuty(LevelDuty[level + 1]);
        }
    }
    return level;
}

bool AllSeen() {
    for (int seen : Run.attemptsSeen) {
        if (seen < Run.attemptsPerLevel) {
            return false;
        }
    }
    return true;
}

void Publish(const PaintSeen&) {
    Heartbeat("accuracy");
    for (const SpinRecord& spin : TakeSpinRecords()) {
        if (spin.tag < 0 || spin.tag >= LevelCount) {
            continue;
        }
        ++Run.attemptsSeen[spin.tag];
        if (spin.publishesAfter == 2) {
            Evaluate(spin);
        } else if (spin.publishesAfter == 1) {
            ++Run.dropped[spin.tag];
            // What the item shows meanwhile: the value before, repeated.
            std::printf("DROPPED\t%.3f\t%d\t%d\n", Seconds(Run.start, spin.endTime),
                        LevelDuty[spin.tag], spin.cpuAfter);
            std::fflush(stdout);
        } else {
            ++Run.unclear;
        }
    }
    if (AllSeen()) {
        PostQuitMessage(0);
    }
}

void ReportCpu() {
    double absoluteSum = 0;
    double dutySum = 0;
    double kernelModeSum = 0;
    int counted = 0;
    for (const Sample& s : Run.samples) {
        absoluteSum += std::fabs(s.item - s.kernel);
        kernelModeSum += s.samplerKernelShare;
        dutySum += std::fabs(s.item - LevelDuty[s.level]);
        ++counted;
    }
    const std::string kernel = "kernel busy share of core 0 over the same window "
                               "(/proc/stat, less the sampler's own time)";
    if (counted == 0) {
        ReportNotMeasured("accuracy.cpu_mean_abs_error", "points", kernel, "<= 2",
                          "no measuring period published a sample");
    } else {
        ReportRow("accuracy.cpu_mean_abs_error", absoluteSum / counted, "points", kernel, "<= 2",
                  PassIf(absoluteSum / counted <= 2.0),
                  Format("%d samples at 1 s over 5 levels (%d spins followed by neither one "
                         "nor two publishes); the sampler's kernel-mode time (which the item "
                         "does not count as idle) averaged %.2f %% of a window",
                         counted, Run.unclear, kernelModeSum / counted));
        ReportRow("accuracy.cpu_mean_abs_error_vs_duty", dutySum / counted, "points",
                  "the generator's set duty", "none (reference)", "info",
                  "duty is what the generator aims at; the kernel's share is what the core did");
    }
    for (int level = 0; level < LevelCount; ++level) {
        double itemSum = 0;
        double kernelSum = 0;
        double worst = 0;
        int n = 0;
        int reads100 = 0;
        for (const Sample& s : Run.samples) {
            if (s.level != level) {
                continue;
            }
            itemSum += s.item;
            kernelSum += s.kernel;
            worst = std::fmax(worst, std::fabs(s.item - s.kernel));
            reads100 += s.item == 100 ? 1 : 0;
            ++n;
        }
        const std::string name = Format("accuracy.cpu_level_%d_error", LevelDuty[level]);
        const std::string attempts =
            Format("%d measuring periods, %d published, %d dropped (no processor time: "
                   "the previous value is shown again)",
                   Run.attemptsSeen[level], n, Run.dropped[level]);
        if (n == 0) {
            ReportNotMeasured(name, "points", kernel, "|mean error| <= 5",
                              "no sample published at this level; " + attempts);
        } else {
            const double error = itemSum / n - kernelSum / n;
            ReportRow(name, error, "points", kernel, "|mean error| <= 5",
                      PassIf(std::fabs(error) <= 5.0),
                      Format("item mean %.2f, kernel mean %.2f, duty %d, worst sample %.2f; ",
                             itemSum / n, kernelSum / n, LevelDuty[level], worst) +
                          attempts);
        }
        if (LevelDuty[level] == 100) {
            const int periods = Run.attemptsSeen[level];
            const double share = periods > 0 ? 100.0 * reads100 / periods : 0;
            ReportRow("accuracy.cpu_full_load_reads_100", share, "% of measuring periods",
                      "100 (full load)", "100", PassIf(periods > 0 && reads100 == periods),
                      Format("%d of %d measuring periods published 100; %d published less, "
                             "%d published nothing and left the previous value on screen",
                             reads100, periods, n - reads100, Run.dropped[level]));
        }
    }
}

void ReportMemory() {
    double worst = 0;
    double sum = 0;
    double worstWine = 0;
    int n = 0;
    for (const Sample& s : Run.samples) {
        if (s.memoryKernel < 0 || s.memoryItem < 0) {
            continue;
        }
        sum += std::fabs(s.memoryItem - s.memoryKernel);
        worst = std::fmax(worst, std::fabs(s.memoryItem - s.memoryKernel));
        worstWine = std::fmax(worstWine, std::fabs(s.memoryItem - s.memoryWine));
        ++n;
    }
    const std::string compared = "(MemTotal - MemAvailable) / MemTotal from /proc/meminfo";
    if (n == 0) {
        ReportNotMeasured("accuracy.memory_max_abs_error", "points", compared, "<= 1",
                          "no memory sample with a readable /proc/meminfo");
        return;
    }
    ReportRow("accuracy.memory_max_abs_error", worst, "points", compared, "<= 1",
              PassIf(worst <= 1.0),
              Format("%d samples, mean %.2f; against Wine's own figure (MemFree + Buffers + "
                     "Cached taken as available) the worst is %.2f",
                     n, sum / n, worstWine));
}

} // namespace

int RunAccuracy(const BenchOptions& options) {
    Run.attemptsPerLevel = options.shortRun ? 2 : 20;
    StartWatchdog(30);
    if (!InstallSamplerProbe(true, CountSpin)) {
        std::printf("ERROR\tthe sampler probe found no GetThreadTimes import\n");
        return 2;
    }
    StoreSettings({{L"SampleInterval", 2}, {L"DisplayMemory", 1}, {L"WindowSize", 2}});
    TestHostWindow host;
    HWND item = CreateItem(host.Handle());
    if (item == nullptr) {
        return 2;
    }
    StartLoadGenerator(0);
    Run.start = Now();
    OnPublish = Publish;
    // Wide enough that the history does not wrap during the run.
    PlaceItem(item, 1200, 50);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    OnPublish = nullptr;
    StopLoadGenerator();
    SendMessageW(item, WM_CLOSE, 0, 0);
    ReportCpu();
    ReportMemory();
    DestroyWindow(item);
    return 0;
}

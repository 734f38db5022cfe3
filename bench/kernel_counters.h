// The Linux kernel's own accounting, read from inside the Wine process
// through its Z: drive: one core's busy time from /proc/stat, the memory
// figures of /proc/meminfo, and a thread's processor time.
#pragma once

#include <windows.h>

#include <cstdint>

// Clock ticks (USER_HZ, 100 per second on Linux) since boot.
struct CoreTimes {
    bool valid;
    uint64_t busy;  // everything but idle and iowait; steal counts as busy,
                    // since a spinning thread receives none of it either
    uint64_t total; // all ten fields but the guest ones, which user includes
};

CoreTimes ReadCoreTimes(int core);

struct MemoryFigures {
    bool valid;
    double totalKb;
    double availableKb;
    double freeKb;
    double buffersKb;
    double cachedKb;
};

MemoryFigures ReadMemoryFigures();
// (MemTotal - MemAvailable) / MemTotal in percent: the kernel's memory load.
double KernelMemoryLoad(const MemoryFigures& figures);
// Wine's GlobalMemoryStatus takes MemFree + Buffers + Cached as available.
double WineMemoryLoad(const MemoryFigures& figures);

// Kernel plus user time of a thread in clock ticks. Wine takes both from
// /proc/<pid>/task/<tid>/stat, so they are the kernel's per-thread figures.
double ThreadTicks(HANDLE thread);
// A FILETIME span (100-ns units) in clock ticks.
double FileTimeTicks(const FILETIME& time);

constexpr double TicksPerSecond = 100.0;

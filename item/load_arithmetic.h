// The sampler's arithmetic: processor load from the idle thread's own time,
// memory load from the memory status. No platform calls.
#pragma once

#include <cstdint>

struct CpuLoadResult {
    bool valid;  // false: the period yields no sample
    int8_t load; // percent busy, 0 to 100
};

// gain100ns: growth of the spinning thread's processor time over the period;
// elapsedMs: wall-clock length of the period from the tick counter.
CpuLoadResult CpuLoadOfPeriod(uint64_t gain100ns, uint32_t elapsedMs);

// The spinning thread's processor time at one end of a period, in 100-ns
// units; not known when the platform's query failed.
struct ThreadTime {
    bool known;
    uint64_t time100ns;
};

// The load of a period between two readings of the thread's time. A reading
// that failed, or a time that went back, gives no sample: it must not read as
// a thread that received nothing, which is full load.
inline CpuLoadResult CpuLoadBetween(ThreadTime start, ThreadTime end, uint32_t elapsedMs) {
    if (!start.known || !end.known || end.time100ns < start.time100ns) {
        return {false, 0};
    }
    return CpuLoadOfPeriod(end.time100ns - start.time100ns, elapsedMs);
}

// Percentage of physical memory in use, truncated toward zero.
int MemoryLoadPercent(uint64_t availablePhys, uint64_t totalPhys);

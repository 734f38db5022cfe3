// The sampler's arithmetic: processor load from the idle thread's own time,
// memory load from the memory status. No platform calls.
#pragma once

#include <cstdint>

struct CpuLoadResult {
    bool valid;  // false: the period yields no sample
    int8_t load; // percent busy, 0 to 100
};

// userGain100ns: growth of the spinning thread's user time over the period;
// elapsedMs: wall-clock length of the period from the tick counter.
CpuLoadResult CpuLoadOfPeriod(uint64_t userGain100ns, uint32_t elapsedMs);

// Percentage of physical memory in use, truncated toward zero.
int MemoryLoadPercent(uint64_t availablePhys, uint64_t totalPhys);

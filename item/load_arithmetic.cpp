// Load arithmetic of the sampler.
#include "load_arithmetic.h"

CpuLoadResult CpuLoadOfPeriod(uint64_t userGain100ns, uint32_t elapsedMs) {
    // A period cut short before its first tick has nothing to divide by.
    if (elapsedMs == 0) {
        return {false, 0};
    }
    // No user time at all means no idle time: the processor was saturated, so
    // this period reads 100 instead of being dropped.
    const uint64_t idleMs = userGain100ns / 10000;
    uint64_t idlePercent = idleMs * 100 / elapsedMs;
    // The thread-time clock is coarser than the tick counter, so the idle
    // share can come out above the whole period.
    if (idlePercent > 100) {
        idlePercent = 100;
    }
    return {true, static_cast<int8_t>(100 - idlePercent)};
}

int MemoryLoadPercent(uint64_t availablePhys, uint64_t totalPhys) {
    if (totalPhys == 0) {
        return 0;
    }
    const double avail = static_cast<double>(availablePhys);
    const double total = static_cast<double>(totalPhys);
    double used = 100.0 - (avail / total) * 100.0;
    // A foreign status with more available than total would go negative
    // without bound; keep the conversion to int defined.
    if (used < -100.0) {
        used = -100.0;
    }
    return static_cast<int>(used);
}

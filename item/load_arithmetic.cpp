// Load arithmetic of the sampler.
#include "load_arithmetic.h"

namespace {

// x * m exactly, as a high 64-bit and a low 32-bit part: 100 times a 64-bit
// memory size does not fit in 64 bits.
struct Product {
    uint64_t high;
    uint32_t low;
};

Product Times(uint64_t x, uint32_t m) {
    const uint64_t low = (x & 0xFFFFFFFFu) * m;
    return {(x >> 32) * m + (low >> 32), static_cast<uint32_t>(low)};
}

bool AtMost(Product a, Product b) {
    return a.high < b.high || (a.high == b.high && a.low <= b.low);
}

// 100 * part / whole truncated, for part <= whole, in integers only: the
// device has no floating point, and this needs no division either.
int PercentOf(uint64_t part, uint64_t whole) {
    const Product scaledPart = Times(part, 100);
    int percent = 0;
    while (percent < 100 && AtMost(Times(whole, percent + 1), scaledPart)) {
        ++percent;
    }
    return percent;
}

} // namespace

CpuLoadResult CpuLoadOfPeriod(uint64_t gain100ns, uint32_t elapsedMs) {
    // A period cut short before its first tick has nothing to divide by.
    if (elapsedMs == 0) {
        return {false, 0};
    }
    // No processor time at all means no idle time: the processor was
    // saturated, so this period reads 100 instead of being dropped.
    const uint64_t idleMs = gain100ns / 10000;
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
    if (availablePhys <= totalPhys) {
        return PercentOf(totalPhys - availablePhys, totalPhys);
    }
    // A foreign status with more available than total reads negative, bounded
    // at -100, truncated toward zero as the positive loads are.
    const uint64_t excess = availablePhys - totalPhys;
    return excess >= totalPhys ? -100 : -PercentOf(excess, totalPhys);
}

// Processor and memory load arithmetic, including the degenerate periods.
#include <gtest/gtest.h>

#include <cstdint>

#include "load_arithmetic.h"

namespace {

TEST(CpuLoad, WorkedExamples) {
    const struct {
        uint64_t gain;
        uint32_t elapsed;
        int load;
    } cases[] = {
        {2500000, 1000, 75},                      // idle 250 ms of 1000
        {1230000, 500, 76},                       // idle 123 ms of 500: 24.6 % truncates to 24
        {1, 1000, 100},                           // under one millisecond of idle time
        {9999, 1000, 100},   {10000000, 1000, 0}, // idle the whole second
        {0, 1000, 100},                           // no idle time at all: saturated, not dropped
        {0, 16, 100},
    };
    for (const auto& c : cases) {
        const CpuLoadResult r = CpuLoadOfPeriod(c.gain, c.elapsed);
        EXPECT_TRUE(r.valid) << "gain " << c.gain << " over " << c.elapsed << " ms";
        EXPECT_EQ(c.load, r.load) << "gain " << c.gain << " over " << c.elapsed << " ms";
    }
}

TEST(CpuLoad, IdleShareAboveTheWholePeriodReadsZero) {
    // The thread clock ticks coarser than the tick counter: 1010 ms over 1000,
    // and 3560 ms over 1000, are both fully idle.
    EXPECT_EQ(0, CpuLoadOfPeriod(10100000, 1000).load);
    EXPECT_EQ(0, CpuLoadOfPeriod(35600000, 1000).load);
    EXPECT_TRUE(CpuLoadOfPeriod(35600000, 1000).valid);
}

TEST(CpuLoad, PeriodEndedBeforeItsFirstTickYieldsNothing) {
    EXPECT_FALSE(CpuLoadOfPeriod(0, 0).valid);
    EXPECT_FALSE(CpuLoadOfPeriod(50000, 0).valid);
}

TEST(CpuLoad, GainAboveThirtyTwoBitsIsNotWrapped) {
    // A gain across the low word's wrap arrives here whole.
    const uint64_t gain = (1ULL << 32) + 5000000;
    EXPECT_EQ(0, CpuLoadOfPeriod(gain, 100000).load) << "429 s idle over 100 s";
    EXPECT_EQ(50, CpuLoadOfPeriod(5000000, 1000).load);
}

TEST(CpuLoad, BetweenTwoReadingsOfTheThreadTime) {
    const struct {
        ThreadTime start, end;
        bool valid;
        int load;
    } cases[] = {
        {{true, 7000000}, {true, 9500000}, true, 75},
        {{true, 5}, {true, 5}, true, 100},       // no time received: saturated
        {{false, 0}, {true, 2500000}, false, 0}, // a failed query is no sample, never 100
        {{true, 2500000}, {false, 0}, false, 0},
        {{true, 2500001}, {true, 2500000}, false, 0}, // a clock that went back
    };
    for (const auto& c : cases) {
        const CpuLoadResult r = CpuLoadBetween(c.start, c.end, 1000);
        EXPECT_EQ(c.valid, r.valid) << c.start.time100ns << " to " << c.end.time100ns;
        if (c.valid) {
            EXPECT_EQ(c.load, r.load) << c.start.time100ns << " to " << c.end.time100ns;
        }
    }
}

TEST(MemoryLoad, Conversion) {
    const struct {
        uint64_t avail;
        uint64_t total;
        int load;
    } cases[] = {
        {12582912, 33554432, 62}, // 62.5 truncates
        {100, 100, 0},            // all available
        {0, 100, 100},            // none available
        {1, 3, 66},               // 66.67 truncates
        {0, 0, 0},                // no memory reported: no division by zero
        {8ULL << 30, 16ULL << 30, 50},
        {0xFFFFFFFEULL, 0xFFFFFFFFULL, 0}, // one byte short of all, 32-bit
        {1, 0xFFFFFFFFULL, 99},            // just under 100 is 99
        {~0ULL / 3, ~0ULL, 66},            // 64-bit: 100 x avail overflows
        {0, ~0ULL, 100},
        {~0ULL - 1, ~0ULL, 0},
        {4, 3, -33},  // foreign status: more available than total
        {7, 3, -100}, // bounded at -100
        {~0ULL, 1ULL << 63, -99},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.load, MemoryLoadPercent(c.avail, c.total)) << c.avail << " of " << c.total;
    }
}

} // namespace

// The device build's division helpers against the host's own division.
#include <gtest/gtest.h>

#include <cstdint>

extern "C" {
uint32_t __udivsi3(uint32_t, uint32_t);
uint32_t __umodsi3(uint32_t, uint32_t);
int32_t __divsi3(int32_t, int32_t);
int32_t __modsi3(int32_t, int32_t);
uint64_t __udivdi3(uint64_t, uint64_t);
uint64_t __umoddi3(uint64_t, uint64_t);
int64_t __divdi3(int64_t, int64_t);
int64_t __moddi3(int64_t, int64_t);
}

TEST(IntegerDivision, MatchesTheHost) {
    const int64_t values[] = {0,
                              1,
                              -1,
                              2,
                              3,
                              -7,
                              10,
                              100,
                              1000,
                              250,
                              0x7FFFFFFF,
                              -0x7FFFFFFF,
                              INT32_MIN,
                              0xFFFFFFFFLL,
                              1LL << 40,
                              -(1LL << 40) - 3,
                              INT64_MAX,
                              INT64_MIN + 1,
                              123456789012345LL};
    for (int64_t a : values) {
        for (int64_t b : values) {
            if (b == 0) {
                continue;
            }
            const auto ua = static_cast<uint64_t>(a), ub = static_cast<uint64_t>(b);
            EXPECT_EQ(a / b, __divdi3(a, b)) << a << " / " << b;
            EXPECT_EQ(a % b, __moddi3(a, b)) << a << " % " << b;
            EXPECT_EQ(ua / ub, __udivdi3(ua, ub)) << ua << " / " << ub;
            EXPECT_EQ(ua % ub, __umoddi3(ua, ub)) << ua << " % " << ub;
            const auto a32 = static_cast<int32_t>(a), b32 = static_cast<int32_t>(b);
            if (b32 == 0 || (a32 == INT32_MIN && b32 == -1)) {
                continue;
            }
            const auto ua32 = static_cast<uint32_t>(a32), ub32 = static_cast<uint32_t>(b32);
            EXPECT_EQ(a32 / b32, __divsi3(a32, b32)) << a32 << " / " << b32;
            EXPECT_EQ(a32 % b32, __modsi3(a32, b32)) << a32 << " % " << b32;
            EXPECT_EQ(ua32 / ub32, __udivsi3(ua32, ub32)) << ua32 << " / " << ub32;
            EXPECT_EQ(ua32 % ub32, __umodsi3(ua32, ub32)) << ua32 << " % " << ub32;
        }
    }
}

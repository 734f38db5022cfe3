// Ring buffer: filling, wrapping and byte conversion.
#include <gtest/gtest.h>

#include <vector>

#include "sample_history.h"

namespace {

std::vector<int> Contents(const SampleHistory& h) {
    std::vector<int> out;
    for (int i = 0; i < h.Count(); ++i) {
        out.push_back(h.At(i));
    }
    return out;
}

TEST(SampleHistory, StartsEmpty) {
    SampleHistory h(5);
    EXPECT_EQ(0, h.Count());
    EXPECT_EQ(5, h.Capacity());
    EXPECT_EQ(0, h.WriteIndex());
    EXPECT_EQ(0, h.OldestIndex());
}

TEST(SampleHistory, CapacityOneKeepsOnlyTheNewest) {
    SampleHistory h(1);
    for (int v : {7, 8, 9}) {
        h.Push(v);
        EXPECT_EQ(1, h.Count());
        EXPECT_EQ(0, h.WriteIndex());
        EXPECT_EQ(v, h.At(0)) << "after pushing " << v;
    }
}

TEST(SampleHistory, FillsInOrderThenOverwritesTheOldest) {
    SampleHistory h(3);
    h.Push(1);
    EXPECT_EQ((std::vector<int>{1}), Contents(h));
    EXPECT_EQ(1, h.WriteIndex());
    EXPECT_EQ(0, h.OldestIndex()) << "oldest stays at slot 0 while filling";
    h.Push(2);
    h.Push(3);
    EXPECT_EQ(3, h.Count());
    EXPECT_EQ(0, h.WriteIndex());
    EXPECT_EQ(0, h.OldestIndex());
    EXPECT_EQ((std::vector<int>{1, 2, 3}), Contents(h));
    h.Push(4);
    EXPECT_EQ(1, h.WriteIndex());
    EXPECT_EQ(1, h.OldestIndex());
    EXPECT_EQ((std::vector<int>{2, 3, 4}), Contents(h));
    h.Push(5);
    EXPECT_EQ((std::vector<int>{3, 4, 5}), Contents(h));
    EXPECT_EQ(3, h.Count()) << "a full history stays full";
}

TEST(SampleHistory, LongRunKeepsTheLastCapacitySamples) {
    SampleHistory h(241);
    for (int v = 0; v < 1000; ++v) {
        h.Push(v % 101);
    }
    ASSERT_EQ(241, h.Count());
    for (int i = 0; i < 241; ++i) {
        EXPECT_EQ((1000 - 241 + i) % 101, h.At(i)) << "index " << i;
    }
}

TEST(SampleHistory, StoresTheLowByteSignExtended) {
    const struct {
        int pushed;
        int read;
    } cases[] = {{-1, -1},    {0, 0},     {100, 100}, {127, 127},
                 {128, -128}, {200, -56}, {256, 0},   {-256, 0}};
    for (const auto& c : cases) {
        SampleHistory h(2);
        h.Push(c.pushed);
        EXPECT_EQ(c.read, h.At(0)) << "pushed " << c.pushed;
    }
}

} // namespace

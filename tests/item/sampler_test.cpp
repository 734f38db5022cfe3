// The live sampler thread under Wine: publishing, the grid offset, the
// memory switch, and the stop handshake in each kind of period.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "histories.h"
#include "item_state.h"
#include "load_sampler.h"
#include "screen_metrics.h"
#include "settings.h"

namespace {

int Count() {
    ScopedLock guard(HistoryLock);
    return CpuHistory->Count();
}

std::vector<int> Samples(const std::unique_ptr<SampleHistory>& h) {
    ScopedLock guard(HistoryLock);
    std::vector<int> out;
    for (int i = 0; i < h->Count(); ++i) {
        out.push_back(h->At(i));
    }
    return out;
}

bool WaitForCount(int wanted, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (Count() < wanted) {
        if (GetTickCount() - start > timeoutMs) {
            return false;
        }
        Sleep(5);
    }
    return true;
}

class SamplerTest : public testing::Test {
  protected:
    void SetUp() override {
        ReadScreenDpi();
        ItemSettings.SampleInterval = 0;
        ItemSettings.DisplayMemory = 1;
        CpuHistory = std::make_unique<SampleHistory>(101);
        MemoryHistory = std::make_unique<SampleHistory>(101);
        window = CreateWindowExW(0, L"STATIC", L"item", WS_POPUP | WS_VISIBLE, 0, 0, 100, 50,
                                 nullptr, nullptr, nullptr, nullptr);
        ItemWindowHandle = window;
    }
    void TearDown() override {
        StopLoadSampler();
        SamplerThread = nullptr;
        CpuHistory.reset();
        MemoryHistory.reset();
        DestroyWindow(window);
    }
    HWND window = nullptr;
};

// Must run first: in a fresh process no sampler was ever started.
TEST_F(SamplerTest, StopWithoutAStartedSamplerReturnsAtOnce) {
    EXPECT_EQ(0, SamplerExited.load());
    const DWORD start = GetTickCount();
    StopLoadSampler();
    EXPECT_LT(GetTickCount() - start, 100u) << "nothing to wait for";
}

TEST_F(SamplerTest, PublishesEachMeasurementTwiceAndScrollsTheGrid) {
    ASSERT_EQ(96, LogPixelsX) << "this test expects a 96-dpi screen";
    const int offsetBefore = GridScrollOffset;
    StartLoadSampler();
    ASSERT_TRUE(WaitForCount(8, 10000)) << "pushes arrive at 250 ms";
    RECT dirty;
    EXPECT_TRUE(GetUpdateRect(window, &dirty, FALSE)) << "each publish invalidates the item";
    StopLoadSampler();
    EXPECT_EQ(1, SamplerExited.load());
    EXPECT_NE(nullptr, SamplerThread.load());

    const std::vector<int> cpu = Samples(CpuHistory);
    const std::vector<int> mem = Samples(MemoryHistory);
    ASSERT_EQ(cpu.size(), mem.size());
    for (size_t i = 0; i + 1 < cpu.size(); i += 2) {
        EXPECT_EQ(cpu[i], cpu[i + 1]) << "measurement " << i / 2 << " is repeated by the sleep";
        EXPECT_EQ(mem[i], mem[i + 1]) << "memory " << i / 2;
    }
    for (size_t i = 0; i < cpu.size(); ++i) {
        EXPECT_GE(cpu[i], 0) << i;
        EXPECT_LE(cpu[i], 100) << i;
        EXPECT_GT(mem[i], 0) << "memory in use is never nothing";
        EXPECT_LE(mem[i], 100) << i;
    }
    // The offset steps down once per push from wherever the last sampler left
    // it, wrapping from 0 to ScaleX(10) - 1.
    int expected = offsetBefore;
    for (size_t i = 0; i < cpu.size(); ++i) {
        expected = expected - 1 < 0 ? 9 : expected - 1;
    }
    EXPECT_EQ(expected, GridScrollOffset);
    EXPECT_GE(GridScrollOffset, 0);
    EXPECT_LE(GridScrollOffset, 9);
}

TEST_F(SamplerTest, MemoryOffPushesZeroAfterTheSleepThatFollows) {
    StartLoadSampler();
    ASSERT_TRUE(WaitForCount(2, 5000));
    ItemSettings.DisplayMemory = 0;
    const int switchedAt = Count();
    ASSERT_TRUE(WaitForCount(switchedAt + 4, 10000));
    StopLoadSampler();
    const std::vector<int> mem = Samples(MemoryHistory);
    // At most one publish after the switch can repeat a real value (a sleep
    // that repeats the measurement before it); from then on memory is 0.
    for (size_t i = switchedAt + 1; i < mem.size(); ++i) {
        EXPECT_EQ(0, mem[i]) << "sample " << i << " of " << mem.size();
    }
    EXPECT_GT(mem[0], 0);
}

TEST_F(SamplerTest, StopDuringTheSpinPublishesTheShortenedPeriodOnce) {
    ItemSettings.SampleInterval = 3; // 2000 ms
    StartLoadSampler();
    Sleep(500);
    ASSERT_EQ(0, Count()) << "still in the first spin";
    const DWORD start = GetTickCount();
    StopLoadSampler();
    EXPECT_LT(GetTickCount() - start, 1000u) << "the spin must end at its next test";
    EXPECT_EQ(1, Count()) << "the shortened period is still published";
}

TEST_F(SamplerTest, StopDuringTheSleepEndsItAndPublishesOnce) {
    ItemSettings.SampleInterval = 3;
    StartLoadSampler();
    ASSERT_TRUE(WaitForCount(1, 5000));
    Sleep(500);
    ASSERT_EQ(1, Count()) << "now in the sleeping period";
    const DWORD start = GetTickCount();
    StopLoadSampler();
    EXPECT_LT(GetTickCount() - start, 1000u) << "the sleep must not run its 2000 ms out";
    const std::vector<int> cpu = Samples(CpuHistory);
    ASSERT_EQ(2u, cpu.size()) << "one more publish after the stop";
    EXPECT_EQ(cpu[0], cpu[1]);
}

TEST_F(SamplerTest, ShorterIntervalTakesEffectWithinARunningSpin) {
    ItemSettings.SampleInterval = 4; // 5000 ms
    StartLoadSampler();
    Sleep(400);
    ItemSettings.SampleInterval = 0; // already passed: the spin ends at once
    EXPECT_TRUE(WaitForCount(1, 1000)) << "the spin reads the interval at every test";
}

TEST_F(SamplerTest, StopRightAfterStartEndsTheThread) {
    for (int i = 0; i < 20; ++i) {
        StartLoadSampler();
        StopLoadSampler();
        ASSERT_EQ(1, SamplerExited.load()) << "round " << i;
    }
    EXPECT_LE(Count(), 20);
}

TEST_F(SamplerTest, SaturatedCoreReadsFullLoad) {
    // The test runs pinned to one core, so a normal-priority spinner leaves
    // the idle-class sampler no time at all.
    std::atomic<bool> stop{false};
    HANDLE busy = CreateThread(
        nullptr, 0,
        [](LPVOID p) -> DWORD {
            auto* flag = static_cast<std::atomic<bool>*>(p);
            while (!flag->load()) {
            }
            return 0;
        },
        &stop, 0, nullptr);
    Sleep(50);
    StartLoadSampler();
    const bool arrived = WaitForCount(4, 10000);
    stop = true;
    WaitForSingleObject(busy, INFINITE);
    CloseHandle(busy);
    StopLoadSampler();
    ASSERT_TRUE(arrived);
    const std::vector<int> cpu = Samples(CpuHistory);
    EXPECT_GE(cpu[1], 90) << "a saturated processor must not read as idle";
}

} // namespace

// The live sampler thread under Wine: publishing, the grid offset, the
// memory switch, and the stop handshake in each kind of period and on a
// saturated core. Time bounds stay well short of the interval they guard, so
// a busy machine does not trip them.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "histories.h"
#include "item_state.h"
#include "load_sampler.h"
#include "screen_metrics.h"
#include "settings.h"
#include "thread_census.h"
#include "thread_priority_bridge.h"

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

// Starts a sampler and opens its thread, found by its start routine once the
// threads of earlier tests have ended; Wine tells a thread's routine only
// once the thread has run.
HANDLE StartSampler() {
    const void* routine = reinterpret_cast<const void*>(&LoadSampler);
    for (int waited = 0; waited < 100 && ThreadsStartedAt(routine) > 0; ++waited) {
        Sleep(10);
    }
    StartLoadSampler();
    HANDLE thread = OpenThreadStartedAt(routine);
    for (int waited = 0; waited < 100 && thread == nullptr; ++waited) {
        Sleep(10);
        thread = OpenThreadStartedAt(routine);
    }
    return thread;
}

// What a returned stop must mean and does not arrange by itself: the thread
// ends within a bound, and nothing was pushed after the stop returned.
void ExpectStoppedForGood(HANDLE thread, const char* what, int round = 0) {
    const int pushed = Count();
    ASSERT_NE(nullptr, thread) << what << ", round " << round << ": no sampler thread found";
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 1000))
        << what << ", round " << round << ": the thread outlived the stop";
    CloseHandle(thread);
    EXPECT_EQ(pushed, Count()) << what << ", round " << round << ": a push after the stop";
}

// A normal-priority thread that keeps the processor busy while it lives; the
// test runs pinned, so it competes for the sampler's only core.
class BusyThread {
  public:
    BusyThread() : thread(CreateThread(nullptr, 0, Spin, &stop, 0, nullptr)) {}
    ~BusyThread() {
        stop = true;
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
    BusyThread(const BusyThread&) = delete;
    BusyThread& operator=(const BusyThread&) = delete;

  private:
    static DWORD WINAPI Spin(LPVOID flag) {
        while (!static_cast<std::atomic<bool>*>(flag)->load()) {
        }
        return 0;
    }
    std::atomic<bool> stop{false};
    HANDLE thread;
};

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
        CpuHistory.reset();
        MemoryHistory.reset();
        DestroyWindow(window);
    }
    HWND window = nullptr;
};

TEST_F(SamplerTest, PublishesEachMeasurementTwiceAndScrollsTheGrid) {
    ASSERT_EQ(96, LogPixelsX) << "this test expects a 96-dpi screen";
    const int offsetBefore = GridScrollOffset;
    HANDLE thread = StartSampler();
    ASSERT_TRUE(WaitForCount(8, 10000)) << "pushes arrive at 250 ms";
    RECT dirty;
    EXPECT_TRUE(GetUpdateRect(window, &dirty, FALSE)) << "each publish invalidates the item";
    StopLoadSampler();
    ExpectStoppedForGood(thread, "a stop while sampling");
    EXPECT_EQ(nullptr, SamplerThread) << "the stop closes the sampler's handle and clears it";

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

TEST_F(SamplerTest, MemoryOffPushesNoReadingAfterTheSleepThatFollows) {
    StartLoadSampler();
    ASSERT_TRUE(WaitForCount(2, 5000));
    ItemSettings.DisplayMemory = 0;
    const int switchedAt = Count();
    ASSERT_TRUE(WaitForCount(switchedAt + 4, 10000));
    StopLoadSampler();
    const std::vector<int> mem = Samples(MemoryHistory);
    // At most one publish after the switch can repeat a real value (a sleep
    // that repeats the measurement before it); from then on memory is no reading.
    for (size_t i = switchedAt + 1; i < mem.size(); ++i) {
        EXPECT_EQ(NotMeasured, mem[i]) << "sample " << i << " of " << mem.size();
    }
    EXPECT_GT(mem[0], 0);
}

// The tests below act about 500 ms into a 5000 ms period; what must happen
// before that period could have run out must happen within this.
const DWORD CutShort = 3000;

TEST_F(SamplerTest, StopDuringTheSpinPublishesTheShortenedPeriodOnce) {
    ItemSettings.SampleInterval = 4; // 5000 ms
    // A spin that received no processor time rightly yields nothing, and on
    // a core that others keep busy that can happen; a stop that drops the
    // period fails every try.
    int published = 0;
    for (int attempt = 0; attempt < 3 && published == 0; ++attempt) {
        CpuHistory = std::make_unique<SampleHistory>(101);
        StartLoadSampler();
        Sleep(500);
        ASSERT_EQ(0, Count()) << "still in the first spin";
        const DWORD start = GetTickCount();
        StopLoadSampler();
        EXPECT_LT(GetTickCount() - start, CutShort) << "the spin must end at its next test";
        published = Count();
    }
    EXPECT_EQ(1, published) << "the shortened period is still published";
}

// Without root or CAP_SYS_NICE the stop cannot raise the sampler out of
// Linux's idle class, and the test fails: it cannot show what it is for.
TEST_F(SamplerTest, StopOnASaturatedCoreReturnsPromptly) {
    ASSERT_TRUE(LinuxIdleClassIsReversible())
        << "this user cannot take a thread out of Linux's idle class (needs root or "
           "CAP_SYS_NICE)";
    ItemSettings.SampleInterval = 4;
    BusyThread busy[8];
    DWORD total = 0;
    for (int round = 0; round < 3; ++round) {
        HANDLE thread = StartSampler();
        Sleep(300);
        const DWORD start = GetTickCount();
        StopLoadSampler();
        total += GetTickCount() - start;
        ExpectStoppedForGood(thread, "a stop on a saturated core", round);
    }
    // At the idle priority the sampler would see each stop only when the
    // busy threads leave the core idle, which they never do. Linux gives an
    // idle-class thread a sliver even then, thinner the more threads want the
    // core: with eight, three stops left in the idle class take 2.5 s or
    // more, three raised ones about 0.35 s (each waits for the 100 ms poll).
    EXPECT_LT(total, 1000u) << "the stop raises the sampler";
}

TEST_F(SamplerTest, StopDuringTheSleepEndsItAndPublishesOnce) {
    ItemSettings.SampleInterval = 4;
    StartLoadSampler();
    ASSERT_TRUE(WaitForCount(1, 10000));
    Sleep(500);
    ASSERT_EQ(1, Count()) << "now in the sleeping period";
    const DWORD start = GetTickCount();
    StopLoadSampler();
    EXPECT_LT(GetTickCount() - start, CutShort) << "the sleep must not run its 5000 ms out";
    const std::vector<int> cpu = Samples(CpuHistory);
    ASSERT_EQ(2u, cpu.size()) << "one more publish after the stop";
    EXPECT_EQ(cpu[0], cpu[1]);
}

TEST_F(SamplerTest, ShorterIntervalTakesEffectWithinARunningSpin) {
    ItemSettings.SampleInterval = 4; // 5000 ms
    StartLoadSampler();
    Sleep(400);
    ItemSettings.SampleInterval = 0; // already passed: the spin ends at once
    EXPECT_TRUE(WaitForCount(1, CutShort)) << "the spin reads the interval at every test";
}

TEST_F(SamplerTest, StopRightAfterStartEndsTheThread) {
    for (int i = 0; i < 20; ++i) {
        HANDLE thread = StartSampler();
        StopLoadSampler();
        ExpectStoppedForGood(thread, "a stop right after the start", i);
    }
    EXPECT_LE(Count(), 20);
}

TEST_F(SamplerTest, SaturatedCoreReadsFullLoad) {
    bool arrived = false;
    {
        BusyThread busy;
        Sleep(50);
        StartLoadSampler();
        arrived = WaitForCount(4, 10000);
    }
    StopLoadSampler();
    ASSERT_TRUE(arrived);
    const std::vector<int> cpu = Samples(CpuHistory);
    EXPECT_GE(cpu[1], 90) << "a saturated processor must not read as idle";
}

} // namespace

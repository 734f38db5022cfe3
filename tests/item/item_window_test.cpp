// The item window and its entry under Wine: the entry's effects, the refresh
// query, the sampler's start and stop around paints, sizes and closes, and
// the background from the palette or the host's watermark.
#include <windows.h>

#include <gtest/gtest.h>

#include "histories.h"
#include "history_count.h"
#include "item_state.h"
#include "item_window.h"
#include "load_sampler.h"
#include "screen_metrics.h"
#include "settings.h"
#include "test_canvas.h"
#include "test_host_window.h"
#include "test_registry.h"
#include "thread_census.h"

namespace {

// Live threads of this process that run the sampler's routine.
int SamplerThreads() {
    return ThreadsStartedAt(reinterpret_cast<const void*>(&LoadSampler));
}

TODAYLISTITEM EnabledRecord() {
    TODAYLISTITEM item = {};
    item.fEnabled = TRUE;
    item.hinstDLL = GetModuleHandleW(nullptr);
    item.cyp = 0xDEADBEEF;
    return item;
}

// The item as the Today host shows it: created by the entry, then placed.
class ItemWindowTest : public testing::Test {
  protected:
    void SetUp() override {
        DeleteItemKey();
        CreateItemKey();
        StoreDword(L"SampleInterval", 0);
        StoreDword(L"GridColor", 0xFFFFFFFF);
    }
    void TearDown() override {
        if (item != nullptr) {
            SendMessageW(item, WM_SIZE, 0, 0);
            DestroyWindow(item);
        }
        DeleteItemKey();
    }
    HWND Create() {
        TODAYLISTITEM record = EnabledRecord();
        item = InitializeCustomItem(&record, host.Handle());
        return item;
    }
    void Place(int width, int height) {
        MoveWindow(item, 0, 0, width, height, TRUE);
        UpdateWindow(item);
    }

    TestHostWindow host;
    HWND item = nullptr;
};

TEST_F(ItemWindowTest, DisabledRecordMakesNothing) {
    // Whatever an earlier test left: no class, no DPI read, no height pending.
    UnregisterClassW(L"TovametClass", GetModuleHandleW(nullptr));
    const int dpiX = LogPixelsX;
    LogPixelsX = 0;
    HeightChanged = 0;
    ItemSettings.WindowSize = 1;
    TODAYLISTITEM record = EnabledRecord();
    record.fEnabled = FALSE;
    EXPECT_EQ(nullptr, InitializeCustomItem(&record, host.Handle()));
    EXPECT_EQ(nullptr, InitializeCustomItem(nullptr, host.Handle())) << "no record";
    WNDCLASSW found;
    EXPECT_FALSE(GetClassInfoW(GetModuleHandleW(nullptr), L"TovametClass", &found));
    EXPECT_EQ(0, LogPixelsX) << "the DPI is not read";
    EXPECT_EQ(1, ItemSettings.WindowSize.load()) << "settings are not loaded";
    EXPECT_EQ(0, HeightChanged);
    LogPixelsX = dpiX;
}

TEST_F(ItemWindowTest, EntryMakesTheWindowAndReportsTheHeightOnce) {
    StoreDword(L"WindowSize", 1);
    ASSERT_NE(nullptr, Create());
    wchar_t name[32];
    GetClassNameW(item, name, 32);
    EXPECT_STREQ(L"TovametClass", name);
    GetWindowTextW(item, name, 32);
    EXPECT_STREQ(L"Tovamet", name);
    EXPECT_EQ(host.Handle(), GetParent(item));
    EXPECT_EQ(WS_CHILD | WS_VISIBLE, static_cast<DWORD>(GetWindowLongW(item, GWL_STYLE)) &
                                         (WS_CHILD | WS_VISIBLE | WS_POPUP));
    EXPECT_EQ(item, ItemWindowHandle.load());
    EXPECT_EQ(1, ItemSettings.WindowSize.load()) << "settings loaded by the entry";

    HDC screen = GetDC(nullptr);
    EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSX), LogPixelsX);
    EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSY), LogPixelsY);
    ReleaseDC(nullptr, screen);
    LOGFONTW font;
    ASSERT_EQ(static_cast<int>(sizeof(font)), GetObjectW(ItemFont, sizeof(font), &font));
    EXPECT_EQ(LogPixelsY == 192 ? 26 : 13, font.lfHeight);
    EXPECT_EQ(FW_NORMAL, font.lfWeight);

    StoreDword(L"WindowSize", 2);
    LoadSettings();
    ASSERT_TRUE(LogPixelsY == 96 || LogPixelsY == 192) << "run at 96 or 192 dpi";
    const DWORD expected = LogPixelsY == 192 ? 100 : 50;
    TODAYLISTITEM record = EnabledRecord();
    EXPECT_EQ(TRUE, SendMessageW(item, WM_TODAYCUSTOM_QUERYREFRESHCACHE,
                                 reinterpret_cast<WPARAM>(&record), 0));
    EXPECT_EQ(expected, record.cyp);
    record.cyp = 0xDEADBEEF;
    EXPECT_EQ(FALSE, SendMessageW(item, WM_TODAYCUSTOM_QUERYREFRESHCACHE,
                                  reinterpret_cast<WPARAM>(&record), 0));
    EXPECT_EQ(0xDEADBEEFu, record.cyp) << "left untouched";
    HeightChanged = 1;
    EXPECT_EQ(FALSE, SendMessageW(item, WM_TODAYCUSTOM_QUERYREFRESHCACHE, 0, 0)) << "no record";
    EXPECT_EQ(0, SendMessageW(item, WM_TODAYCUSTOM_CLEARCACHE, 0, 0));
}

TEST_F(ItemWindowTest, FirstPaintStartsOneSamplerAndSizeStopsIt) {
    ASSERT_NE(nullptr, Create());
    SendMessageW(item, WM_SIZE, 0, MAKELPARAM(240, 50));
    EXPECT_FALSE(CpuHistory) << "a size change before any paint changes nothing";
    EXPECT_EQ(nullptr, SamplerThread);

    Place(240, 50);
    ASSERT_TRUE(CpuHistory);
    ASSERT_TRUE(MemoryHistory);
    EXPECT_EQ(241, CpuHistory->Capacity());
    EXPECT_EQ(241, MemoryHistory->Capacity());
    const SampleHistory* first = CpuHistory.get();
    ASSERT_TRUE(PumpUntil([] { return CpuCount() >= 4; }, 10000)) << "samples arrive";
    EXPECT_EQ(first, CpuHistory.get()) << "later paints make nothing";
    EXPECT_EQ(1, SamplerThreads()) << "exactly one sampler";

    // MoveWindow sends WM_SIZE: it returns with the sampler gone.
    MoveWindow(item, 0, 0, 200, 50, FALSE);
    EXPECT_EQ(nullptr, SamplerThread);
    EXPECT_FALSE(CpuHistory);
    EXPECT_FALSE(MemoryHistory);
    EXPECT_TRUE(PumpUntil([] { return SamplerThreads() == 0; }, 10000))
        << "the sampler thread ends, slowly when its idle class gets no processor";

    UpdateWindow(item);
    ASSERT_TRUE(CpuHistory);
    EXPECT_EQ(201, CpuHistory->Capacity());
    EXPECT_TRUE(PumpUntil([] { return CpuCount() >= 2; }, 10000)) << "a fresh sampler runs";
    EXPECT_EQ(1, SamplerThreads());

    // With the sampler already stopped, the resize's stop publishes nothing
    // that would ask for a paint; the resize asks for it itself.
    SendMessageW(item, WM_CLOSE, 0, 0);
    UpdateWindow(item);
    MoveWindow(item, 0, 0, 180, 50, FALSE);
    UpdateWindow(item);
    ASSERT_TRUE(CpuHistory) << "the paint at the new width came";
    EXPECT_EQ(181, CpuHistory->Capacity());
}

TEST_F(ItemWindowTest, CloseKeepsTheWindowPaintingItsLastSamples) {
    StoreDword(L"WindowSize", 0);
    StoreDword(L"SampleColor", 1);
    StoreDword(L"DisplayMemory", 0);
    ASSERT_NE(nullptr, Create());
    Place(120, 40);
    ASSERT_TRUE(PumpUntil([] { return CpuCount() >= 4; }, 10000));
    EXPECT_EQ(0, SendMessageW(item, WM_CLOSE, 0, 0));
    EXPECT_TRUE(IsWindow(item));
    const int kept = CpuCount();
    EXPECT_TRUE(PumpUntil([] { return SamplerThreads() == 0; }, 2000))
        << "the sampler thread ends with the close";
    PumpMessages(700);
    EXPECT_EQ(kept, CpuCount()) << "nothing samples after the close";

    InvalidateRect(item, nullptr, FALSE);
    UpdateWindow(item);
    EXPECT_EQ(kept, CpuCount()) << "a paint restarts nothing";
    TestCanvas shown(120, 40);
    shown.CaptureClient(item);
    EXPECT_GT(shown.CountColor(ColorPalette[1], 100, 0, 120, 40), 0) << "the kept trace is drawn";
    ItemSettings.DisplayMemory = 1;
    TestCanvas on(120, 40);
    RedrawWindow(item, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    on.CaptureClient(item);
    int differing = 0;
    for (int i = 0; i < 120 * 40; ++i) {
        differing += shown.Pixel(i % 120, i / 120) != on.Pixel(i % 120, i / 120) ? 1 : 0;
    }
    EXPECT_EQ(0, differing) << "memory on before its first reading: no figure or trace of it";
}

TEST_F(ItemWindowTest, BackgroundComesFromThePaletteOrTheHost) {
    StoreDword(L"BackgroundColor", 4);
    ASSERT_NE(nullptr, Create());
    Place(100, 50);
    TestCanvas shown(100, 50);
    shown.CaptureClient(item);
    EXPECT_EQ(ColorPalette[4], shown.Pixel(50, 45));
    EXPECT_EQ(ColorPalette[4], shown.Pixel(2, 30));

    ItemSettings.BackgroundColor = TransparentColor;
    TestHostWindow::WatermarkRequests = 0;
    InvalidateRect(item, nullptr, FALSE);
    UpdateWindow(item);
    EXPECT_EQ(1, TestHostWindow::WatermarkRequests);
    EXPECT_EQ(item, TestHostWindow::WatermarkWindow);
    shown.CaptureClient(item);
    EXPECT_EQ(TestWatermarkColor, shown.Pixel(50, 45));
    EXPECT_EQ(TestWatermarkColor, shown.Pixel(2, 30));
}

TEST_F(ItemWindowTest, SecondEntryCallMakesANewWindowAndFont) {
    ASSERT_NE(nullptr, Create());
    Place(100, 50);
    ASSERT_TRUE(PumpUntil([] { return CpuCount() >= 2; }, 10000));
    TODAYLISTITEM record = EnabledRecord();
    SendMessageW(item, WM_TODAYCUSTOM_QUERYREFRESHCACHE, reinterpret_cast<WPARAM>(&record), 0);
    DestroyWindow(item);
    const HWND first = item;
    const HFONT firstFont = ItemFont;

    StoreDword(L"TextColor", 7);
    const int dpiY = LogPixelsY;
    LogPixelsY = 120;
    item = InitializeCustomItem(&record, host.Handle());
    const int seenDpi = LogPixelsY;
    LogPixelsY = dpiY;
    ASSERT_NE(nullptr, item);
    EXPECT_NE(first, item);
    EXPECT_NE(firstFont, ItemFont);
    EXPECT_EQ(120, seenDpi) << "the DPI is read once per process";
    EXPECT_EQ(7, ItemSettings.TextColor.load()) << "settings loaded again";
    EXPECT_EQ(1, HeightChanged);

    // The new window's creation sends its first size change, which drops the
    // old histories and stops their sampler.
    EXPECT_FALSE(CpuHistory);
    EXPECT_EQ(0, SamplerThreads());
    Place(150, 50);
    ASSERT_TRUE(CpuHistory);
    EXPECT_EQ(151, CpuHistory->Capacity());
    EXPECT_TRUE(PumpUntil([] { return CpuCount() >= 2; }, 10000));
}

// Nothing is dispatched while waiting, so the repaint requests stay pending.
TEST_F(ItemWindowTest, EveryLiveWindowRepaintsAndTheLastGoesOnAlone) {
    ASSERT_NE(nullptr, Create());
    const HWND first = item;
    Place(100, 50);
    ASSERT_NE(nullptr, Create());
    Place(100, 50);
    const auto pending = [](HWND window) { return GetUpdateRect(window, nullptr, FALSE) != 0; };
    for (const HWND other : {first, item}) {
        RedrawWindow(host.Handle(), nullptr, nullptr, RDW_VALIDATE | RDW_ALLCHILDREN);
        for (int wait = 0; wait < 1000 && !(pending(item) && pending(other)); ++wait) {
            Sleep(10);
        }
        EXPECT_TRUE(pending(item) && pending(other)) << (other == first ? "both" : "the second");
        DestroyWindow(first);
    }
}

} // namespace

// The Today host stand-in, run as its own process with fake items: stacking
// in Order, skipped items, the watermark behind a transparent item, the
// refresh broadcast, taps, height polling and the landscape turn, all checked
// in its screenshots, its log and what the fake items report. The host's
// steps wait for its own log lines and windows, never for a time the test's
// work might overrun.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "fake_today_item.h"
#include "host_run.h"
#include "png_picture.h"

namespace {

const wchar_t ItemsKey[] = L"Software\\Microsoft\\Today\\Items";
constexpr DWORD CustomType = 4;
constexpr DWORD OwnerInfoType = 0;
constexpr DWORD RunTimeoutMs = 60000;
const COLORREF Red = RGB(255, 0, 0);
const COLORREF Blue = RGB(0, 0, 255);
const COLORREF Green = RGB(0, 255, 0);
const COLORREF Black = RGB(0, 0, 0);

struct FakeItemRecord {
    const wchar_t* Name;
    DWORD Type;
    DWORD Enabled;
    DWORD Order;
    DWORD Height;
    DWORD Color;
    DWORD TapHeight;
    const char* Library = FAKE_ITEM_DLL;
};

void SetDword(HKEY key, const wchar_t* name, DWORD value) {
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

void RegisterItem(const FakeItemRecord& record) {
    HKEY key = nullptr;
    const std::wstring path = std::wstring(ItemsKey) + L"\\" + record.Name;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0,
                                             KEY_SET_VALUE, nullptr, &key, nullptr));
    const std::wstring library = WindowsPath(record.Library);
    RegSetValueExW(key, L"DLL", 0, REG_SZ, reinterpret_cast<const BYTE*>(library.c_str()),
                   static_cast<DWORD>((library.size() + 1) * sizeof(wchar_t)));
    SetDword(key, L"Type", record.Type);
    SetDword(key, L"Enabled", record.Enabled);
    SetDword(key, L"Order", record.Order);
    SetDword(key, FakeHeightValue, record.Height);
    SetDword(key, FakeColorValue, record.Color);
    SetDword(key, FakeTapHeightValue, record.TapHeight);
    RegCloseKey(key);
}

void SetItemDword(const wchar_t* item, const wchar_t* value, DWORD data) {
    HKEY key = nullptr;
    const std::wstring path = std::wstring(ItemsKey) + L"\\" + item;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_SET_VALUE, &key));
    SetDword(key, value, data);
    RegCloseKey(key);
}

DWORD Reported(const wchar_t* item, const wchar_t* value) {
    std::wstring path = FakeReportKey;
    if (item != nullptr) {
        path += std::wstring(L"\\") + item;
    }
    DWORD data = 0;
    DWORD size = sizeof(data);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, path.c_str(), value, RRF_RT_REG_DWORD, nullptr, &data,
                     &size) != ERROR_SUCCESS) {
        return 0xDEADBEEF;
    }
    return data;
}

// Rows [top, bottom) are the colour in the first, middle and last column.
void ExpectBand(const Picture& shot, int top, int bottom, COLORREF color, const char* what) {
    for (int y = top; y < bottom; ++y) {
        for (int x : {0, shot.Width / 2, shot.Width - 1}) {
            ASSERT_EQ(color, shot.At(x, y))
                << what << " at " << x << "," << y << ": 0x" << std::hex << shot.At(x, y);
        }
    }
}

// An item row painted by none of the fakes: the host's own picture.
void ExpectNoItemColour(const Picture& shot, int y, const char* what) {
    for (int x : {0, shot.Width / 2, shot.Width - 1}) {
        const COLORREF pixel = shot.At(x, y);
        EXPECT_TRUE(pixel != Red && pixel != Blue && pixel != Green && pixel != Black)
            << what << " at " << x << "," << y << " is 0x" << std::hex << pixel;
    }
}

Picture LoadShot(const std::wstring& path) {
    Picture shot;
    EXPECT_EQ(S_OK, LoadPng(path, shot)) << Narrow(path);
    return shot;
}

// A run whose steps all came to pass ends with 0; one with a failed step, 3.
void FinishRun(HostRun& host, DWORD expectedExit = 0) {
    DWORD exitCode = 0xDEADBEEF;
    ASSERT_TRUE(host.WaitForExit(RunTimeoutMs, exitCode)) << host.Log();
    EXPECT_EQ(expectedExit, exitCode) << host.Log();
}

class TodayHostTest : public testing::Test {
  protected:
    void SetUp() override { Clear(); }
    void TearDown() override { Clear(); }
    static void Clear() {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, ItemsKey);
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, FakeReportKey);
    }
};

TEST_F(TodayHostTest, StacksEnabledCustomItemsInOrderAcrossTheScreen) {
    RegisterItem({L"Alpha", CustomType, 1, 1, 30, Red, 0});
    RegisterItem({L"Beta", CustomType, 1, 0, 25, Blue, 0});
    RegisterItem({L"Glass", CustomType, 1, 2, 40, FakeTransparent, 0});
    RegisterItem({L"Off", CustomType, 0, 0, 20, Green, 0});
    RegisterItem({L"Owner", OwnerInfoType, 1, 0, 20, Green, 0});
    const std::wstring path = ShotPath(L"stack");
    HostRun host(L"--wait-line \"placed Glass\" --shot " + path + L" --close");
    ASSERT_TRUE(host.Started()) << host.Log();
    FinishRun(host);

    const int beta = host.Find("loaded Beta order 0 cyp 25");
    const int alpha = host.Find("loaded Alpha order 1 cyp 30");
    const int glass = host.Find("loaded Glass order 2 cyp 40");
    EXPECT_TRUE(beta >= 0 && beta < alpha && alpha < glass) << host.Log();
    EXPECT_GE(host.Find("skipped Off: disabled"), 0) << host.Log();
    EXPECT_GE(host.Find("skipped Owner: not a custom item"), 0) << host.Log();
    EXPECT_EQ(0xDEADBEEFu, Reported(L"Off", FakeCreatedValue)) << "a disabled item is not loaded";
    EXPECT_EQ(0xDEADBEEFu, Reported(L"Owner", FakeCreatedValue));
    EXPECT_EQ(1u, Reported(L"Alpha", FakeCreatedValue));

    const Picture shot = LoadShot(path);
    ASSERT_EQ(GetSystemMetrics(SM_CXSCREEN), shot.Width);
    ASSERT_EQ(GetSystemMetrics(SM_CYSCREEN), shot.Height);
    ExpectBand(shot, 0, 25, Blue, "Beta, Order 0, first");
    ExpectBand(shot, 25, 55, Red, "Alpha, Order 1, below it");
    ExpectBand(shot, 55, 56, Black, "top of Glass's frame");
    ExpectBand(shot, 94, 95, Black, "bottom of Glass's frame");
    for (int y = 95; y < shot.Height; y += 7) {
        ExpectNoItemColour(shot, y, "below the items");
    }
    for (int y = 0; y < shot.Height; ++y) {
        for (int x = 0; x < shot.Width; ++x) {
            ASSERT_NE(Green, shot.At(x, y)) << "a skipped item shows at " << x << "," << y;
        }
    }
}

TEST_F(TodayHostTest, TransparentItemShowsTheWatermarkAndRefreshDropsARemovedItem) {
    RegisterItem({L"Alpha", CustomType, 1, 0, 30, Red, 0});
    RegisterItem({L"Beta", CustomType, 1, 1, 20, Blue, 0});
    RegisterItem({L"Glass", CustomType, 1, 2, 40, FakeTransparent, 0});
    const std::wstring before = ShotPath(L"before_refresh");
    const std::wstring after = ShotPath(L"after_refresh");
    HostRun host(L"--shot " + before + L" --wait-line \"refresh: reloading\" --shot " + after +
                 L" --close");
    ASSERT_TRUE(host.Started()) << host.Log();
    ASSERT_TRUE(host.WaitForLine("shot saved " + Narrow(before), RunTimeoutMs)) << host.Log();

    RegDeleteTreeW(HKEY_LOCAL_MACHINE, (std::wstring(ItemsKey) + L"\\Glass").c_str());
    DWORD_PTR answer = 0;
    EXPECT_NE(0, SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0xF2, 0, SMTO_ABORTIFHUNG,
                                     5000, &answer));
    FinishRun(host);

    EXPECT_LT(host.Find("refresh: reloading"), host.Find("shot saved " + Narrow(after)))
        << host.Log();
    EXPECT_EQ(1, host.Count("loaded Glass")) << host.Log();
    EXPECT_EQ(2, host.Count("loaded Alpha")) << host.Log();
    EXPECT_EQ(1u, Reported(L"Glass", FakeDestroyedValue)) << "the removed item got WM_DESTROY";
    EXPECT_EQ(2u, Reported(L"Beta", FakeCreatedValue));
    EXPECT_EQ(2u, Reported(nullptr, FakeLoadsValue)) << "the library was freed and loaded anew";

    const Picture withGlass = LoadShot(before);
    const Picture withoutGlass = LoadShot(after);
    ASSERT_EQ(withGlass.Width, withoutGlass.Width);
    ExpectBand(withGlass, 0, 30, Red, "Alpha");
    ExpectBand(withGlass, 30, 50, Blue, "Beta");
    ExpectBand(withGlass, 50, 51, Black, "Glass's frame");
    ExpectBand(withoutGlass, 0, 30, Red, "Alpha after the refresh");
    ExpectBand(withoutGlass, 30, 50, Blue, "Beta after the refresh");
    ExpectNoItemColour(withoutGlass, 50, "where Glass was");
    // Inside its frame, Glass shows exactly the host's picture at that place.
    std::set<COLORREF> colours;
    for (int y = 51; y < 89; ++y) {
        for (int x = 1; x < withGlass.Width - 1; ++x) {
            ASSERT_EQ(withoutGlass.At(x, y), withGlass.At(x, y))
                << "watermark at " << x << "," << y;
            colours.insert(withGlass.At(x, y));
        }
    }
    EXPECT_GT(colours.size(), 20u) << "the picture behind Glass must not be flat";
}

// The poll after a tap finds the new height; one more poll must not report it
// again. A tap where only the host lies ends the run, naming the step.
TEST_F(TodayHostTest, TapReachesTheItemAtItsClientPointAndItsNewHeightIsLaidOut) {
    RegisterItem({L"Beta", CustomType, 1, 0, 20, Blue, 0});
    RegisterItem({L"Alpha", CustomType, 1, 1, 30, Red, 60});
    const std::wstring path = ShotPath(L"tap");
    HostRun host(L"--tap 100,35 --wait-line \"resized Alpha\" --shot " + path +
                 L" --wait 2500 --tap 100,300 --close");
    ASSERT_TRUE(host.Started()) << host.Log();
    FinishRun(host, 3);

    EXPECT_GE(host.Find("tap posted at 100,35 to Alpha at client 100,15"), 0) << host.Log();
    EXPECT_GE(host.Find("step 5 (--tap 100,300) failed: no window but the host's at 100,300"), 0)
        << host.Log();
    EXPECT_EQ(-1, host.Find("closing")) << "no step after the failed one\n" << host.Log();
    EXPECT_EQ(static_cast<DWORD>(MAKELPARAM(100, 15)), Reported(L"Alpha", FakeTapUpValue));
    EXPECT_EQ(static_cast<DWORD>(MAKELPARAM(100, 15)), Reported(L"Alpha", FakeTapDownValue));
    EXPECT_EQ(0xDEADBEEFu, Reported(L"Beta", FakeTapUpValue));
    EXPECT_GE(host.Find("resized Alpha cyp 60"), 0) << "the poll finds the new height\n"
                                                    << host.Log();
    EXPECT_EQ(1, host.Count("resized")) << "a height is reported once\n" << host.Log();

    const Picture shot = LoadShot(path);
    ExpectBand(shot, 0, 20, Blue, "Beta");
    ExpectBand(shot, 20, 80, Red, "Alpha at its new height");
    ExpectNoItemColour(shot, 80, "below Alpha");
}

// The options dialog runs modally inside the item's WM_LBUTTONUP: the host's
// steps go on in its loop, and a refresh that arrives meanwhile waits until
// the item's message returns, since freeing the library earlier would pull
// its code from under the running loop.
TEST_F(TodayHostTest, RefreshDuringAnItemsModalLoopWaitsForItToEnd) {
    RegisterItem({L"Alpha", CustomType, 1, 0, 30, Red, 0});
    SetItemDword(L"Alpha", FakeModalValue, 1);
    const std::wstring path = ShotPath(L"during_modal");
    HostRun host(L"--tap 100,10 --wait-window \"Fake Modal\" --wait-line \"refresh: deferred\" "
                 L"--shot " +
                 path + L" --tap-client 10,10 --wait-line \"refresh: reloading\" --close");
    ASSERT_TRUE(host.Started()) << host.Log();
    ASSERT_TRUE(host.WaitForLine("window \"Fake Modal\" is up", RunTimeoutMs)) << host.Log();
    DWORD_PTR answer = 0;
    EXPECT_NE(0, SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0xF2, 0, SMTO_ABORTIFHUNG,
                                     5000, &answer));
    FinishRun(host);

    EXPECT_GE(host.Find("refresh: deferred"), 0) << host.Log();
    EXPECT_LT(host.Find("shot saved " + Narrow(path)), host.Find("refresh: reloading"))
        << "the shot is taken inside the item's loop\n"
        << host.Log();
    EXPECT_EQ(0u, Reported(L"Alpha", FakeDestroyedAtModalEndValue))
        << "the item was destroyed while its loop ran";
    EXPECT_EQ(2u, Reported(L"Alpha", FakeCreatedValue)) << "reloaded after the loop";
    EXPECT_EQ(2u, Reported(nullptr, FakeLoadsValue));
}

// Run at the device screens, portrait; the turned size is one of Wine's modes.
TEST_F(TodayHostTest, LandscapeTurnStretchesTheItemsOverTheNewWidth) {
    RegisterItem({L"Alpha", CustomType, 1, 0, 30, Red, 0});
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    ASSERT_LT(width, height) << "the test starts in portrait";
    const std::wstring portrait = ShotPath(L"portrait");
    const std::wstring landscape = ShotPath(L"landscape");
    HostRun host(L"--shot " + portrait + L" --turn --shot " + landscape + L" --close");
    ASSERT_TRUE(host.Started()) << host.Log();
    FinishRun(host);

    const std::string turned = std::to_string(height) + "x" + std::to_string(width);
    const int placed = host.Find("placed Alpha at 0,0 size " + std::to_string(height) + "x30");
    EXPECT_LT(host.Find("display " + turned), placed) << host.Log();
    EXPECT_LT(placed, host.Find("shot saved " + Narrow(landscape))) << host.Log();
    const Picture before = LoadShot(portrait);
    EXPECT_EQ(width, before.Width);
    ExpectBand(before, 0, 30, Red, "Alpha in portrait");
    const Picture after = LoadShot(landscape);
    ASSERT_EQ(height, after.Width);
    ASSERT_EQ(width, after.Height);
    ExpectBand(after, 0, 30, Red, "Alpha across the landscape width");
    ExpectNoItemColour(after, 30, "below Alpha");
    EXPECT_EQ(width, GetSystemMetrics(SM_CXSCREEN)) << "the host gives the screen mode back";
}

// The real item's picker open while the screen turns: the shell stand-in
// gives it the turned screen below the navigation bar, and Cancel moves to
// where a picker opened on the turned screen has it. The options dialog has
// no Cancel: the host closes it with the bar's OK.
TEST_F(TodayHostTest, LandscapeTurnLaysTheOpenPickerOutBelowTheBar) {
    RegisterItem({L"Tovamet", CustomType, 1, 0, 0, 0, 0, TOVAMET_DLL});
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    HDC screen = GetDC(nullptr);
    const int bar = MulDiv(26, GetDeviceCaps(screen, LOGPIXELSY), 96);
    ReleaseDC(nullptr, screen);
    const std::wstring picker = L" --wait-window \"Tovamet Color Settings\"";
    const std::wstring open = L" --tap " + std::to_wstring(width / 2) +
                              L",5 --wait-window \"Tovamet Settings\" --tap-control 1038" + picker;
    const std::wstring close = L" --tap-control 2 --wait-window \"Tovamet Settings\" "
                               L"--tap-control 1 --wait-gone \"Tovamet Settings\"";
    HostRun host(open + L" --turn" + picker + close + open + close + L" --close");
    ASSERT_TRUE(host.Started()) << host.Log();
    FinishRun(host);

    const auto area = [bar](int w, int h) {
        const std::string size = std::to_string(w) + "x" + std::to_string(h - bar);
        return "\"Tovamet Color Settings\" is up at 0," + std::to_string(bar) + " size " + size +
               " client " + size;
    };
    const int portrait = host.Find(area(width, height));
    EXPECT_TRUE(portrait >= 0 && portrait < host.Find(area(height, width))) << host.Log();
    std::vector<std::string> taps;
    for (const std::string& line : host.Lines()) {
        if (line.find("tap posted at") != std::string::npos) {
            taps.push_back(line.substr(line.find("tap posted at")));
        }
    }
    ASSERT_EQ(8u, taps.size()) << host.Log();
    EXPECT_EQ(taps[6], taps[2]) << "Cancel of the turned picker, of one opened turned";
}

TEST_F(TodayHostTest, LandscapeFromTheStartLoadsTheItemsTurned) {
    RegisterItem({L"Alpha", CustomType, 1, 0, 30, Red, 0});
    const int height = GetSystemMetrics(SM_CYSCREEN);
    const std::wstring path = ShotPath(L"landscape_start");
    HostRun host(L"--landscape --shot " + path + L" --close");
    ASSERT_TRUE(host.Started()) << host.Log();
    FinishRun(host);

    EXPECT_LT(host.Find("turned to landscape"), host.Find("loaded Alpha")) << host.Log();
    const Picture shot = LoadShot(path);
    EXPECT_EQ(height, shot.Width);
    ExpectBand(shot, 0, 30, Red, "Alpha");
}

// A state that never comes: when the seconds are up the host names the step
// it was waiting in, and ends with a failure.
TEST_F(TodayHostTest, TimeUpInAWaitNamesThePendingStep) {
    RegisterItem({L"Alpha", CustomType, 1, 0, 30, Red, 0});
    HostRun host(L"--seconds 2 --wait-line \"loaded Alpha\" --wait-window \"No Such Window\" "
                 L"--close");
    ASSERT_TRUE(host.Started()) << host.Log();
    FinishRun(host, 3);

    EXPECT_GE(host.Find("time is up after 2 s"), 0) << host.Log();
    EXPECT_GE(host.Find("step 2 (--wait-window No Such Window) not done"), 0) << host.Log();
    EXPECT_EQ(-1, host.Find("closing")) << host.Log();
}

} // namespace

// The whole path a user takes, across real processes: the Today host runs
// with no item, the cabinet installer installs the package and its refresh
// makes the host show the real item (caption, grid and traces where they
// belong); a tap opens the options, OK with a new size re-lays the screen out;
// the removal takes the item off the running host and leaves nothing behind.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "host_run.h"
#include "package_install.h"
#include "png_picture.h"
#include "resource.h"

namespace {

constexpr DWORD WaitMs = 30000;
// The item's default colours from its palette.
const COLORREF Background = RGB(0, 0, 0);
const COLORREF GridColor = RGB(0, 128, 0);
const COLORREF CpuColor = RGB(0, 255, 0);
const COLORREF MemoryColor = RGB(255, 165, 0);
const COLORREF TextColor = RGB(255, 255, 255);

// The DPI the host saw, from its first lines.
int HostDpi = 96;

int Scale(int pixels) {
    return MulDiv(pixels, HostDpi, 96);
}

int CountColor(const Picture& picture, COLORREF color, int left, int top, int right, int bottom) {
    int count = 0;
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            count += picture.At(x, y) == color ? 1 : 0;
        }
    }
    return count;
}

// The item as the host shows it with default settings, a few seconds after
// it started sampling: width W, height H at the top of the screen.
void ExpectDefaultItem(const Picture& shot, int height) {
    const int width = shot.Width;
    const int spacing = Scale(10);
    ASSERT_GT(shot.Height, height);

    const int captionRows = Scale(16);
    EXPECT_GT(CountColor(shot, TextColor, 0, 0, width / 2, captionRows), 20) << "the caption";
    EXPECT_EQ(0, CountColor(shot, TextColor, 0, captionRows + Scale(2), width, height))
        << "text only in the caption line";

    // The line on the bottom row of the second cell, under the caption.
    const int lineRow = 2 * spacing - 1;
    EXPECT_GT(CountColor(shot, GridColor, 0, lineRow, width, lineRow + 1), width * 3 / 4)
        << "a horizontal grid line at row " << lineRow;
    const int verticals = CountColor(shot, GridColor, 0, lineRow - 2, width, lineRow - 1);
    EXPECT_GE(verticals, width / spacing - 2) << "vertical grid lines every " << spacing;
    EXPECT_LE(verticals, width / spacing + 2);
    EXPECT_GT(CountColor(shot, Background, 0, lineRow - 2, width, lineRow - 1), width / 2);

    // Few samples yet: the traces run in from the right edge, inside the item.
    const int recent = width - Scale(30);
    EXPECT_GT(CountColor(shot, CpuColor, recent, 0, width, height), 0) << "processor trace";
    EXPECT_EQ(0, CountColor(shot, CpuColor, 0, 0, recent, height)) << "only recent samples";
    EXPECT_EQ(0, CountColor(shot, MemoryColor, 0, 0, recent, height));
    MEMORYSTATUS memory = {};
    memory.dwLength = sizeof(memory);
    GlobalMemoryStatus(&memory);
    const int load = static_cast<int>(memory.dwMemoryLoad);
    const int memoryRow = height - ((height - 2) * load) / 100 - 1;
    // The processor trace is drawn last: on an idle machine with plenty of
    // memory both loads sit on the bottom rows and it hides the memory trace.
    const int top = memoryRow - 2, bottom = memoryRow + 3;
    const int memoryShown = CountColor(shot, MemoryColor, recent, top, width, bottom);
    const int cpuOver = CountColor(shot, CpuColor, recent, top, width, bottom);
    EXPECT_GT(memoryShown + cpuOver, 0)
        << "memory trace near row " << memoryRow << " for " << load << "% used";
    if (cpuOver == 0) {
        EXPECT_GT(memoryShown, 0) << "memory trace in the clear, row " << memoryRow;
    }

    EXPECT_EQ(0, CountColor(shot, Background, 0, height, width, shot.Height))
        << "the host's watermark below the item";
}

BOOL CALLBACK FindOptions(HWND window, LPARAM found) {
    wchar_t name[16];
    GetClassNameW(window, name, 16);
    if (lstrcmpW(name, L"#32770") == 0 && IsWindowVisible(window) &&
        GetDlgItem(window, IDC_WINDOW_SIZE) != nullptr) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

// The options dialog the item opened in the host's process.
HWND WaitForOptions() {
    for (DWORD waited = 0; waited < WaitMs; waited += 100) {
        HWND dialog = nullptr;
        EnumWindows(FindOptions, reinterpret_cast<LPARAM>(&dialog));
        if (dialog != nullptr) {
            return dialog;
        }
        Sleep(100);
    }
    return nullptr;
}

DWORD StoredWindowSize() {
    DWORD size = 0xDEADBEEF;
    DWORD bytes = sizeof(size);
    RegGetValueW(HKEY_LOCAL_MACHINE, ItemKey, L"WindowSize", RRF_RT_REG_DWORD, nullptr, &size,
                 &bytes);
    return size;
}

TEST(EndToEnd, InstallShowTapAndRemoveOnARunningHost) {
    ASSERT_FALSE(KeyExists(ItemKey));
    ASSERT_FALSE(Exists(InstalledItem()));
    const std::wstring itemShot = ShotPath(L"end_to_end_item");
    const std::wstring emptyShot = ShotPath(L"end_to_end_removed");
    HostRun host(L"--seconds 36 --shot 10000:" + itemShot + L" --tap 11000:100,5 --shot 32000:" +
                 emptyShot);
    ASSERT_TRUE(host.Started());
    ASSERT_TRUE(host.WaitForLine("host screen", WaitMs)) << host.Log();
    const std::string& screen = host.Lines()[host.Find("host screen")];
    ASSERT_EQ(1, sscanf(screen.c_str() + screen.find(" dpi "), " dpi %d", &HostDpi)) << screen;
    EXPECT_EQ(-1, host.Find("loaded")) << "nothing installed yet";

    // The installer's refresh makes the running host load the new item.
    const InstallerRun install = RunInstaller(InstallArguments(PackageInf(), PackageFolder()));
    ASSERT_EQ(0u, install.exitCode) << install.output;
    const int height = Scale(50);
    const std::string loaded = "loaded Tovamet order 10 cyp " + std::to_string(height);
    ASSERT_TRUE(host.WaitForLine(loaded, WaitMs)) << host.Log();
    EXPECT_LT(host.Find("refresh: reloading the item list"), host.Find(loaded));

    ASSERT_TRUE(host.WaitForLine("shot saved " + Narrow(itemShot), WaitMs)) << host.Log();
    Picture shot;
    ASSERT_EQ(S_OK, LoadPng(itemShot, shot));
    ExpectDefaultItem(shot, height);

    // The tap opens the options in the host's process; "Small" and OK.
    ASSERT_TRUE(host.WaitForLine("tap posted at 100,5 to Tovamet", WaitMs)) << host.Log();
    HWND options = WaitForOptions();
    ASSERT_NE(nullptr, options) << host.Log();
    SendDlgItemMessageW(options, IDC_WINDOW_SIZE, CB_SETCURSEL, 0, 0);
    SendMessageW(options, WM_COMMAND, IDOK, 0);
    const int small = Scale(20);
    ASSERT_TRUE(host.WaitForLine("resized Tovamet cyp " + std::to_string(small), WaitMs))
        << host.Log();
    ASSERT_TRUE(host.WaitForLine("placed Tovamet at 0,0 size " + std::to_string(shot.Width) + "x" +
                                     std::to_string(small),
                                 WaitMs))
        << host.Log();
    EXPECT_EQ(0u, StoredWindowSize());

    // The removal's first refresh drops the item before its file goes.
    const int closedBefore = host.Count("closed Tovamet");
    const InstallerRun removal = RunInstaller(L"uninstall " + Quoted(PackageInf()));
    EXPECT_EQ(0u, removal.exitCode) << removal.output;
    ASSERT_TRUE(host.WaitForLine("closed Tovamet", WaitMs)) << host.Log();
    EXPECT_EQ(closedBefore + 1, host.Count("closed Tovamet"));
    EXPECT_FALSE(Exists(InstalledItem())) << removal.output;
    EXPECT_FALSE(Exists(InstallFolder()));
    EXPECT_FALSE(KeyExists(ItemKey));
    EXPECT_FALSE(KeyExists(AppKey));

    DWORD exitCode = 1;
    ASSERT_TRUE(host.WaitForExit(WaitMs + 36000, exitCode)) << host.Log();
    EXPECT_EQ(0u, exitCode);
    EXPECT_EQ(1, host.Count("loaded Tovamet")) << "not loaded again after the removal\n"
                                               << host.Log();
    ASSERT_GE(host.Find("shot saved " + Narrow(emptyShot)), 0) << host.Log();
    Picture empty;
    ASSERT_EQ(S_OK, LoadPng(emptyShot, empty));
    EXPECT_EQ(0, CountColor(empty, Background, 0, 0, empty.Width, empty.Height))
        << "only the watermark is left";
}

} // namespace

// The whole path a user takes, across real processes: the Today host runs
// with no item, the cabinet installer installs the package and its refresh
// makes the host show the real item (caption, grid and traces where they
// belong); a tap opens the options, where a sample every 1/4 s and OK let the
// item graph the test's changing load across the screen; a tap, a new size
// and OK re-lay the screen out; the removal takes the item off the running
// host and leaves nothing behind. The host's steps wait for its own log lines
// and windows, so the test's work may take as long as it takes.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "host_run.h"
#include "load_generator.h"
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

// The DPI of the screen that the test and the host share.
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

// The load that the item is to show, on the core it measures (the test runs
// pinned): 0, 50 and 100 % of the core in turn, a few seconds each. It also
// notes how much of the core the full load got, since other work on the
// machine takes the rest and the item shows that too.
class ChangingLoad {
  public:
    ChangingLoad() {
        stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        StartLoadGenerator(0);
        thread = CreateThread(nullptr, 0, Steps, this, 0, nullptr);
    }
    ~ChangingLoad() {
        SetEvent(stop);
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        CloseHandle(stop);
        StopLoadGenerator();
    }
    ChangingLoad(const ChangingLoad&) = delete;
    ChangingLoad& operator=(const ChangingLoad&) = delete;

    // The test process's share of the core while the load was full, in percent.
    int FullLoadShare() const {
        const int64_t wall = fullWallMs.load();
        return wall == 0 ? -1 : static_cast<int>(fullTime.load() / 100 / wall);
    }

  private:
    static int64_t ProcessTime() {
        FILETIME creation, exit, kernel, user;
        GetProcessTimes(GetCurrentProcess(), &creation, &exit, &kernel, &user);
        const auto ticks = [](const FILETIME& t) {
            return static_cast<int64_t>((static_cast<uint64_t>(t.dwHighDateTime) << 32) |
                                        t.dwLowDateTime);
        };
        return ticks(kernel) + ticks(user);
    }

    static DWORD WINAPI Steps(LPVOID context) {
        auto* load = static_cast<ChangingLoad*>(context);
        for (int step = 1;; ++step) {
            const int64_t timeBefore = ProcessTime();
            const DWORD wallBefore = GetTickCount();
            if (WaitForSingleObject(load->stop, StepMs) != WAIT_TIMEOUT) {
                return 0;
            }
            if (step % 3 == 0) {
                load->fullTime += ProcessTime() - timeBefore;
                load->fullWallMs += GetTickCount() - wallBefore;
            }
            SetLoadDuty(step % 3 * 50);
        }
    }

    static constexpr DWORD StepMs = 4000;
    HANDLE stop;
    HANDLE thread;
    // 100-ns units of processor time, and milliseconds, of the full steps.
    std::atomic<int64_t> fullTime{0};
    std::atomic<int64_t> fullWallMs{0};
};

// The item after it sampled the changing load every 1/4 s for a while: the
// processor trace runs over most of the width and shows the idle, the half and
// the full core, and the caption is there. Other work on the core raises the
// idle and the half level, and sampling that the full core delays draws fewer
// columns, so the bands are wide; a core that other work keeps busy throughout
// shows no idle level at all, which the messages tell.
void ExpectTraceOfTheLoad(const Picture& shot, int height, const ChangingLoad& load) {
    const int width = shot.Width;
    int traced = 0;
    int low = 0;
    int middle = 0;
    int high = 0;
    for (int x = 0; x < width; ++x) {
        int top = -1;
        int bottom = -1;
        for (int y = 0; y < height; ++y) {
            if (shot.At(x, y) == CpuColor) {
                top = top < 0 ? y : top;
                bottom = y;
            }
        }
        if (top < 0) {
            continue;
        }
        ++traced;
        // The rows of a column span the step from the previous sample.
        const int least = (height - 1 - bottom) * 100 / (height - 2);
        const int most = (height - 1 - top) * 100 / (height - 2);
        low += most <= 50 ? 1 : 0;
        middle += least >= 30 && most <= 80 ? 1 : 0;
        high += least >= 90 ? 1 : 0;
    }
    const std::string share = "; the full load got " + std::to_string(load.FullLoadShare()) +
                              " % of the core, other work the rest";
    // The fill runs for two thirds of the width; the full steps hold a third of
    // it and may draw almost nothing, so the idle and half steps alone must
    // have drawn their columns.
    EXPECT_GT(traced, width * 2 / 3 * 2 / 3)
        << "columns with the processor trace, of " << width << share;
    const int held = width / 40;
    EXPECT_GT(low, held) << "columns at 50 % or less (the idle core)" << share;
    EXPECT_GT(middle, held) << "columns between 30 and 80 % (half the core)" << share;
    // The full core starves the idle sampler: each full step of the load (about
    // three in the filled stretch) draws a column or two, not one per 1/4 s.
    EXPECT_GE(high, 2) << "columns at 90 % or more (the full core)" << share;
    EXPECT_GT(CountColor(shot, TextColor, 0, 0, width / 2, Scale(16)), 20) << "the caption";
}

DWORD StoredWindowSize() {
    DWORD size = 0xDEADBEEF;
    DWORD bytes = sizeof(size);
    RegGetValueW(HKEY_LOCAL_MACHINE, ItemKey, L"WindowSize", RRF_RT_REG_DWORD, nullptr, &size,
                 &bytes);
    return size;
}

std::wstring Number(int value) {
    return std::to_wstring(value);
}

TEST(EndToEnd, InstallShowTapAndRemoveOnARunningHost) {
    ASSERT_FALSE(KeyExists(ItemKey));
    ASSERT_FALSE(Exists(InstalledItem()));
    HDC screen = GetDC(nullptr);
    HostDpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = Scale(50);
    const int small = Scale(20);
    const std::string placedSmall =
        "placed Tovamet at 0,0 size " + std::to_string(width) + "x" + std::to_string(small);
    // Samples every 1/4 s, one a pixel, for two thirds of the width, less the
    // periods that the full load stretches.
    // The trace of the load is judged at 96 dpi only: the high-resolution
    // screen's twice as many columns would take twice as long to fill and show
    // nothing new.
    const bool judgeLoad = HostDpi == 96;
    const int fillMs = judgeLoad ? width * 250 * 2 / 3 : 0;
    const std::wstring tapItem = L" --tap " + Number(width / 2) + L"," + Number(Scale(5));
    const std::wstring itemShot = ShotPath(L"end_to_end_item");
    const std::wstring loadShot = ShotPath(L"end_to_end_load");
    const std::wstring emptyShot = ShotPath(L"end_to_end_removed");
    ChangingLoad load;
    HostRun host(L"--seconds 900 --wait-line \"loaded Tovamet\" --wait 3000 --shot " + itemShot +
                 tapItem + L" --wait-window \"Tovamet Settings\" --choose " + Number(IDC_INTERVAL) +
                 L":0 --tap-control " + Number(IDOK) +
                 L" --wait-gone \"Tovamet Settings\" --wait " + Number(fillMs) + L" --shot " +
                 loadShot + tapItem + L" --wait-window \"Tovamet Settings\" --choose " +
                 Number(IDC_WINDOW_SIZE) + L":0 --tap-control " + Number(IDOK) +
                 L" --wait-line \"" + std::wstring(placedSmall.begin(), placedSmall.end()) +
                 L"\" --wait-line \"closed Tovamet\" --shot " + emptyShot + L" --close");
    ASSERT_TRUE(host.Started()) << host.Log();
    ASSERT_TRUE(host.WaitForLine("host screen", WaitMs)) << host.Log();
    ASSERT_GE(host.Find("dpi " + std::to_string(HostDpi) + "x"), 0) << "the host's dpi\n"
                                                                    << host.Log();
    EXPECT_EQ(-1, host.Find("loaded")) << "nothing installed yet";

    // The installer's refresh makes the running host load the new item.
    const InstallerRun install = RunInstaller(InstallArguments(PackageCab()));
    ASSERT_EQ(0u, install.exitCode) << install.output;
    const std::string loaded = "loaded Tovamet order 10 cyp " + std::to_string(height);
    ASSERT_TRUE(host.WaitForLine(loaded, WaitMs)) << host.Log();
    EXPECT_LT(host.Find("refresh: reloading the item list"), host.Find(loaded));

    ASSERT_TRUE(host.WaitForLine("shot saved " + Narrow(itemShot), WaitMs)) << host.Log();
    Picture shot;
    ASSERT_EQ(S_OK, LoadPng(itemShot, shot));
    ExpectDefaultItem(shot, height);

    ASSERT_TRUE(host.WaitForLine("chose \"1/4 sec\"", WaitMs)) << host.Log();
    ASSERT_TRUE(host.WaitForLine("shot saved " + Narrow(loadShot), fillMs + WaitMs)) << host.Log();
    if (judgeLoad) {
        Picture underLoad;
        ASSERT_EQ(S_OK, LoadPng(loadShot, underLoad));
        ExpectTraceOfTheLoad(underLoad, height, load);
    }

    // "Small" and OK: the host finds the new height and lays the screen out.
    ASSERT_TRUE(host.WaitForLine(placedSmall, WaitMs)) << host.Log();
    EXPECT_GE(host.Find("resized Tovamet cyp " + std::to_string(small)), 0) << host.Log();
    EXPECT_EQ(0u, StoredWindowSize());

    // The removal's first refresh drops the item before its file goes.
    const int closedBefore = host.Count("closed Tovamet");
    const InstallerRun removal = RunInstaller(UninstallArguments());
    EXPECT_EQ(0u, removal.exitCode) << removal.output;
    ASSERT_TRUE(host.WaitForLine("closed Tovamet", WaitMs)) << host.Log();
    EXPECT_EQ(closedBefore + 1, host.Count("closed Tovamet"));
    EXPECT_FALSE(Exists(InstalledItem())) << removal.output;
    EXPECT_FALSE(Exists(InstallFolder()));
    EXPECT_FALSE(KeyExists(ItemKey));
    EXPECT_FALSE(KeyExists(AppKey));

    DWORD exitCode = 1;
    ASSERT_TRUE(host.WaitForExit(WaitMs, exitCode)) << host.Log();
    EXPECT_EQ(0u, exitCode) << host.Log();
    EXPECT_EQ(1, host.Count("loaded Tovamet")) << "not loaded again after the removal\n"
                                               << host.Log();
    ASSERT_GE(host.Find("shot saved " + Narrow(emptyShot)), 0) << host.Log();
    Picture empty;
    ASSERT_EQ(S_OK, LoadPng(emptyShot, empty));
    EXPECT_EQ(0, CountColor(empty, Background, 0, 0, empty.Width, empty.Height))
        << "only the watermark is left";
}

} // namespace

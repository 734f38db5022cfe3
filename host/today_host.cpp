// The Today host stand-in: a full-screen window with its own watermark that
// loads the registered Today items, stacks them, polls their heights, and
// carries out the steps (waits, screenshots, taps, screen turns) of its command
// line. The device's shell does all of this; here it is a plain Win32 program.
#include <windows.h>

#include <objbase.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "host_log.h"
#include "host_options.h"
#include "host_steps.h"
#include "hosted_items.h"
#include "screen_orientation.h"
#include "todaycmn.h"
#include "watermark.h"

namespace {

constexpr UINT_PTR PollTimer = 1;
constexpr UINT_PTR EndTimer = 2;
constexpr UINT_PTR StepTimer = 3;
constexpr UINT PollMilliseconds = 2000;
constexpr UINT StepMilliseconds = 50;
constexpr int StepFailedStatus = 3;
// The installer's Today refresh broadcast.
constexpr WPARAM TodayRefresh = 0xF2;
const wchar_t HostClass[] = L"TodayHostStandIn";

HostOptions Options;
HWND HostWindow;
int ExitStatus;
// Messages of item windows that the main loop is dispatching. Above 0, an
// item's handler is on the stack (perhaps running a modal dialog), so its
// library must not be freed yet.
int ItemDispatchDepth;
bool ReloadPending;

void ReloadItems(HWND host) {
    HostLog("refresh: reloading the item list");
    DestroyItemWindows();
    FreeItemLibraries();
    LoadItems(host);
}

void OnTodayRefresh(HWND host) {
    if (ItemDispatchDepth > 0) {
        ReloadPending = true;
        HostLog("refresh: deferred until the item's message returns");
        return;
    }
    ReloadItems(host);
}

// Ends the host's run with this exit status.
void Finish(HWND host, int status) {
    ExitStatus = status;
    DestroyWindow(host);
}

void OnTimer(HWND host, UINT_PTR id) {
    switch (id) {
    case PollTimer:
        PollItemHeights(host);
        return;
    case StepTimer: {
        const StepsState state = RunSteps();
        if (state == StepsState::Failed) {
            Finish(host, StepFailedStatus);
        } else if (state == StepsState::Done && IsWindow(host)) {
            KillTimer(host, StepTimer);
        }
        return;
    }
    case EndTimer:
        KillTimer(host, EndTimer);
        HostLog("time is up after %u s", Options.Seconds);
        Finish(host, LogPendingStep() ? StepFailedStatus : 0);
        return;
    }
}

void OnPaint(HWND host) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(host, &paint);
    DrawWatermark(dc, paint.rcPaint, POINT{0, 0});
    EndPaint(host, &paint);
}

// The item's rectangle is in its own client coordinates; the picture is laid
// over the host's client area, which starts at the screen's origin.
LRESULT OnDrawWatermark(HWND host, const TODAYDRAWWATERMARKINFO* info) {
    if (info == nullptr || info->hdc == nullptr) {
        return FALSE;
    }
    POINT origin{0, 0};
    if (info->hwnd != nullptr) {
        MapWindowPoints(info->hwnd, host, &origin, 1);
    }
    DrawWatermark(info->hdc, info->rc, origin);
    return TRUE;
}

void OnDisplayChange(HWND host) {
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    HostLog("display %dx%d", width, height);
    // The size change lays the items out again.
    MoveWindow(host, 0, 0, width, height, TRUE);
}

LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DESTROY:
        KillTimer(window, PollTimer);
        KillTimer(window, StepTimer);
        DestroyItemWindows();
        PostQuitMessage(ExitStatus);
        return 0;
    case WM_SIZE:
        LayoutItems(window);
        return 0;
    case WM_PAINT:
        OnPaint(window);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_SETTINGCHANGE:
        if (wParam == TodayRefresh) {
            OnTodayRefresh(window);
            return 0;
        }
        break;
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE) {
            DestroyWindow(window);
            return 0;
        }
        break;
    case WM_TIMER:
        OnTimer(window, wParam);
        return 0;
    case WM_DISPLAYCHANGE:
        OnDisplayChange(window);
        return 0;
    case TODAYM_DRAWWATERMARK:
        return OnDrawWatermark(window, reinterpret_cast<const TODAYDRAWWATERMARKINFO*>(lParam));
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

bool ReadOptions() {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> args;
    for (int i = 1; i < count; ++i) {
        args.emplace_back(arguments[i]);
    }
    LocalFree(arguments);
    std::wstring error;
    if (!ParseHostOptions(args, Options, error)) {
        std::fprintf(stderr, "today_host: %ls\n%s", error.c_str(), HostUsage);
        return false;
    }
    return true;
}

void StartTimers(HWND host) {
    SetTimer(host, PollTimer, PollMilliseconds, nullptr);
    if (Options.Seconds > 0) {
        SetTimer(host, EndTimer, Options.Seconds * 1000, nullptr);
    }
    StartSteps(host, Options.Steps);
    SetTimer(host, StepTimer, StepMilliseconds, nullptr);
}

int RunMessageLoop() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        const bool forItem = message.hwnd != nullptr && message.hwnd != HostWindow;
        if (forItem) {
            ++ItemDispatchDepth;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
        if (forItem) {
            --ItemDispatchDepth;
        }
        if (ReloadPending && ItemDispatchDepth == 0 && IsWindow(HostWindow)) {
            ReloadPending = false;
            ReloadItems(HostWindow);
        }
    }
    return static_cast<int>(message.wParam);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    if (!ReadOptions()) {
        return 2;
    }
    if (Options.Help) {
        std::fputs(HostUsage, stdout);
        return 0;
    }
    // The device's shell draws at the screen's real resolution (desktop only).
    SetProcessDPIAware();
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (Options.Landscape) {
        TurnScreen();
    }
    WNDCLASSW windowClass{};
    // The picture stretches over the whole screen: any size change repaints all.
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = HostWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = HostClass;
    RegisterClassW(&windowClass);
    HostWindow = CreateWindowExW(0, HostClass, L"Today", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0,
                                 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                                 nullptr, nullptr, instance, nullptr);
    if (HostWindow == nullptr) {
        std::fprintf(stderr, "today_host: no window (error %lu)\n", GetLastError());
        return 1;
    }
    HDC screen = GetDC(nullptr);
    HostLog("host screen %dx%d dpi %dx%d", GetSystemMetrics(SM_CXSCREEN),
            GetSystemMetrics(SM_CYSCREEN), GetDeviceCaps(screen, LOGPIXELSX),
            GetDeviceCaps(screen, LOGPIXELSY));
    ReleaseDC(nullptr, screen);
    StartTimers(HostWindow);
    LoadItems(HostWindow);
    const int status = RunMessageLoop();
    FreeItemLibraries();
    RestoreScreenMode();
    CoUninitialize();
    HostLog("host closed");
    return status;
}

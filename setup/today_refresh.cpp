// The Today refresh broadcast, waiting and not waiting.
#include "today_refresh.h"

namespace {

constexpr WPARAM TodayRefreshCode = 0xF2;

DWORD WINAPI RefreshThread(LPVOID module) {
    BroadcastTodayRefresh();
    FreeLibraryAndExitThread(static_cast<HMODULE>(module), 0);
}

// A thread of this library does the waiting send. It holds a reference to the
// library that it drops only as it exits, so the installer may unload the
// library at once; the process must live until the thread is done.
void RefreshOnThreadOfOurOwn(HMODULE self) {
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
    HMODULE pinned = nullptr;
    if (length > 0 && length < MAX_PATH) {
        pinned = LoadLibraryW(path);
    }
    if (pinned == nullptr) {
        return;
    }
    HANDLE thread = CreateThread(nullptr, 0, RefreshThread, pinned, 0, nullptr);
    if (thread == nullptr) {
        FreeLibrary(pinned);
        return;
    }
    CloseHandle(thread);
}

} // namespace

// The device takes SMTO_NORMAL only; a window that does not answer in time is
// given up on, so a hung program anywhere cannot hold up the installer.
void BroadcastTodayRefresh() {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, TodayRefreshCode, 0, SMTO_NORMAL,
                        RefreshTimeoutMilliseconds, &result);
}

// The device's notify-send hands the message to every window and returns, so
// nothing of the library outlives the hook even if the installer ends its
// process at once. The desktop (and Wine) refuse to notify-send or post
// WM_SETTINGCHANGE to all windows (ERROR_MESSAGE_SYNC_ONLY: the message may
// carry a pointer); only then does a thread of our own send it.
void StartTodayRefresh(HMODULE self) {
    if (!SendNotifyMessageW(HWND_BROADCAST, WM_SETTINGCHANGE, TodayRefreshCode, 0)) {
        RefreshOnThreadOfOurOwn(self);
    }
}

// The Today refresh broadcast, waiting and not waiting.
#include "today_refresh.h"

#include "device_values.h"

namespace {

constexpr WPARAM TodayRefreshCode = 0xF2;

DWORD WINAPI RefreshThread(LPVOID module) {
    BroadcastTodayRefresh();
    FreeLibraryAndExitThread(static_cast<HMODULE>(module), 0);
}

} // namespace

// A window that does not answer in time is given up on, so a hung program
// anywhere cannot hold up the installer.
void BroadcastTodayRefresh() {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, TodayRefreshCode, 0, BroadcastSendFlags,
                        RefreshTimeoutMilliseconds, &result);
}

// The desktop refuses to post or notify-send WM_SETTINGCHANGE to all windows
// (ERROR_MESSAGE_SYNC_ONLY: the message may carry a pointer), so a thread of
// our own does the bounded waiting send. It holds a reference to this library
// that it drops only as it exits, so the installer may unload the library at
// once.
void StartTodayRefresh(HMODULE self) {
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
    HMODULE pinned = nullptr;
    if (length > 0 && length < MAX_PATH) {
        pinned = LoadLibraryW(path);
    }
    HANDLE thread = nullptr;
    if (pinned != nullptr) {
        thread = CreateThread(nullptr, 0, RefreshThread, pinned, 0, nullptr);
    }
    if (thread != nullptr) {
        CloseHandle(thread);
        return;
    }
    if (pinned != nullptr) {
        FreeLibrary(pinned);
    }
    // Without a thread the platform's own non-waiting send is all that is left.
    SendNotifyMessageW(HWND_BROADCAST, WM_SETTINGCHANGE, TodayRefreshCode, 0);
}

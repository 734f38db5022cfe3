// A top-level test window on a thread of its own that records the Today
// refresh broadcast and stays busy in its handler for a while, like a slow
// Today screen; busy for INFINITE, its thread stops reading messages at the
// first broadcast, like a hung program, until the receiver goes.
#pragma once

#include <windows.h>

#include <atomic>

class BroadcastReceiver {
  public:
    explicit BroadcastReceiver(DWORD busyMilliseconds);
    ~BroadcastReceiver();
    BroadcastReceiver(const BroadcastReceiver&) = delete;
    BroadcastReceiver& operator=(const BroadcastReceiver&) = delete;

    bool Ready() const { return window != nullptr; }
    // Top-level windows of the receiver's thread: Wine gives every thread
    // with windows an IME window of its own, which hangs with it.
    int ThreadWindows() const;
    // WM_SETTINGCHANGE messages handled to the end so far.
    int Handled() const { return handled; }
    bool WaitHandled(DWORD milliseconds) const;
    WPARAM LastWParam() const { return lastWParam; }
    LPARAM LastLParam() const { return lastLParam; }

  private:
    static DWORD WINAPI Run(LPVOID self);
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    DWORD busyMilliseconds;
    HANDLE ready;
    HANDLE release;
    HANDLE handledEvent;
    HANDLE thread = nullptr;
    std::atomic<HWND> window{nullptr};
    std::atomic<int> handled{0};
    std::atomic<WPARAM> lastWParam{0};
    std::atomic<LPARAM> lastLParam{0};
};

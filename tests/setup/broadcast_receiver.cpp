// The test window that receives the Today refresh broadcast.
#include "broadcast_receiver.h"

namespace {
const wchar_t ReceiverClass[] = L"TovametBroadcastReceiver";

BOOL CALLBACK CountWindow(HWND, LPARAM count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}
} // namespace

BroadcastReceiver::BroadcastReceiver(DWORD busyMilliseconds)
    : busyMilliseconds(busyMilliseconds), ready(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      release(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      handledEvent(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
    thread = CreateThread(nullptr, 0, Run, this, 0, nullptr);
    WaitForSingleObject(ready, 10000);
}

BroadcastReceiver::~BroadcastReceiver() {
    SetEvent(release);
    if (window != nullptr) {
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
    if (thread != nullptr) {
        WaitForSingleObject(thread, 10000);
        CloseHandle(thread);
    }
    CloseHandle(ready);
    CloseHandle(release);
    CloseHandle(handledEvent);
}

int BroadcastReceiver::ThreadWindows() const {
    int count = 0;
    EnumThreadWindows(GetWindowThreadProcessId(window, nullptr), CountWindow,
                      reinterpret_cast<LPARAM>(&count));
    return count;
}

bool BroadcastReceiver::WaitHandled(DWORD milliseconds) const {
    return WaitForSingleObject(handledEvent, milliseconds) == WAIT_OBJECT_0;
}

DWORD WINAPI BroadcastReceiver::Run(LPVOID self) {
    auto* receiver = static_cast<BroadcastReceiver*>(self);
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = ReceiverClass;
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, ReceiverClass, L"receiver", WS_OVERLAPPEDWINDOW, 0, 0, 100,
                                  100, nullptr, nullptr, windowClass.hInstance, receiver);
    receiver->window = window;
    SetEvent(receiver->ready);
    if (window == nullptr) {
        return 1;
    }
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        DispatchMessageW(&message);
    }
    return 0;
}

LRESULT CALLBACK BroadcastReceiver::WindowProc(HWND window, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
    switch (message) {
    case WM_NCCREATE:
        SetWindowLongPtrW(
            window, GWLP_USERDATA,
            reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
        break;
    case WM_SETTINGCHANGE: {
        auto* receiver =
            reinterpret_cast<BroadcastReceiver*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        WaitForSingleObject(receiver->release, receiver->busyMilliseconds);
        receiver->lastWParam = wParam;
        receiver->lastLParam = lParam;
        ++receiver->handled;
        SetEvent(receiver->handledEvent);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// The test host window.
#include "test_host_window.h"

#include "todaycmn.h"

HWND TestHostWindow::WatermarkWindow = nullptr;
int TestHostWindow::WatermarkRequests = 0;

namespace {

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == TODAYM_DRAWWATERMARK) {
        const TODAYDRAWWATERMARKINFO* info = reinterpret_cast<TODAYDRAWWATERMARKINFO*>(lParam);
        TestHostWindow::WatermarkWindow = info->hwnd;
        ++TestHostWindow::WatermarkRequests;
        HBRUSH brush = CreateSolidBrush(TestWatermarkColor);
        FillRect(info->hdc, &info->rc, brush);
        DeleteObject(brush);
        return TRUE;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

TestHostWindow::TestHostWindow() {
    WNDCLASSW host = {};
    host.lpfnWndProc = HostProc;
    host.hInstance = GetModuleHandleW(nullptr);
    host.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    host.lpszClassName = L"TestTodayHost";
    RegisterClassW(&host);
    window = CreateWindowExW(0, L"TestTodayHost", L"host", WS_POPUP | WS_VISIBLE, 0, 0,
                             GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr,
                             nullptr, host.hInstance, nullptr);
    PumpMessages(50);
}

TestHostWindow::~TestHostWindow() {
    DestroyWindow(window);
}

void PumpMessages(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    do {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    } while (GetTickCount() - start < milliseconds);
}

// A stand-in parent for the item window in tests: a top-level window that
// answers the watermark request with one flat colour, and a message pump.
#pragma once

#include <windows.h>

const COLORREF TestWatermarkColor = RGB(12, 34, 56);

class TestHostWindow {
  public:
    TestHostWindow();
    ~TestHostWindow();
    TestHostWindow(const TestHostWindow&) = delete;
    TestHostWindow& operator=(const TestHostWindow&) = delete;

    HWND Handle() const { return window; }
    // The item window named by the latest watermark request, and how many came.
    static HWND WatermarkWindow;
    static int WatermarkRequests;

  private:
    HWND window;
};

// Dispatches this thread's messages for the given time.
void PumpMessages(DWORD milliseconds);
// Dispatches messages until the condition holds or the time-out passes.
template <typename Condition> bool PumpUntil(Condition condition, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > timeoutMs) {
            return false;
        }
        PumpMessages(10);
    }
    return true;
}

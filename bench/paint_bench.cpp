// Paint cost: one whole paint of the item with full histories, against a
// bare paint of the same size in the same run that only fills the background
// off-screen and copies it to the screen.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "bench_output.h"
#include "gdi_guards.h"
#include "histories.h"
#include "item_harness.h"
#include "screen_metrics.h"
#include "settings.h"
#include "suites.h"
#include "test_host_window.h"

namespace {

// The item's paint path without the renderer: memory DC, bitmap, fill, BitBlt.
LRESULT CALLBACK BarePaintProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC screen = BeginPaint(window, &paint);
        RECT client;
        GetClientRect(window, &client);
        HDC composed = CreateCompatibleDC(screen);
        {
            GdiObjectHolder bitmap(CreateCompatibleBitmap(screen, client.right, client.bottom));
            SelectionHolder selection(composed, bitmap.Get());
            GdiObjectHolder brush(CreateSolidBrush(ColorPalette[0]));
            FillRect(composed, &client, static_cast<HBRUSH>(brush.Get()));
            BitBlt(screen, 0, 0, client.right, client.bottom, composed, 0, 0, SRCCOPY);
        }
        DeleteDC(composed);
        EndPaint(window, &paint);
        return 0;
    }
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

HWND MakeBareWindow(HWND host, int y, int width, int height) {
    WNDCLASSW bare = {};
    bare.lpfnWndProc = BarePaintProc;
    bare.hInstance = GetModuleHandleW(nullptr);
    bare.lpszClassName = L"BenchBarePaint";
    RegisterClassW(&bare);
    return CreateWindowExW(0, L"BenchBarePaint", L"bare", WS_CHILD | WS_VISIBLE, 0, y, width,
                           height, host, nullptr, bare.hInstance, nullptr);
}

// Both histories full of a wave that crosses the whole height.
void FillHistories() {
    ScopedLock guard(HistoryLock);
    const int capacity = CpuHistory->Capacity();
    for (int i = 0; i < capacity; ++i) {
        CpuHistory->Push(static_cast<int>(50 + 49 * std::sin(i / 7.0)));
        MemoryHistory->Push(static_cast<int>(60 + 30 * std::cos(i / 11.0)));
    }
}

double MillisecondsToPaint(HWND window) {
    const LARGE_INTEGER start = Now();
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
    return SecondsSince(start) * 1000.0;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int RunPaintCost(const BenchOptions& options) {
    StartWatchdog(60);
    StoreSettings({{L"SampleInterval", 0},
                   {L"DisplayMemory", 1},
                   {L"WindowSize", 2},
                   {L"GridColor", 10},
                   {L"BackgroundColor", 0}});
    TestHostWindow host;
    HWND item = CreateItem(host.Handle());
    if (item == nullptr) {
        return 2;
    }
    const int width = ScaleX(240);
    const int height = ScaleY(50);
    PlaceItem(item, width, height);
    // Stopped and kept: the paints then draw full histories without a sampler
    // competing for the processor.
    SendMessageW(item, WM_CLOSE, 0, 0);
    FillHistories();
    HWND bare = MakeBareWindow(host.Handle(), height + 20, width, height);
    const int rounds = options.shortRun ? 200 : 3000;
    for (int i = 0; i < 50; ++i) {
        MillisecondsToPaint(item);
        MillisecondsToPaint(bare);
    }
    std::vector<double> itemTimes;
    std::vector<double> bareTimes;
    for (int i = 0; i < rounds; ++i) {
        itemTimes.push_back(MillisecondsToPaint(item));
        bareTimes.push_back(MillisecondsToPaint(bare));
        if (i % 500 == 0) {
            Heartbeat("paint");
        }
    }
    const double itemMs = Median(itemTimes);
    const double bareMs = Median(bareTimes);
    const std::string label = Format("%dx%d_%ddpi", width, height, LogPixelsY);
    const std::string how = Format("median of %d paints (InvalidateRect + UpdateWindow), "
                                   "interleaved with the bare paint",
                                   rounds);
    ReportRow("paint." + label + "_item", itemMs, "ms", "one whole WM_PAINT, full histories",
              "none (report)", "info", how);
    ReportRow("paint." + label + "_bare", bareMs, "ms", "fill + BitBlt of the same size",
              "none (reference)", "info", how);
    ReportRow("paint." + label + "_ratio", itemMs / bareMs, "x", "bare fill + BitBlt",
              "none (report)", "info",
              Format("grid, memory and processor traces of %d samples each, caption",
                     CpuHistory->Capacity()));
    DestroyWindow(bare);
    DestroyWindow(item);
    return 0;
}

// The item window: paints the graph off-screen, answers the host's refresh
// query, and starts and stops the sampler around size changes.
#include "item_window.h"

#include "device_values.h"
#include "gdi_guards.h"
#include "graph_renderer.h"
#include "histories.h"
#include "item_state.h"
#include "load_sampler.h"
#include "screen_metrics.h"
#include "settings.h"
#include "tap_handler.h"

namespace {

const wchar_t ItemClassName[] = L"TovametClass";

// Histories are one column wider than the window, so the newest sample lies
// in the last column and a full trace runs in from x = -1.
void EnsureHistories(int width) {
    if (CpuHistory) {
        return;
    }
    CpuHistory.reset(new (std::nothrow) SampleHistory(width + 1));
    MemoryHistory.reset(new (std::nothrow) SampleHistory(width + 1));
    if (SamplerThread.load() == nullptr) {
        StartLoadSampler();
    }
}

void PaintBackground(HWND window, HDC surface, const RECT& client) {
    const int background = SettingOrDefault(&Settings::BackgroundColor);
    if (background == TransparentColor) {
        TODAYDRAWWATERMARKINFO watermark;
        watermark.hdc = surface;
        watermark.rc = client;
        watermark.hwnd = window;
        SendMessageW(GetParent(window), TODAYM_DRAWWATERMARK, 0,
                     reinterpret_cast<LPARAM>(&watermark));
        return;
    }
    GdiObjectHolder brush(CreateSolidBrush(ColorPalette[background]));
    FillRect(surface, &client, static_cast<HBRUSH>(brush.Get()));
}

void Paint(HWND window) {
    PAINTSTRUCT paint;
    HDC screen = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    EnsureHistories(width);
    LoadSettingsOnce();
    {
        HDC composed = CreateCompatibleDC(screen);
        GdiObjectHolder bitmap(CreateCompatibleBitmap(screen, width, height));
        {
            SelectionHolder bitmapSelection(composed, bitmap.Get());
            PaintBackground(window, composed, client);
            SetBkMode(composed, TRANSPARENT);
            SelectionHolder fontSelection(composed, ItemFont);
            GraphRenderer(composed, client);
            BitBlt(screen, 0, 0, width, height, composed, 0, 0, SRCCOPY);
        }
        DeleteDC(composed);
    }
    EndPaint(window, &paint);
}

// The samples gathered so far are dropped; the next paint starts afresh at the
// new width.
void Resize() {
    if (!CpuHistory) {
        return;
    }
    StopLoadSampler();
    SamplerThread = nullptr;
    CpuHistory.reset();
    MemoryHistory.reset();
}

LRESULT ReportHeight(TODAYLISTITEM* item) {
    if (HeightChanged == 0) {
        return FALSE;
    }
    HeightChanged = 0;
    item->cyp = ScaleY(SizeHeights[SettingOrDefault(&Settings::WindowSize)]);
    return TRUE;
}

// A copy of the system font at the caption's size and normal weight.
HFONT MakeItemFont() {
    LOGFONTW font;
    GetObjectW(GetStockObject(SYSTEM_FONT), sizeof(font), &font);
    font.lfHeight = ScaleY(13);
    font.lfWeight = FW_NORMAL;
    return CreateFontIndirectW(&font);
}

} // namespace

LRESULT CALLBACK ItemWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DESTROY:
        CloseTapDialogs(window);
        StopLoadSampler();
        return 0;
    case WM_CLOSE:
        // The window stays and keeps painting its last samples.
        StopLoadSampler();
        return 0;
    case WM_SIZE:
        Resize();
        return 0;
    case WM_PAINT:
        Paint(window);
        return 0;
    case WM_ERASEBKGND:
        return 0;
    case WM_LBUTTONUP:
        TapHandler(window);
        return 0;
    case WM_TODAYCUSTOM_CLEARCACHE:
        return 0;
    case WM_TODAYCUSTOM_QUERYREFRESHCACHE:
        return ReportHeight(reinterpret_cast<TODAYLISTITEM*>(wParam));
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

extern "C" HWND WINAPI InitializeCustomItem(TODAYLISTITEM* item, HWND parent) {
    if (item->fEnabled == 0) {
        return nullptr;
    }
    ModuleInstance = item->hinstDLL;

    UnregisterClassW(ItemClassName, ModuleInstance);
    WNDCLASSW windowClass = {};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = ItemWindowProc;
    windowClass.hInstance = ModuleInstance;
    windowClass.hbrBackground = SystemColorClassBrush(COLOR_WINDOW);
    windowClass.lpszClassName = ItemClassName;
    RegisterClassW(&windowClass);

    HeightChanged = 1;
    ItemWindowHandle = CreateWindowExW(0, ItemClassName, L"Tovamet", WS_CHILD | WS_VISIBLE, 0x1001F,
                                       0x1001F, 0, 0, parent, nullptr, ModuleInstance, nullptr);
    ReadScreenDpi();
    // Every paint selects ItemFont afresh and puts it back before it returns,
    // so the font of an earlier call is selected nowhere and can go.
    HFONT previousFont = ItemFont;
    ItemFont = MakeItemFont();
    if (previousFont != nullptr) {
        DeleteObject(previousFont);
    }
    LoadSettings();
    return ItemWindowHandle;
}

void ReleaseItem() {
    if (ItemFont != nullptr) {
        DeleteObject(ItemFont);
        ItemFont = nullptr;
    }
    // Classes of a library stay registered after it has gone, pointing at its
    // freed window procedure.
    if (ModuleInstance != nullptr) {
        UnregisterClassW(ItemClassName, ModuleInstance);
    }
    ReleaseLoadSampler();
}

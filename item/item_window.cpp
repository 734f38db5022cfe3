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

// Item windows alive in the process: the sampler and the caption font serve
// them all and go with the last. Written on the window thread alone, read by
// the sampler.
std::atomic<LONG> LiveItemWindows{0};
// The height last reported to the host, in pixels; 0 before the first report.
int ReportedHeight = 0;

bool IsItemWindow(HWND window) {
    wchar_t name[16];
    return GetClassNameW(window, name, 16) != 0 && wcscmp(name, ItemClassName) == 0;
}

// Another live item window beside this one, or null.
HWND OtherItemWindow(HWND window) {
    for (HWND other = GetWindow(window, GW_HWNDFIRST); other != nullptr;
         other = GetWindow(other, GW_HWNDNEXT)) {
        if (other != window && IsItemWindow(other)) {
            return other;
        }
    }
    return nullptr;
}

// Histories are one column wider than the window, so the newest sample lies
// in the last column and a full trace runs in from x = -1.
void EnsureHistories(int width) {
    if (CpuHistory) {
        return;
    }
    CpuHistory.reset(new (std::nothrow) SampleHistory(width + 1));
    MemoryHistory.reset(new (std::nothrow) SampleHistory(width + 1));
    if (SamplerThread == nullptr) {
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

// The samples gathered so far are dropped; the next paint of any item window
// starts afresh at that window's width. That paint is asked for here: a host
// may move the window without a repaint, and a stop at the very start of a
// spin publishes nothing that would ask for one.
void Resize(HWND window) {
    if (!CpuHistory) {
        return;
    }
    StopLoadSampler();
    CpuHistory.reset();
    MemoryHistory.reset();
    InvalidateRect(window, nullptr, FALSE);
}

// Every settings load may bring a height the host was never told: a reload
// after Cancel of what another program stored meanwhile, say.
LRESULT ReportHeight(TODAYLISTITEM* item) {
    if (item == nullptr) {
        return FALSE;
    }
    const int height = ScaleY(SizeHeights[SettingOrDefault(&Settings::WindowSize)]);
    if (HeightChanged == 0 && height == ReportedHeight) {
        return FALSE;
    }
    HeightChanged = 0;
    ReportedHeight = height;
    item->cyp = height;
    return TRUE;
}

// Window-system objects go here rather than at the library's unload, where
// the loader lock is held, often on the sampler's thread as it leaves.
void Destroy(HWND window) {
    CloseTapDialogs(window);
    // A load and a store, not a decrement: only this thread writes the count,
    // and the device's link has no __atomic helpers for a read-modify-write.
    LiveItemWindows = LiveItemWindows.load() - 1;
    if (LiveItemWindows.load() > 0) {
        if (ItemWindowHandle.load() == window) {
            ItemWindowHandle = OtherItemWindow(window);
        }
        return;
    }
    StopLoadSampler();
    // Every paint selects the font back out before it returns.
    DeleteObject(ItemFont);
    ItemFont = nullptr;
}

// A copy of the system font at the caption's size and normal weight; the
// platform's default face at that size when the system font cannot be read.
HFONT MakeItemFont() {
    LOGFONTW font = {};
    if (GetObjectW(GetStockObject(SYSTEM_FONT), sizeof(font), &font) == 0) {
        font = LOGFONTW{};
    }
    font.lfHeight = ScaleY(13);
    font.lfWeight = FW_NORMAL;
    return CreateFontIndirectW(&font);
}

} // namespace

LRESULT CALLBACK ItemWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DESTROY:
        Destroy(window);
        return 0;
    case WM_CLOSE:
        // The window stays and keeps painting its last samples.
        StopLoadSampler();
        return 0;
    case WM_SIZE:
        Resize(window);
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
    if (item == nullptr || item->fEnabled == 0) {
        return nullptr;
    }
    ModuleInstance = item->hinstDLL;

    // Drops a registration that an unloaded earlier copy left, whose window
    // procedure is gone: the only one this instance's windows could be made
    // from (CE ignores the instance and has one class of a name per process).
    UnregisterClassW(ItemClassName, ModuleInstance);
    WNDCLASSW windowClass = {};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = ItemWindowProc;
    windowClass.hInstance = ModuleInstance;
    windowClass.hbrBackground = SystemColorClassBrush(COLOR_WINDOW);
    windowClass.lpszClassName = ItemClassName;
    RegisterClassW(&windowClass);

    HeightChanged = 1;
    const HWND window =
        CreateWindowExW(0, ItemClassName, L"Tovamet", WS_CHILD | WS_VISIBLE, 0x1001F, 0x1001F, 0, 0,
                        parent, nullptr, ModuleInstance, nullptr);
    // A failed creation leaves the sampler repainting the windows that live.
    if (window != nullptr) {
        ItemWindowHandle = window;
        // A load and a store, as in Destroy.
        LiveItemWindows = LiveItemWindows.load() + 1;
    }
    ReadScreenDpi();
    // Every paint selects ItemFont afresh and puts it back before it returns,
    // so the font of an earlier call is selected nowhere and can go.
    HFONT previousFont = ItemFont;
    ItemFont = MakeItemFont();
    if (previousFont != nullptr) {
        DeleteObject(previousFont);
    }
    LoadSettings();
    return window;
}

void InvalidateItemWindows() {
    const HWND anchor = ItemWindowHandle.load();
    if (anchor == nullptr) {
        return;
    }
    InvalidateRect(anchor, nullptr, FALSE);
    if (LiveItemWindows.load() < 2) {
        return;
    }
    // The host makes every item window a child of its own window, so the
    // others are among this one's siblings.
    for (HWND other = GetWindow(anchor, GW_HWNDFIRST); other != nullptr;
         other = GetWindow(other, GW_HWNDNEXT)) {
        if (other != anchor && IsItemWindow(other)) {
            InvalidateRect(other, nullptr, FALSE);
        }
    }
}

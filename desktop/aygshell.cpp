// Desktop stand-in for the shell's SHInitDialog. On the device the shell's
// navigation bar runs across the top of the screen, 26 pixels high at 96 dpi
// and scaled by the screen's logical dpi. It shows the caption of the dialog
// in front and, for SHIDIF_DONEBUTTON, an "OK" at its right end that sends
// the dialog WM_COMMAND with IDOK. SHIDIF_SIZEDLG gives the dialog the screen
// below the bar, with neither caption nor frame of its own, and the shell
// sizes such a full-screen dialog again whenever the screen turns.
//
// Here each dialog gets a bar window of its own, owned by the dialog: it lies
// above the dialog, goes when the dialog goes, and as a top-level window it
// receives the display change that tells it to size itself and its dialog.
#include "aygshell.h"

namespace {

const wchar_t BarClass[] = L"AygshellNavigationBar";
const wchar_t OkText[] = L"OK";
constexpr int BarHeightAt96 = 26;

HINSTANCE Module;

int BarHeight() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return MulDiv(BarHeightAt96, dpi, 96);
}

HWND DialogOf(HWND bar) {
    return GetWindow(bar, GW_OWNER);
}

// The area below the bar, where the shell puts a full-screen dialog.
void SizeBelowBar(HWND dialog) {
    const int top = BarHeight();
    SetWindowPos(dialog, nullptr, 0, top, GetSystemMetrics(SM_CXSCREEN),
                 GetSystemMetrics(SM_CYSCREEN) - top,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

// The caption moves into the bar, so the dialog's client area is its whole
// area.
void DropCaptionAndFrame(HWND dialog) {
    const LONG_PTR style = GetWindowLongPtrW(dialog, GWL_STYLE);
    SetWindowLongPtrW(dialog, GWL_STYLE, style & ~(WS_CAPTION | WS_THICKFRAME | WS_SYSMENU));
    const LONG_PTR extended = GetWindowLongPtrW(dialog, GWL_EXSTYLE);
    SetWindowLongPtrW(
        dialog, GWL_EXSTYLE,
        extended & ~(WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE | WS_EX_CLIENTEDGE | WS_EX_STATICEDGE));
}

// The button fits its text in the dialog's font at any dpi, with half a line
// of margin on each side, and is as high as the bar.
void PlaceOkButton(HWND bar) {
    HWND button = GetDlgItem(bar, IDOK);
    if (button == nullptr) {
        return;
    }
    HDC surface = GetDC(button);
    HGDIOBJ previous =
        SelectObject(surface, reinterpret_cast<HGDIOBJ>(SendMessageW(button, WM_GETFONT, 0, 0)));
    SIZE text = {0, 0};
    GetTextExtentPoint32W(surface, OkText, lstrlenW(OkText), &text);
    SelectObject(surface, previous);
    ReleaseDC(button, surface);
    RECT client;
    GetClientRect(bar, &client);
    const int width = text.cx + text.cy;
    MoveWindow(button, client.right - width, 0, width, client.bottom, TRUE);
}

// A dialog that covered the screen below the bar, as far as the bar reaches,
// covers the turned screen below it too; the bar itself spans the new width.
void OnDisplayChange(HWND bar) {
    HWND dialog = DialogOf(bar);
    RECT barPlace;
    RECT dialogPlace;
    GetWindowRect(bar, &barPlace);
    GetWindowRect(dialog, &dialogPlace);
    const bool fullScreen = dialogPlace.left <= barPlace.left &&
                            dialogPlace.top <= barPlace.bottom &&
                            dialogPlace.right >= barPlace.right;
    MoveWindow(bar, 0, 0, GetSystemMetrics(SM_CXSCREEN), BarHeight(), TRUE);
    PlaceOkButton(bar);
    if (fullScreen) {
        SizeBelowBar(dialog);
    }
}

// The dialog's caption at the left, in the dialog's font; the OK button
// paints itself.
void OnPaint(HWND bar) {
    PAINTSTRUCT paint;
    HDC surface = BeginPaint(bar, &paint);
    RECT area;
    GetClientRect(bar, &area);
    FillRect(surface, &area, GetSysColorBrush(COLOR_ACTIVECAPTION));
    HWND dialog = DialogOf(bar);
    wchar_t caption[128] = L"";
    GetWindowTextW(dialog, caption, ARRAYSIZE(caption));
    HWND button = GetDlgItem(bar, IDOK);
    if (button != nullptr) {
        RECT ok;
        GetWindowRect(button, &ok);
        area.right -= ok.right - ok.left;
    }
    area.left += area.bottom / 4;
    HGDIOBJ previous =
        SelectObject(surface, reinterpret_cast<HGDIOBJ>(SendMessageW(dialog, WM_GETFONT, 0, 0)));
    SetTextColor(surface, GetSysColor(COLOR_CAPTIONTEXT));
    SetBkMode(surface, TRANSPARENT);
    DrawTextW(surface, caption, -1, &area, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);
    SelectObject(surface, previous);
    EndPaint(bar, &paint);
}

// The bar's OK speaks for the dialog, as long as no dialog of its own keeps
// it from taking input.
void OnCommand(HWND bar, WPARAM wParam) {
    HWND dialog = DialogOf(bar);
    if (LOWORD(wParam) == IDOK && HIWORD(wParam) == BN_CLICKED && IsWindowEnabled(dialog)) {
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    }
}

LRESULT CALLBACK BarProc(HWND bar, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        OnPaint(bar);
        return 0;
    case WM_COMMAND:
        OnCommand(bar, wParam);
        return 0;
    case WM_DISPLAYCHANGE:
        OnDisplayChange(bar);
        return 0;
    }
    return DefWindowProcW(bar, message, wParam, lParam);
}

// A second registration from the same module fails and changes nothing.
void RegisterBarClass() {
    WNDCLASSW barClass{};
    barClass.lpfnWndProc = BarProc;
    barClass.hInstance = Module;
    barClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    barClass.lpszClassName = BarClass;
    RegisterClassW(&barClass);
}

// Shown without taking the activation from the dialog it serves.
HWND CreateBar(HWND dialog, bool withOk) {
    RegisterBarClass();
    HWND bar = CreateWindowExW(0, BarClass, L"", WS_POPUP | WS_CLIPCHILDREN, 0, 0,
                               GetSystemMetrics(SM_CXSCREEN), BarHeight(), dialog, nullptr, Module,
                               nullptr);
    if (bar == nullptr) {
        return nullptr;
    }
    if (withOk) {
        HWND button = CreateWindowExW(
            0, L"BUTTON", OkText, WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 0, 0, 0, 0, bar,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDOK)), Module, nullptr);
        SendMessageW(button, WM_SETFONT, SendMessageW(dialog, WM_GETFONT, 0, 0), FALSE);
        PlaceOkButton(bar);
    }
    ShowWindow(bar, SW_SHOWNA);
    return bar;
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        Module = instance;
    } else if (reason == DLL_PROCESS_DETACH) {
        // The class would outlive its procedure when the library is freed.
        UnregisterClassW(BarClass, instance);
    }
    return TRUE;
}

extern "C" BOOL WINAPI SHInitDialog(PSHINITDLGINFO info) {
    if (info == nullptr || !IsWindow(info->hDlg)) {
        return FALSE;
    }
    if ((info->dwMask & SHIDIM_FLAGS) == 0 ||
        (info->dwFlags & (SHIDIF_SIZEDLG | SHIDIF_DONEBUTTON)) == 0) {
        return TRUE;
    }
    if (info->dwFlags & SHIDIF_SIZEDLG) {
        DropCaptionAndFrame(info->hDlg);
        SizeBelowBar(info->hDlg);
    }
    return CreateBar(info->hDlg, (info->dwFlags & SHIDIF_DONEBUTTON) != 0) != nullptr;
}

// Desktop stand-in for the shell's SHInitDialog. The device makes the dialog
// full-screen and puts an OK button into the title bar; here the dialog is
// moved over the whole screen and gets an "OK" button at the top right of its
// client area that sends WM_COMMAND with IDOK like the device's.
#include "aygshell.h"

namespace {

const wchar_t OkText[] = L"OK";

void SizeToScreen(HWND dialog) {
    MoveWindow(dialog, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), TRUE);
}

// The button fits its text in the dialog's font at any dpi: half a line of
// margin on each side and a quarter line above and below.
SIZE OkButtonSize(HWND dialog, HGDIOBJ font) {
    HDC surface = GetDC(dialog);
    HGDIOBJ previous = SelectObject(surface, font);
    SIZE text = {0, 0};
    GetTextExtentPoint32W(surface, OkText, lstrlenW(OkText), &text);
    SelectObject(surface, previous);
    ReleaseDC(dialog, surface);
    return {text.cx + text.cy, text.cy + text.cy / 2};
}

void AddDoneButton(HWND dialog) {
    const WPARAM font = SendMessageW(dialog, WM_GETFONT, 0, 0);
    const SIZE size = OkButtonSize(dialog, reinterpret_cast<HGDIOBJ>(font));
    RECT client;
    GetClientRect(dialog, &client);
    HWND button = CreateWindowExW(0, L"BUTTON", OkText, WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON,
                                  client.right - size.cx, 0, size.cx, size.cy, dialog,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDOK)),
                                  GetModuleHandleW(nullptr), nullptr);
    SendMessageW(button, WM_SETFONT, font, FALSE);
}

} // namespace

extern "C" BOOL WINAPI SHInitDialog(PSHINITDLGINFO info) {
    if (info == nullptr || !IsWindow(info->hDlg)) {
        return FALSE;
    }
    if ((info->dwMask & SHIDIM_FLAGS) == 0) {
        return TRUE;
    }
    if (info->dwFlags & SHIDIF_SIZEDLG) {
        SizeToScreen(info->hDlg);
    }
    if (info->dwFlags & SHIDIF_DONEBUTTON) {
        AddDoneButton(info->hDlg);
    }
    return TRUE;
}

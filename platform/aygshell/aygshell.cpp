// Desktop stand-in for the shell's SHInitDialog. The device makes the dialog
// full-screen and puts an OK button into the title bar; here the dialog is
// moved over the whole screen and gets a small "OK" button at the top right of
// its client area that sends WM_COMMAND with IDOK like the device's.
#include "aygshell.h"

namespace {

const int OkButtonWidth = 32;
const int OkButtonHeight = 20;

void SizeToScreen(HWND dialog) {
    MoveWindow(dialog, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), TRUE);
}

void AddDoneButton(HWND dialog) {
    RECT client;
    GetClientRect(dialog, &client);
    HWND button = CreateWindowExW(0, L"BUTTON", L"OK", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON,
                                  client.right - OkButtonWidth, 0, OkButtonWidth, OkButtonHeight,
                                  dialog, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDOK)),
                                  GetModuleHandleW(nullptr), nullptr);
    SendMessageW(button, WM_SETFONT, SendMessageW(dialog, WM_GETFONT, 0, 0), FALSE);
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

// The dialog driver.
#include "dialog_driver.h"

#include "test_canvas.h"

namespace {

std::vector<DialogStep> PendingSteps;
size_t NextStep = 0;

BOOL CALLBACK FindInnermost(HWND window, LPARAM found) {
    wchar_t className[16];
    GetClassNameW(window, className, 16);
    if (lstrcmpW(className, L"#32770") == 0 && IsWindowVisible(window) && IsWindowEnabled(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

DialogDriver::DialogDriver(std::vector<DialogStep> steps) {
    PendingSteps = std::move(steps);
    NextStep = 0;
    timer = SetTimer(nullptr, 0, 60, Tick);
}

DialogDriver::~DialogDriver() {
    KillTimer(nullptr, timer);
    PendingSteps.clear();
}

bool DialogDriver::Finished() const {
    return NextStep == PendingSteps.size();
}

void CALLBACK DialogDriver::Tick(HWND, UINT, UINT_PTR, DWORD) {
    if (NextStep >= PendingSteps.size()) {
        return;
    }
    HWND dialog = InnermostDialog();
    if (dialog == nullptr) {
        return;
    }
    // Taken before the step runs: a step may open a nested modal dialog, in
    // whose loop the next ticks arrive.
    const DialogStep step = PendingSteps[NextStep++];
    step(dialog);
}

HWND InnermostDialog() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindInnermost, reinterpret_cast<LPARAM>(&found));
    return found;
}

void Press(HWND dialog, int id) {
    SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

void TapAt(HWND dialog, int x, int y) {
    SendMessageW(dialog, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

void Capture(HWND dialog, TestCanvas& canvas) {
    RedrawWindow(dialog, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    canvas.CaptureClient(dialog);
}

RECT ControlRect(HWND dialog, int id) {
    RECT place;
    GetWindowRect(GetDlgItem(dialog, id), &place);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
    return place;
}

RECT DialogUnits(HWND dialog, int x, int y, int cx, int cy) {
    RECT place = {x, y, x + cx, y + cy};
    MapDialogRect(dialog, &place);
    return place;
}

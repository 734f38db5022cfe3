// The dialog driver.
#include "dialog_driver.h"

#include "test_canvas.h"

namespace {

const UINT TickMs = 60;
// Ticks that a dialog may stay open after the last step before it is ended.
const int GraceTicks = 1000 / TickMs;
const DWORD LimitMs = 20000;

std::vector<DialogStep> PendingSteps;
size_t NextStep = 0;
DWORD StartTime = 0;
int TicksAfterLastStep = 0;
int Forced = 0;

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
    StartTime = GetTickCount();
    TicksAfterLastStep = 0;
    Forced = 0;
    timer = SetTimer(nullptr, 0, TickMs, Tick);
}

DialogDriver::~DialogDriver() {
    KillTimer(nullptr, timer);
    PendingSteps.clear();
}

bool DialogDriver::Finished() const {
    return NextStep == PendingSteps.size();
}

int DialogDriver::ForcedEnds() const {
    return Forced;
}

void CALLBACK DialogDriver::Tick(HWND, UINT, UINT_PTR, DWORD) {
    HWND dialog = InnermostDialog();
    if (dialog == nullptr) {
        return;
    }
    const bool overdue = GetTickCount() - StartTime > LimitMs;
    if (NextStep >= PendingSteps.size() || overdue) {
        // EndDialog needs nothing from the dialog's procedure, so it ends even
        // a dialog that ignores every command.
        if (overdue || ++TicksAfterLastStep > GraceTicks) {
            ++Forced;
            EndDialog(dialog, FallbackResult);
        }
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
    HWND control = GetDlgItem(dialog, id);
    if (control == nullptr) {
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
        return;
    }
    SendMessageW(control, BM_CLICK, 0, 0);
}

DialogStep Click(int id) {
    return [id](HWND dialog) { Press(dialog, id); };
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
    return ControlRect(dialog, GetDlgItem(dialog, id));
}

RECT ControlRect(HWND dialog, HWND control) {
    RECT place;
    GetWindowRect(control, &place);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
    return place;
}

RECT DialogUnits(HWND dialog, int x, int y, int cx, int cy) {
    RECT place = {x, y, x + cx, y + cy};
    MapDialogRect(dialog, &place);
    return place;
}

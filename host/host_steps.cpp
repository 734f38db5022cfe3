// The host's steps: waits for a time, a log line or a window's state, and the
// screenshots, taps and list choices that people make on the device. A tap is
// a button down and up posted to whatever window lies at its point, as the
// device's touch screen delivers it.
#include "host_steps.h"

#include <cstdarg>
#include <string>

#include "host_log.h"
#include "hosted_items.h"
#include "narrow_text.h"
#include "screen_orientation.h"
#include "screen_shot.h"

namespace {

// A state that has not come by then will not come.
constexpr DWORD StateLimitMs = 60000;
constexpr DWORD ShotSettleMs = 150;

enum class StepResult { Waiting, Done, Failed };

HWND Host;
std::vector<HostStep> Steps;
size_t Current;
StepsState State = StepsState::Done;
DWORD StepStart;
size_t StepLogStart;
// Set once a step that takes more than one turn of the timer has begun.
bool StepBegun;
bool Carrying;
// The window of the last --wait-window, which the taps and choices address.
HWND StepWindow;
std::string StepWindowCaption;

// Counted from 1, as people count the steps they wrote.
int StepNumber() {
    return static_cast<int>(Current) + 1;
}

StepResult Fail(const char* format, ...) __attribute__((format(printf, 1, 2)));

StepResult Fail(const char* format, ...) {
    const std::string beginning = "step " + std::to_string(StepNumber()) + " (" +
                                  Narrow(Steps[Current].Written) + ") failed: ";
    va_list arguments;
    va_start(arguments, format);
    HostLogAfter(beginning.c_str(), format, arguments);
    va_end(arguments);
    return StepResult::Failed;
}

bool OutOfTime() {
    return GetTickCount() - StepStart > StateLimitMs;
}

struct WindowSearch {
    const std::wstring* Caption;
    bool TakingInput;
    HWND Found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<WindowSearch*>(context);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId() || !IsWindowVisible(window) ||
        (search->TakingInput && !IsWindowEnabled(window))) {
        return TRUE;
    }
    wchar_t caption[256];
    GetWindowTextW(window, caption, ARRAYSIZE(caption));
    if (*search->Caption != caption) {
        return TRUE;
    }
    search->Found = window;
    return FALSE;
}

// A visible window of this process with the caption; with takingInput, only
// one that no dialog of its own disables.
HWND FindWindowByCaption(const std::wstring& caption, bool takingInput) {
    WindowSearch search{&caption, takingInput, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.Found;
}

BOOL CALLBACK PaintNow(HWND window, LPARAM) {
    RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    return TRUE;
}

// Paints whatever is pending first (a dialog just shown, too), then lets the
// message loop run idle for a moment: the platform copies what windows drew
// to the screen only then, and a window that was uncovered shows again only
// then.
StepResult TakeShot(const std::wstring& path) {
    if (!StepBegun) {
        EnumThreadWindows(GetCurrentThreadId(), PaintNow, 0);
        StepBegun = true;
        return StepResult::Waiting;
    }
    if (GetTickCount() - StepStart < ShotSettleMs) {
        return StepResult::Waiting;
    }
    int width = 0;
    int height = 0;
    const HRESULT result = SaveScreenShot(path.c_str(), width, height);
    if (FAILED(result)) {
        return Fail("cannot save %ls (0x%08lx)", path.c_str(), static_cast<unsigned long>(result));
    }
    HostLog("shot saved %ls %dx%d", path.c_str(), width, height);
    return StepResult::Done;
}

StepResult PostTap(POINT screenPoint) {
    // The tap lands on whatever is on top there: an item, or a dialog (or one
    // of its controls) that an item has opened over the screen.
    HWND target = WindowFromPoint(screenPoint);
    if (target == nullptr || target == Host) {
        return Fail("no window but the host's at %ld,%ld", screenPoint.x, screenPoint.y);
    }
    const wchar_t* name = nullptr;
    wchar_t className[64];
    if (ItemWindowAt(screenPoint, &name) != target) {
        GetClassNameW(target, className, ARRAYSIZE(className));
        name = className;
    }
    POINT client = screenPoint;
    ScreenToClient(target, &client);
    const LPARAM where = MAKELPARAM(client.x, client.y);
    PostMessageW(target, WM_LBUTTONDOWN, MK_LBUTTON, where);
    PostMessageW(target, WM_LBUTTONUP, 0, where);
    HostLog("tap posted at %ld,%ld to %ls at client %ld,%ld", screenPoint.x, screenPoint.y, name,
            client.x, client.y);
    return StepResult::Done;
}

bool HaveStepWindow() {
    return StepWindow != nullptr && IsWindow(StepWindow);
}

StepResult TapClient(const HostStep& step) {
    if (!HaveStepWindow()) {
        return Fail("no window waited for is up");
    }
    POINT point{step.X, step.Y};
    ClientToScreen(StepWindow, &point);
    return PostTap(point);
}

struct OwnedSearch {
    HWND Owner;
    int Id;
    HWND Found;
};

BOOL CALLBACK MatchOwnedControl(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<OwnedSearch*>(context);
    if (GetWindow(window, GW_OWNER) == search->Owner && IsWindowVisible(window)) {
        search->Found = GetDlgItem(window, search->Id);
    }
    return search->Found == nullptr;
}

// The control with the id in the window waited for, or else in a window it
// owns: the shell's navigation bar holds a full-screen dialog's OK.
HWND FindControl(int id) {
    if (!HaveStepWindow()) {
        return nullptr;
    }
    OwnedSearch search{StepWindow, id, GetDlgItem(StepWindow, id)};
    if (search.Found == nullptr) {
        EnumWindows(MatchOwnedControl, reinterpret_cast<LPARAM>(&search));
    }
    return search.Found;
}

StepResult TapControl(const HostStep& step) {
    HWND control = FindControl(step.Number);
    RECT bounds;
    if (control == nullptr || !IsWindowVisible(control) || !GetWindowRect(control, &bounds)) {
        return Fail("no control %d shows in \"%s\"", step.Number, StepWindowCaption.c_str());
    }
    return PostTap(POINT{(bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2});
}

// As a tap on the entry of the open list would: the selection, then the
// notice to the list's dialog.
StepResult Choose(const HostStep& step) {
    HWND list = HaveStepWindow() ? GetDlgItem(StepWindow, step.Number) : nullptr;
    wchar_t className[16] = L"";
    if (list != nullptr) {
        GetClassNameW(list, className, ARRAYSIZE(className));
    }
    if (lstrcmpiW(className, L"ComboBox") != 0) {
        return Fail("no list %d in \"%s\"", step.Number, StepWindowCaption.c_str());
    }
    if (SendMessageW(list, CB_SETCURSEL, step.Entry, 0) == CB_ERR) {
        return Fail("list %d has no entry %d", step.Number, step.Entry);
    }
    SendMessageW(StepWindow, WM_COMMAND, MAKEWPARAM(step.Number, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(list));
    wchar_t entry[64] = L"";
    if (SendMessageW(list, CB_GETLBTEXTLEN, step.Entry, 0) < LRESULT{ARRAYSIZE(entry)}) {
        SendMessageW(list, CB_GETLBTEXT, step.Entry, reinterpret_cast<LPARAM>(entry));
    }
    HostLog("chose \"%ls\" in list %d of \"%s\"", entry, step.Number, StepWindowCaption.c_str());
    return StepResult::Done;
}

StepResult WaitForWindow(const HostStep& step) {
    HWND window = FindWindowByCaption(step.Text, true);
    if (window == nullptr) {
        return OutOfTime() ? Fail("no window \"%ls\" took input within %lu s", step.Text.c_str(),
                                  StateLimitMs / 1000)
                           : StepResult::Waiting;
    }
    StepWindow = window;
    StepWindowCaption = Narrow(step.Text);
    RECT place;
    RECT client;
    GetWindowRect(window, &place);
    GetClientRect(window, &client);
    HostLog("window \"%ls\" is up at %ld,%ld size %ldx%ld client %ldx%ld", step.Text.c_str(),
            place.left, place.top, place.right - place.left, place.bottom - place.top, client.right,
            client.bottom);
    return StepResult::Done;
}

StepResult WaitUntilGone(const HostStep& step) {
    if (FindWindowByCaption(step.Text, false) != nullptr) {
        return OutOfTime() ? Fail("window \"%ls\" still up after %lu s", step.Text.c_str(),
                                  StateLimitMs / 1000)
                           : StepResult::Waiting;
    }
    HostLog("window \"%ls\" is gone", step.Text.c_str());
    return StepResult::Done;
}

StepResult WaitForLine(const HostStep& step) {
    if (HostLogHolds(Narrow(step.Text).c_str(), StepLogStart)) {
        return StepResult::Done;
    }
    return OutOfTime()
               ? Fail("no line held \"%ls\" within %lu s", step.Text.c_str(), StateLimitMs / 1000)
               : StepResult::Waiting;
}

// Done once the host's window has taken the turned shape, and so the items
// are laid out across it.
StepResult Turn() {
    if (!StepBegun) {
        if (!TurnScreen()) {
            return Fail("the screen did not turn");
        }
        StepBegun = true;
    }
    RECT client;
    GetClientRect(Host, &client);
    if (client.right > client.bottom) {
        return StepResult::Done;
    }
    return OutOfTime() ? Fail("the host's window is not landscape after %lu s", StateLimitMs / 1000)
                       : StepResult::Waiting;
}

StepResult CarryOut(const HostStep& step) {
    switch (step.Kind) {
    case HostStepKind::Wait:
        return GetTickCount() - StepStart >= static_cast<DWORD>(step.Number) ? StepResult::Done
                                                                             : StepResult::Waiting;
    case HostStepKind::WaitLine:
        return WaitForLine(step);
    case HostStepKind::WaitWindow:
        return WaitForWindow(step);
    case HostStepKind::WaitGone:
        return WaitUntilGone(step);
    case HostStepKind::Shot:
        return TakeShot(step.Text);
    case HostStepKind::Tap:
        return PostTap(POINT{step.X, step.Y});
    case HostStepKind::TapClient:
        return TapClient(step);
    case HostStepKind::TapControl:
        return TapControl(step);
    case HostStepKind::Choose:
        return Choose(step);
    case HostStepKind::Turn:
        return Turn();
    case HostStepKind::Close:
        HostLog("closing after step %d", StepNumber());
        DestroyWindow(Host);
        return StepResult::Done;
    }
    return StepResult::Failed;
}

void BeginStep(size_t index) {
    Current = index;
    StepStart = GetTickCount();
    StepLogStart = HostLogLength();
    StepBegun = false;
}

} // namespace

void StartSteps(HWND host, const std::vector<HostStep>& steps) {
    Host = host;
    Steps = steps;
    State = Steps.empty() ? StepsState::Done : StepsState::Running;
    BeginStep(0);
}

StepsState RunSteps() {
    // A step that sends a message may find a modal loop behind it, which
    // dispatches this timer again: one step at a time.
    if (Carrying) {
        return State;
    }
    Carrying = true;
    while (State == StepsState::Running) {
        if (Current == Steps.size()) {
            State = StepsState::Done;
            break;
        }
        const StepResult result = CarryOut(Steps[Current]);
        if (result == StepResult::Waiting) {
            break;
        }
        if (result == StepResult::Failed) {
            State = StepsState::Failed;
            break;
        }
        if (Steps[Current].Kind == HostStepKind::Close) {
            State = StepsState::Done;
            break;
        }
        BeginStep(Current + 1);
    }
    Carrying = false;
    return State;
}

bool LogPendingStep() {
    if (State != StepsState::Running || Current == Steps.size()) {
        return false;
    }
    HostLog("step %d (%s) not done", StepNumber(), Narrow(Steps[Current].Written).c_str());
    return true;
}

bool TurnScreen() {
    const LONG result = TurnToLandscape();
    if (result != DISP_CHANGE_SUCCESSFUL) {
        HostLog("turn failed (%ld)", result);
        return false;
    }
    HostLog("turned to landscape %dx%d", GetSystemMetrics(SM_CXSCREEN),
            GetSystemMetrics(SM_CYSCREEN));
    return true;
}

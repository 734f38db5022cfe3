// Drives modal dialogs from inside their own message loop: a thread timer
// runs one step at each tick against the innermost dialog of the thread, the
// way a user would act on whatever dialog is on top.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

using DialogStep = std::function<void(HWND dialog)>;

// What a dialog ended by the driver's fallback returns.
const INT_PTR FallbackResult = -2;

class DialogDriver {
  public:
    // Starts ticking at once; steps run in order, one per tick, each only
    // when a dialog is open. A dialog still open a second after the last step
    // ran, or 20 seconds after the start, is ended with FallbackResult, so
    // that a step that did not get through fails the test instead of hanging
    // it.
    explicit DialogDriver(std::vector<DialogStep> steps);
    ~DialogDriver();
    DialogDriver(const DialogDriver&) = delete;
    DialogDriver& operator=(const DialogDriver&) = delete;

    bool Finished() const;
    // How many dialogs the fallback had to end.
    int ForcedEnds() const;

  private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    UINT_PTR timer;
};

// The enabled, visible dialog of this thread that no other dialog of it owns.
HWND InnermostDialog();
// Sends the click of a button as the user's tap would arrive, or the bare
// command when the dialog has no such control.
void Press(HWND dialog, int id);
// Press as a step of a dialog's run.
DialogStep Click(int id);
// Sends a tap (button up) at a client point of the dialog.
void TapAt(HWND dialog, int x, int y);
// Paints the dialog now and copies its client area into a new canvas.
class TestCanvas;
void Capture(HWND dialog, TestCanvas& canvas);
// The rectangle of a control in its dialog's client coordinates.
RECT ControlRect(HWND dialog, int id);
RECT ControlRect(HWND dialog, HWND control);
// The rectangle of dialog units mapped to the dialog's pixels.
RECT DialogUnits(HWND dialog, int x, int y, int cx, int cy);

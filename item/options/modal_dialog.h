// Runs a dialog of the item's resources modally, and what its procedures share.
#pragma once

#include <windows.h>

// Finds the RT_DIALOG template of ModuleInstance and runs it with the owner
// and procedure; returns what the dialog ended with, or -1 when the template
// is missing; a dialog closed by CloseModalDialogs ends with anything but 1.
INT_PTR RunModalDialog(int templateId, HWND owner, DLGPROC procedure);
// Has the shell size the dialog to the screen and give it its OK control.
// Every dialog of the item calls it as it initialises, which also notes the
// dialog as the window of the innermost modal run.
void InitFullScreenDialog(HWND dialog);
// Ends the dialogs of the modal runs in progress, innermost first, as Cancel
// would end them; each goes when its loop returns.
void CloseModalDialogs();
// Where a control lies in its dialog's client area.
RECT ClientPlace(HWND dialog, HWND control);

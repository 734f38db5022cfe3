// Runs a dialog of the item's resources modally.
#pragma once

#include <windows.h>

// Finds the RT_DIALOG template of ModuleInstance and runs it with the owner
// and procedure; returns what the dialog ended with, or -1 when the template
// is missing.
INT_PTR RunModalDialog(int templateId, HWND owner, DLGPROC procedure);
// Has the shell size the dialog to the screen and give it its OK control.
void InitFullScreenDialog(HWND dialog);

// What a tap on the item does: the options dialog, then save or undo.
#pragma once

#include <windows.h>

// Runs the options dialog; a tap while it runs is ignored.
void TapHandler(HWND item);
// For the item window's destruction: closes the dialogs of a tap on it,
// picker first, as Cancel would.
void CloseTapDialogs(HWND item);

// The colour picker dialog and the three process-wide values through which
// its opener hands over the title, the transparency choice and the index.
#pragma once

#include <windows.h>

// In: the edited colour index (0 to 15, or -1 for transparent). Out: the
// chosen index, valid when the dialog ends with 1.
extern int PickerColorIndex;
// Non-zero: the "Transparent" box is shown and a swatch tap clears it.
extern int PickerAllowsTransparent;
// A string of static life, such as a literal.
extern const wchar_t* PickerTitle;

// Returns 1 for a handled message, 0 otherwise; declared INT_PTR because that
// is the desktop's DLGPROC type (CE's dialog procedures return BOOL).
INT_PTR CALLBACK ColorPickerDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

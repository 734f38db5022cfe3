// The options dialog: the five colours, the interval, the height, used or
// free, and the memory switch, edited in the live settings.
#pragma once

#include <windows.h>

// Ends with 1 for OK and 2 for Cancel; INT_PTR is the desktop's DLGPROC type.
INT_PTR CALLBACK OptionsDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// What a tap on the item does: the options dialog, then save or undo.
#pragma once

#include <windows.h>

void TapHandler(HWND item);

// The item window the Today host places on its screen, and the entry that
// the host calls to create it.
#pragma once

#include <windows.h>

#include "todaycmn.h"

LRESULT CALLBACK ItemWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Exported by ordinal 240; returns the new item window, or null when the
// item is disabled or the window could not be made.
extern "C" HWND WINAPI InitializeCustomItem(TODAYLISTITEM* item, HWND parent);

// Asks every live item window to repaint, without waiting; for the sampler.
void InvalidateItemWindows();

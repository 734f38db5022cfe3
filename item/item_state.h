// Process-wide values of the item window, shared by the window, the sampler
// and the dialogs.
#pragma once

#include <windows.h>

#include <atomic>

extern HINSTANCE ModuleInstance;
// The window of the latest entry call, or another live item window once it
// has gone; the sampler invalidates it and the item windows beside it.
extern std::atomic<HWND> ItemWindowHandle;
extern HFONT ItemFont;
// 1 when the next refresh query must report the item's height.
extern int HeightChanged;

// A reference of the caller's own to this library, for code that may still
// run after the host has freed it; null when the library cannot be named.
HMODULE HoldLibrary();

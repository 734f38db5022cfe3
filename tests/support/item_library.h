// The item's own DLL loaded as the Today host loads it, for the programs
// that free it again.
#pragma once

#include <windows.h>

// Loads the library, bridges its idle-priority sampler as the host does and
// calls its entry with an enabled record and the host window. Returns the
// item window, or null when the library, its entry or the window fails;
// `library` receives the reference to free, null when loading failed.
HWND LoadItemLibrary(HWND host, HMODULE& library);
// Whether a copy of the library is mapped in the process.
bool ItemLibraryLoaded();

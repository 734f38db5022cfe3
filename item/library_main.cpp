// The library's load handler.
#include <windows.h>

#include "item_window.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(instance);
    }
    // A host that reloads its items unloads the library many times in one
    // process; at process exit (reserved non-null) the system takes it all back.
    if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
        ReleaseItem();
    }
    return TRUE;
}

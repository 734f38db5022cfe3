// The library's load handler.
#include <windows.h>

#include "load_sampler.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(instance);
    }
    // A host that reloads its items unloads the library many times in one
    // process; at process exit (reserved non-null) the system takes it all back.
    // Only kernel objects are freed here: the loader lock is held, often by
    // the sampler's thread as it leaves. The caption font goes with the last
    // item window, the window class at the next entry call.
    if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
        ReleaseLoadSampler();
    }
    return TRUE;
}

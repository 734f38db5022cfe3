// Loading and unloading a setup library.
#include "setup_library.h"

namespace {
constexpr DWORD UnloadPollMilliseconds = 10;
// Long enough for a hook's delivery to give up on a few windows that do not
// answer, short enough that a library that keeps itself is found out.
constexpr DWORD UnloadWaitMilliseconds = 10000;

// Through void (*)(): the one function type that converts to any other
// without a warning.
template <typename Hook> Hook FindHook(HMODULE module, const char* name) {
    return reinterpret_cast<Hook>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

} // namespace

bool LoadSetupLibrary(const std::wstring& path, SetupLibrary& library, std::wstring& error) {
    library = SetupLibrary();
    library.path = path;
    library.module = LoadLibraryW(path.c_str());
    if (library.module == nullptr) {
        error = path + L": cannot be loaded (error " + std::to_wstring(GetLastError()) + L")";
        return false;
    }
    library.installInit = FindHook<pfnINSTALL_INIT>(library.module, szINSTALL_INIT);
    library.installExit = FindHook<pfnINSTALL_EXIT>(library.module, szINSTALL_EXIT);
    library.uninstallInit = FindHook<pfnUNINSTALL_INIT>(library.module, szUNINSTALL_INIT);
    library.uninstallExit = FindHook<pfnUNINSTALL_EXIT>(library.module, szUNINSTALL_EXIT);
    if (library.installInit == nullptr || library.installExit == nullptr ||
        library.uninstallInit == nullptr || library.uninstallExit == nullptr) {
        error = path + L": does not export Install_Init, Install_Exit, Uninstall_Init and "
                       L"Uninstall_Exit";
        FreeLibrary(library.module);
        library = SetupLibrary();
        return false;
    }
    return true;
}

bool UnloadSetupLibrary(SetupLibrary& library) {
    FreeLibrary(library.module);
    library.module = nullptr;
    for (DWORD waited = 0; waited < UnloadWaitMilliseconds; waited += UnloadPollMilliseconds) {
        if (GetModuleHandleW(library.path.c_str()) == nullptr) {
            return true;
        }
        Sleep(UnloadPollMilliseconds);
    }
    return false;
}

// A package's setup library, loaded with its four installer hooks.
#pragma once

#include <windows.h>

#include <string>

#include "ce_setup.h"

struct SetupLibrary {
    std::wstring path;
    HMODULE module = nullptr;
    pfnINSTALL_INIT installInit = nullptr;
    pfnINSTALL_EXIT installExit = nullptr;
    pfnUNINSTALL_INIT uninstallInit = nullptr;
    pfnUNINSTALL_EXIT uninstallExit = nullptr;
};

// Loads the library and finds all four hooks; on failure nothing stays loaded.
bool LoadSetupLibrary(const std::wstring& path, SetupLibrary& library, std::wstring& error);

// Unloads the library and waits until it is really gone from the process: a
// hook may have left work running that holds it. False if it stays.
bool UnloadSetupLibrary(SetupLibrary& library);

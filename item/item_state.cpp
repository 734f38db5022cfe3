// Storage of the item window's process-wide values.
#include "item_state.h"

// Checked once for the whole item, in both builds.
#include "ce_abi_checks.h"

HINSTANCE ModuleInstance = nullptr;
std::atomic<HWND> ItemWindowHandle{nullptr};
HFONT ItemFont = nullptr;
int HeightChanged = 0;

HMODULE HoldLibrary() {
    wchar_t path[MAX_PATH];
    return GetModuleFileNameW(ModuleInstance, path, MAX_PATH) != 0 ? LoadLibraryW(path) : nullptr;
}

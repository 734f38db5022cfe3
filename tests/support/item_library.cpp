// Loading the item's DLL by its build path.
#include "item_library.h"

#include <string>

#include "thread_priority_bridge.h"
#include "todaycmn.h"

namespace {

std::wstring LibraryPath() {
    std::wstring path = L"Z:";
    for (const char* c = TOVAMET_DLL; *c != '\0'; ++c) {
        path += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
    }
    return path;
}

} // namespace

HWND LoadItemLibrary(HWND host, HMODULE& library) {
    library = LoadLibraryW(LibraryPath().c_str());
    if (library == nullptr) {
        return nullptr;
    }
    BridgeThreadPriorities(library);
    const auto entry = reinterpret_cast<PFNCUSTOMINITIALIZEITEM>(
        reinterpret_cast<void*>(GetProcAddress(library, MAKEINTRESOURCEA(240))));
    TODAYLISTITEM record = {};
    record.fEnabled = TRUE;
    record.hinstDLL = library;
    return entry != nullptr ? entry(&record, host) : nullptr;
}

bool ItemLibraryLoaded() {
    return GetModuleHandleW(LibraryPath().c_str()) != nullptr;
}

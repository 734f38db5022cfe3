// The four hooks the cabinet installer calls around installing and removing
// the package. They hold no state: each removes the item's keys where it is
// due and asks the Today screen to refresh, and always lets the installer go on.
#include <windows.h>

#include "ce_setup.h"
#include "item_keys.h"
#include "today_refresh.h"

namespace {
HMODULE SetupModule = nullptr;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        SetupModule = instance;
    }
    return TRUE;
}

// The keys go before the broadcast, so the refreshed Today screen no longer
// finds the item.
codeINSTALL_INIT Install_Init(HWND, BOOL, BOOL, LPCTSTR) {
    RemoveItemKeys();
    BroadcastTodayRefresh();
    return codeINSTALL_INIT_CONTINUE;
}

codeINSTALL_EXIT Install_Exit(HWND, LPCTSTR, WORD, WORD, WORD, WORD, WORD) {
    StartTodayRefresh(SetupModule);
    return codeINSTALL_EXIT_DONE;
}

codeUNINSTALL_INIT Uninstall_Init(HWND, LPCTSTR) {
    RemoveItemKeys();
    BroadcastTodayRefresh();
    return codeUNINSTALL_INIT_CONTINUE;
}

codeUNINSTALL_EXIT Uninstall_Exit(HWND) {
    BroadcastTodayRefresh();
    return codeUNINSTALL_EXIT_DONE;
}

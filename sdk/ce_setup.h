// The device installer's hook interface: the result codes, the four hooks a
// package's setup library exports by name, and the pointer types the installer
// calls them through. Names, values and parameter lists are the platform's.
#pragma once

#include <windows.h>

extern "C" {

typedef enum { codeINSTALL_INIT_CONTINUE = 0, codeINSTALL_INIT_CANCEL } codeINSTALL_INIT;

typedef enum { codeINSTALL_EXIT_DONE = 0, codeINSTALL_EXIT_UNINSTALL } codeINSTALL_EXIT;

typedef enum { codeUNINSTALL_INIT_CONTINUE = 0, codeUNINSTALL_INIT_CANCEL } codeUNINSTALL_INIT;

typedef enum { codeUNINSTALL_EXIT_DONE = 0 } codeUNINSTALL_EXIT;

codeINSTALL_INIT Install_Init(HWND hwndParent, BOOL fFirstCall, BOOL fPreviouslyInstalled,
                              LPCTSTR pszInstallDir);

codeINSTALL_EXIT Install_Exit(HWND hwndParent, LPCTSTR pszInstallDir, WORD cFailedDirs,
                              WORD cFailedFiles, WORD cFailedRegKeys, WORD cFailedRegVals,
                              WORD cFailedShortcuts);

codeUNINSTALL_INIT Uninstall_Init(HWND hwndParent, LPCTSTR pszInstallDir);

codeUNINSTALL_EXIT Uninstall_Exit(HWND hwndParent);

typedef codeINSTALL_INIT (*pfnINSTALL_INIT)(HWND hwndParent, BOOL fFirstCall,
                                            BOOL fPreviouslyInstalled, LPCTSTR pszInstallDir);
typedef codeINSTALL_EXIT (*pfnINSTALL_EXIT)(HWND hwndParent, LPCTSTR pszInstallDir,
                                            WORD cFailedDirs, WORD cFailedFiles,
                                            WORD cFailedRegKeys, WORD cFailedRegVals,
                                            WORD cFailedShortcuts);
typedef codeUNINSTALL_INIT (*pfnUNINSTALL_INIT)(HWND hwndParent, LPCTSTR pszInstallDir);
typedef codeUNINSTALL_EXIT (*pfnUNINSTALL_EXIT)(HWND hwndParent);

} // extern "C"

// The export names the installer looks the hooks up by (GetProcAddress takes
// narrow names on the desktop; the device's takes wide ones).
#define szINSTALL_INIT "Install_Init"
#define szINSTALL_EXIT "Install_Exit"
#define szUNINSTALL_INIT "Uninstall_Init"
#define szUNINSTALL_EXIT "Uninstall_Exit"

static_assert(codeINSTALL_INIT_CANCEL == 1, "install-init cancel");
static_assert(codeINSTALL_EXIT_UNINSTALL == 1, "install-exit roll back");
static_assert(codeUNINSTALL_INIT_CANCEL == 1, "uninstall-init cancel");

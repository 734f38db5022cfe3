// Functions that Windows CE's SDK headers define inline or as macros over
// other calls: the core library exports none of these names, so the device
// build supplies the ones the product calls, as those headers define them.
#include <windows.h>

extern "C" BOOL WINAPI EventModify(HANDLE event, DWORD action);

namespace {

// kfuncs.h: the actions of EventModify.
constexpr DWORD EventReset = 2;
constexpr DWORD EventSet = 3;
// kfuncs.h: a thread's own pseudo-handle is SH_CURTHREAD (1) above
// SYS_HANDLE_BASE (64).
constexpr UINT_PTR CurrentThreadHandle = 64 + 1;

} // namespace

extern "C" {

HANDLE WINAPI GetCurrentThread() {
    return reinterpret_cast<HANDLE>(CurrentThreadHandle);
}

BOOL WINAPI SetEvent(HANDLE event) {
    return EventModify(event, EventSet);
}

BOOL WINAPI ResetEvent(HANDLE event) {
    return EventModify(event, EventReset);
}

// A loaded resource is its data on CE.
LPVOID WINAPI LockResource(HGLOBAL resource) {
    return resource;
}
}

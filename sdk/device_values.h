// Values the product passes to the platform where Windows CE's differ from the
// desktop's. Both builds take the desktop headers (mingw-w64); the device
// build (_WIN32_WCE) gets CE's values here, the Windows build keeps the
// desktop's. Each is checked against the call's page in the CE reference.
#pragma once

#include <windows.h>

#ifdef _WIN32_WCE
// SetThreadPriority (CE 5.0): eight levels, 0 time-critical to 7 idle, normal 3;
// the desktop's -15 and 0 would be refused or mean time-critical.
#undef THREAD_PRIORITY_TIME_CRITICAL
#undef THREAD_PRIORITY_HIGHEST
#undef THREAD_PRIORITY_ABOVE_NORMAL
#undef THREAD_PRIORITY_NORMAL
#undef THREAD_PRIORITY_BELOW_NORMAL
#undef THREAD_PRIORITY_LOWEST
#undef THREAD_PRIORITY_ABOVE_IDLE
#undef THREAD_PRIORITY_IDLE
#define THREAD_PRIORITY_TIME_CRITICAL 0
#define THREAD_PRIORITY_HIGHEST 1
#define THREAD_PRIORITY_ABOVE_NORMAL 2
#define THREAD_PRIORITY_NORMAL 3
#define THREAD_PRIORITY_BELOW_NORMAL 4
#define THREAD_PRIORITY_LOWEST 5
#define THREAD_PRIORITY_ABOVE_IDLE 6
#define THREAD_PRIORITY_IDLE 7

// RegOpenKeyEx (CE 5.0): samDesired is not supported and must be 0.
constexpr REGSAM KeyAccess(REGSAM) {
    return 0;
}

// WNDCLASS (CE 5.0): a system colour as class brush is the colour index with
// SYS_COLOR_INDEX_FLAG, not the desktop's index + 1.
constexpr INT_PTR SystemColorIndexFlag = 0x40000000;
inline HBRUSH SystemColorClassBrush(int index) {
    return reinterpret_cast<HBRUSH>(SystemColorIndexFlag | index);
}
#else
// The desktop grants through a key only what was asked for when it was opened.
constexpr REGSAM KeyAccess(REGSAM access) {
    return access;
}

inline HBRUSH SystemColorClassBrush(int index) {
    return reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(index + 1));
}
#endif

static_assert(THREAD_PRIORITY_IDLE != THREAD_PRIORITY_NORMAL, "priorities");

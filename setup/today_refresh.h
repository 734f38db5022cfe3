// The Today refresh broadcast: asks every top-level window, the Today screen
// among them, to read its list of items again.
#pragma once

#include <windows.h>

// How long the broadcast waits for one window. The desktop (and Wine) calls a
// window hung once it has not read its messages for 5 s, and skips hung windows
// at once; waiting a little longer than that means a window that has made us
// wait once is skipped by every later broadcast, so a hung program costs one
// time-out per installation or removal, not one per hook.
constexpr UINT RefreshTimeoutMilliseconds = 6000;

// Sends the broadcast and returns when every top-level window has handled it
// or has let the time-out pass.
void BroadcastTodayRefresh();

// Delivers the broadcast without waiting for the receivers. The library of
// `self` stays loaded until the delivery is over, at most the time-out per
// window that does not answer, so its caller may unload it as soon as this
// returns.
void StartTodayRefresh(HMODULE self);

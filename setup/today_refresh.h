// The Today refresh broadcast: asks every top-level window, the Today screen
// among them, to read its list of items again.
#pragma once

#include <windows.h>

// Sends the broadcast and returns when every top-level window has handled it.
void BroadcastTodayRefresh();

// Delivers the broadcast without waiting for the receivers. The library of
// `self` stays loaded until the delivery is over, so its caller may unload it
// as soon as this returns.
void StartTodayRefresh(HMODULE self);

// The Today refresh broadcast: asks every top-level window, the Today screen
// among them, to read its list of items again.
#pragma once

#include <windows.h>

// How long the broadcast waits for one window. The device knows no hung
// windows, so a window that does not answer costs this much at every waiting
// broadcast: three per installation and removal on the device. The Today
// screen reads its items well within it, and a window that takes longer still
// gets the message; the hook just stops waiting for it.
constexpr UINT RefreshTimeoutMilliseconds = 2000;

// Sends the broadcast and returns when every top-level window has handled it
// or has let the time-out pass.
void BroadcastTodayRefresh();

// Delivers the broadcast without waiting for the receivers. Where the
// platform hands the message over at once nothing outlives the call; where
// it refuses to, the library of `self` stays loaded until a waiting broadcast
// of its own is over, at most the time-out per window that does not answer.
// Either way the caller may unload the library as soon as this returns.
void StartTodayRefresh(HMODULE self);

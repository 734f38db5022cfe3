// The Today items that the host shows: read from the registry, loaded,
// asked for their heights, stacked top to bottom, and dropped again.
#pragma once

#include <windows.h>

extern const wchar_t TodayItemsKey[];

// Reads the item list and loads every enabled custom item, in Order, with
// host as the parent of their windows; then lays them out.
void LoadItems(HWND host);

// Destroys every item window (each receives WM_DESTROY); the libraries stay
// loaded, since this may run inside an item's own message handler.
void DestroyItemWindows();
// Frees the item libraries and forgets the items. Only safe once their
// windows are gone and no item's code is on the stack.
void FreeItemLibraries();

// Asks every item whether its height changed; re-lays out when one did.
void PollItemHeights(HWND host);

// Stacks the item windows top to bottom across the host's client width.
void LayoutItems(HWND host);

// The item window under a point in screen coordinates, and its name; null
// when the point lies on no item.
HWND ItemWindowAt(POINT screenPoint, const wchar_t** name);

// Draws the item's picture: the scrolling grid, the memory and processor
// traces and the caption with the newest percentages.
#pragma once

#include <windows.h>

// Draws into a surface that already holds the background and the caption
// font; the surface's pen is the same on return as on entry.
void GraphRenderer(HDC surface, const RECT& client);

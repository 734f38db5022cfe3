// The host's own background picture: a diagonal gradient with fine stripes
// over the whole screen, so that an item with a transparent background shows
// that it draws the part of the picture that lies behind it.
#pragma once

#include <windows.h>

// Draws the picture into target of dc, where target's top-left pixel shows
// the picture's pixel at (target.left + origin.x, target.top + origin.y) of a
// picture the size of the screen.
void DrawWatermark(HDC dc, const RECT& target, POINT origin);

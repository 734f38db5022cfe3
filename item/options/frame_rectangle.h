// A one-pixel frame drawn with a brush, as the options dialog and the colour
// picker draw around their swatches.
#pragma once

#include <windows.h>

// The pixels of the desktop's FrameRect: the outermost row and column of
// `rect` on each side; nothing for an empty rectangle.
void FrameRectangle(HDC surface, const RECT& rect, HBRUSH brush);

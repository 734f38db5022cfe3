// The swatch frame, drawn with calls that Windows CE has.
#include "frame_rectangle.h"

// Stands in for the desktop's FrameRect, which Windows CE lacks: four
// one-pixel strips filled with the brush give the same pixels.
void FrameRectangle(HDC surface, const RECT& rect, HBRUSH brush) {
    // FillRect would draw an inverted rectangle mirrored; FrameRect draws none.
    if (rect.right <= rect.left || rect.bottom <= rect.top) {
        return;
    }
    const RECT strips[] = {
        {rect.left, rect.top, rect.right, rect.top + 1},
        {rect.left, rect.bottom - 1, rect.right, rect.bottom},
        {rect.left, rect.top + 1, rect.left + 1, rect.bottom - 1},
        {rect.right - 1, rect.top + 1, rect.right, rect.bottom - 1},
    };
    for (const RECT& strip : strips) {
        FillRect(surface, &strip, brush);
    }
}

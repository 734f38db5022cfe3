// Swatch placement in a row of the options dialog.
#include "swatch_place.h"

namespace {

int Smaller(int a, int b) {
    return a < b ? a : b;
}

} // namespace

PixelBox PlaceSwatch(int labelEnd, const PixelBox& button, int width, int height) {
    const int room = button.left - labelEnd;
    const int shownWidth = room > 0 ? Smaller(width, room) : 0;
    const int buttonHeight = button.bottom - button.top;
    const int shownHeight = buttonHeight > 0 ? Smaller(height, buttonHeight) : 0;
    const int left = labelEnd + (room - shownWidth) / 2;
    const int top = button.top + (buttonHeight - shownHeight) / 2;
    return {left, top, left + shownWidth, top + shownHeight};
}

// The colour picker's grid.
#include "picker_grid.h"

#include "dpi_scale.h"

namespace {

const int SwatchCount = 16;

int Larger(int a, int b) {
    return a > b ? a : b;
}

} // namespace

PickerGrid PickerGridFor(DialogShape shape, int dpiX, int dpiY) {
    const bool tall = shape == DialogShape::Tall;
    const bool square = shape == DialogShape::Square;
    const int pitch = square ? 38 : 50;
    const int swatch = square ? 30 : 40;
    PickerGrid grid;
    grid.columns = tall ? 4 : 6;
    grid.rows = tall ? 4 : 3;
    grid.left = ScaleByDpi(5, dpiX);
    // Below the title band of 24 pixels, with 10 to spare: the sum of the
    // two scaled lengths.
    grid.top = ScaleByDpi(24, dpiY) + ScaleByDpi(10, dpiY);
    grid.pitchX = ScaleByDpi(pitch, dpiX);
    grid.pitchY = ScaleByDpi(pitch, dpiY);
    grid.width = ScaleByDpi(swatch, dpiX);
    grid.height = ScaleByDpi(swatch, dpiY);
    const int lastRow = (SwatchCount - 1) / grid.columns;
    if (shape == DialogShape::Short) {
        grid.freeLeft = grid.left + (SwatchCount % grid.columns) * grid.pitchX;
        grid.freeTop = grid.top + lastRow * grid.pitchY;
    } else {
        grid.freeLeft = 0;
        grid.freeTop = grid.top + (lastRow + 1) * grid.pitchY;
    }
    return grid;
}

PixelBox PickerSwatchBox(const PickerGrid& grid, int index) {
    const int left = grid.left + (index % grid.columns) * grid.pitchX;
    const int top = grid.top + (index / grid.columns) * grid.pitchY;
    return {left, top, left + grid.width, top + grid.height};
}

int PickerSwatchAt(const PickerGrid& grid, int x, int y) {
    const int row = (y - grid.top) / grid.pitchY;
    const int column = (x - grid.left) / grid.pitchX;
    if (row < 0 || row > grid.rows - 1 || column < 0 || column > grid.columns - 1) {
        return -1;
    }
    const int index = row * grid.columns + column;
    return index > SwatchCount - 1 ? -1 : index;
}

PixelShift PickerButtonShift(const PickerGrid& grid, const PixelBox& buttons) {
    return {Larger(0, grid.freeLeft - buttons.left), Larger(0, grid.freeTop - buttons.top)};
}

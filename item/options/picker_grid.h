// The colour picker's swatch grid in pixels for a layout and dpi, its hit
// test, and the move that takes its two buttons clear of it; no platform
// calls.
#pragma once

#include "dialog_shape.h"
#include "swatch_place.h"

struct PickerGrid {
    int columns;
    int rows;
    // The first cell's top left corner, and the size of a cell: a swatch and
    // the gap right of and below it.
    int left;
    int top;
    int pitchX;
    int pitchY;
    // The size of a swatch.
    int width;
    int height;
    // The buttons belong right of freeLeft and below freeTop, where no cell
    // of a swatch lies.
    int freeLeft;
    int freeTop;
};

struct PixelShift {
    int dx;
    int dy;
};

// Swatches 0 to 15 row by row: 4 x 4 in cells of 50 pixels at 96 dpi on a tall
// screen, 6 x 3 on a short one, and 6 x 3 in cells of 38 on a square one,
// where six of 50 would not fit the width. The buttons sit below the last row,
// or on a short screen in the third row's two empty cells.
PickerGrid PickerGridFor(DialogShape shape, int dpiX, int dpiY);

PixelBox PickerSwatchBox(const PickerGrid& grid, int index);

// The swatch whose cell holds the point, or -1. The division truncates, so a
// point less than a cell above or left of the grid counts for the first row
// or column.
int PickerSwatchAt(const PickerGrid& grid, int x, int y);

// The least move, right and down, that takes buttons spanning `buttons` out
// of every swatch's cell; none when they are clear already.
PixelShift PickerButtonShift(const PickerGrid& grid, const PixelBox& buttons);

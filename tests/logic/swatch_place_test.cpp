// Swatch placement between a row's label and its "Edit" button, with the
// rows the dialog gives at 96 and 192 dpi and the cases around them; the
// picker's grid, hit test and buttons.
#include <gtest/gtest.h>

#include "picker_grid.h"
#include "swatch_place.h"

namespace {

TEST(PlaceSwatch, WantedSizeWhereItFitsShrunkOnlyToTheRoom) {
    const struct {
        const char* what;
        int labelEnd;
        PixelBox button;
        int width, height;
        PixelBox swatch;
    } cases[] = {
        {"short row: centred in a roomy gap", 217, {240, 39, 270, 57}, 15, 15, {221, 40, 236, 55}},
        {"tall row: narrowed to the room", 102, {170, 52, 200, 70}, 70, 15, {102, 53, 170, 68}},
        {"one pixel to spare: it goes left", 99, {170, 52, 200, 70}, 70, 15, {99, 53, 169, 68}},
        {"192 dpi tall row", 198, {339, 100, 399, 134}, 140, 30, {198, 102, 338, 132}},
        {"odd leftover height: the spare pixel below",
         0,
         {50, 10, 60, 27},
         10,
         10,
         {20, 13, 30, 23}},
        {"taller than the button: its height", 0, {100, 10, 120, 28}, 20, 30, {40, 10, 60, 28}},
        {"label past the button: empty", 180, {170, 52, 200, 70}, 15, 15, {175, 53, 175, 68}},
    };
    for (const auto& c : cases) {
        const PixelBox got = PlaceSwatch(c.labelEnd, c.button, c.width, c.height);
        EXPECT_EQ(c.swatch.left, got.left) << c.what;
        EXPECT_EQ(c.swatch.top, got.top) << c.what;
        EXPECT_EQ(c.swatch.right, got.right) << c.what;
        EXPECT_EQ(c.swatch.bottom, got.bottom) << c.what;
    }
}

// Swatch 15's box, what a point hits, and the buttons' move from the places
// the template gives them on these screens.
TEST(PickerGrid, LastSwatchHitAndButtons) {
    const struct {
        DialogShape shape;
        int dpi, x, y, hit;
        PixelBox last, buttons;
        PixelShift shift;
    } cases[] = {
        {DialogShape::Tall, 96, 25, 5, 0, {155, 184, 195, 224}, {10, 224, 200, 247}, {0, 10}},
        {DialogShape::Tall, 192, 1, 200, 4, {310, 368, 390, 448}, {23, 414, 433, 456}, {0, 54}},
        {DialogShape::Short, 96, 225, 154, -1, {155, 134, 195, 174}, {189, 130, 273, 173}, {16, 4}},
        {DialogShape::Square, 128, 190, 180, 15, {160, 147, 200, 187}, {15, 195, 266, 225}, {0, 3}},
    };
    for (const auto& c : cases) {
        const PickerGrid grid = PickerGridFor(c.shape, c.dpi, c.dpi);
        const PixelBox last = PickerSwatchBox(grid, 15);
        const PixelShift shift = PickerButtonShift(grid, c.buttons);
        const int row = static_cast<int>(&c - cases);
        EXPECT_TRUE(last.left == c.last.left && last.top == c.last.top &&
                    last.right == c.last.right && last.bottom == c.last.bottom)
            << "row " << row << ": " << last.left << "," << last.top;
        EXPECT_EQ(c.hit, PickerSwatchAt(grid, c.x, c.y)) << "row " << row;
        EXPECT_TRUE(shift.dx == c.shift.dx && shift.dy == c.shift.dy)
            << "row " << row << ": " << shift.dx << "," << shift.dy;
    }
}

} // namespace

// Swatch placement between a row's label and its "Edit" button, with the
// rows the dialog gives at 96 and 192 dpi and the cases around them.
#include <gtest/gtest.h>

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

} // namespace

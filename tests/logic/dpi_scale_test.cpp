// 96-dpi lengths scaled with the platform's MulDiv rounding.
#include <gtest/gtest.h>

#include "dpi_scale.h"

namespace {

TEST(ScaleByDpi, RoundsHalvesAwayFromZeroSymmetrically) {
    const struct {
        int v;
        int dpi;
        int scaled;
    } cases[] = {
        {10, 96, 10},  {10, 192, 20}, {10, 131, 14},   {20, 128, 27}, {40, 128, 53},
        {50, 128, 67}, {13, 192, 26}, {320, 96, 320},  {1, 48, 1},    {-1, 48, -1},
        {3, 32, 1},    {-3, 32, -1},  {-10, 131, -14}, {0, 192, 0},   {50, 0, 0},
        {1, 144, 2},   {-1, 144, -2}, {24, 120, 30},   {5, 120, 6},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.scaled, ScaleByDpi(c.v, c.dpi)) << c.v << " at " << c.dpi << " dpi";
    }
}

TEST(ScaleByDpi, GridSpacingMinusOneAtCommonDpis) {
    EXPECT_EQ(9, ScaleByDpi(10, 96) - 1);
    EXPECT_EQ(19, ScaleByDpi(10, 192) - 1);
    EXPECT_EQ(13, ScaleByDpi(10, 131) - 1);
}

} // namespace

// DPI scaling with MulDiv rounding.
#include "dpi_scale.h"

#include <cstdint>

int ScaleByDpi(int v, int dpi) {
    const int64_t product = static_cast<int64_t>(v) * dpi;
    const int64_t magnitude = (product < 0 ? -product : product) + 48;
    const int64_t scaled = magnitude / 96;
    return static_cast<int>(product < 0 ? -scaled : scaled);
}

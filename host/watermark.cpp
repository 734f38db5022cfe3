// The host's background picture, computed per pixel and copied with one
// transfer; nothing is kept between messages.
#include "watermark.h"

#include <cstdint>
#include <vector>

namespace {

// Red grows to the right, green downwards, blue along the other diagonal; a
// stripe every 8 pixels along the diagonal makes a one-pixel shift visible.
// Points off the screen (an item stacked below its bottom) take the nearest
// edge's colour.
uint32_t WatermarkPixel(int x, int y, int width, int height) {
    const int spanX = width > 1 ? width - 1 : 1;
    const int spanY = height > 1 ? height - 1 : 1;
    x = x < 0 ? 0 : (x > spanX ? spanX : x);
    y = y < 0 ? 0 : (y > spanY ? spanY : y);
    const int stripe = ((x + y) / 8) % 2 == 0 ? 24 : 0;
    const int red = 40 + 150 * x / spanX + stripe;
    const int green = 60 + 120 * y / spanY + stripe;
    const int blue = 200 - 60 * x / spanX - 60 * y / spanY + stripe;
    return static_cast<uint32_t>(red) << 16 | static_cast<uint32_t>(green) << 8 |
           static_cast<uint32_t>(blue);
}

} // namespace

void DrawWatermark(HDC dc, const RECT& target, POINT origin) {
    const int width = target.right - target.left;
    const int height = target.bottom - target.top;
    if (width <= 0 || height <= 0) {
        return;
    }
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column) {
            pixels[static_cast<size_t>(row) * width + column] =
                WatermarkPixel(target.left + origin.x + column, target.top + origin.y + row,
                               screenWidth, screenHeight);
        }
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    SetDIBitsToDevice(dc, target.left, target.top, width, height, 0, 0, 0, height, pixels.data(),
                      &info, DIB_RGB_COLORS);
}

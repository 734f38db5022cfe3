// A 32-bit top-down DIB section in a memory DC, read back pixel by pixel as
// COLORREF values, for drawing tests and window captures.
#pragma once

#include <windows.h>

#include <cstdint>

class TestCanvas {
  public:
    TestCanvas(int width, int height);
    ~TestCanvas();
    TestCanvas(const TestCanvas&) = delete;
    TestCanvas& operator=(const TestCanvas&) = delete;

    HDC Dc() const { return dc; }
    int Width() const { return width; }
    int Height() const { return height; }
    void Fill(COLORREF color);
    COLORREF Pixel(int x, int y) const;
    // How many pixels of the rectangle [x0, x1) x [y0, y1) have the colour.
    int CountColor(COLORREF color, int x0, int y0, int x1, int y1) const;
    // Copies what a window shows on the screen, its client area at (0, 0).
    void CaptureClient(HWND window);

  private:
    int width;
    int height;
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ previous;
    uint32_t* bits = nullptr;
};

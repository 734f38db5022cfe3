// The test canvas.
#include "test_canvas.h"

TestCanvas::TestCanvas(int width, int height) : width(width), height(height) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* memory = nullptr;
    dc = CreateCompatibleDC(nullptr);
    bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &memory, nullptr, 0);
    bits = static_cast<uint32_t*>(memory);
    previous = SelectObject(dc, bitmap);
}

TestCanvas::~TestCanvas() {
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

void TestCanvas::Fill(COLORREF color) {
    HBRUSH brush = CreateSolidBrush(color);
    RECT all = {0, 0, width, height};
    FillRect(dc, &all, brush);
    DeleteObject(brush);
}

COLORREF TestCanvas::Pixel(int x, int y) const {
    GdiFlush();
    const uint32_t value = bits[y * width + x];
    return RGB((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
}

int TestCanvas::CountColor(COLORREF color, int x0, int y0, int x1, int y1) const {
    int found = 0;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            found += Pixel(x, y) == color ? 1 : 0;
        }
    }
    return found;
}

void TestCanvas::CaptureClient(HWND window) {
    HDC screen = GetDC(window);
    BitBlt(dc, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    ReleaseDC(window, screen);
}

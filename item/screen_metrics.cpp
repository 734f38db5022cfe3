// Screen DPI and shape.
#include <windows.h>

#include "dpi_scale.h"
#include "screen_metrics.h"

int LogPixelsX = 0;
int LogPixelsY = 0;

void ReadScreenDpi() {
    if (LogPixelsX != 0) {
        return;
    }
    HDC screen = GetDC(nullptr);
    LogPixelsX = GetDeviceCaps(screen, LOGPIXELSX);
    LogPixelsY = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
}

int ScaleX(int v) {
    return ScaleByDpi(v, LogPixelsX);
}

int ScaleY(int v) {
    return ScaleByDpi(v, LogPixelsY);
}

DialogShape CurrentDialogShape() {
    return ChooseDialogShape(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                             LogPixelsX, LogPixelsY);
}

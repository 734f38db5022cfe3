// The screen's logical DPI, read once per process, and the helpers that
// scale 96-dpi lengths and tell a short screen from a tall one.
#pragma once

extern int LogPixelsX;
extern int LogPixelsY;

// Reads the DPI from the screen once; later calls do nothing.
void ReadScreenDpi();
int ScaleX(int v);
int ScaleY(int v);
// True when the screen is less than ScaleY(320) high (landscape or square).
bool IsShortScreen();

// The screen's logical DPI, read once per process, and the helpers that
// scale 96-dpi lengths and tell which layout the screen's dialogs get.
#pragma once

#include "dialog_shape.h"

extern int LogPixelsX;
extern int LogPixelsY;

// Reads the DPI from the screen once; later calls do nothing.
void ReadScreenDpi();
int ScaleX(int v);
int ScaleY(int v);
// The layout for the screen as it is now.
DialogShape CurrentDialogShape();

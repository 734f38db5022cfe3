// PNG screenshots of the whole screen, modal dialogs on top included.
#pragma once

#include <windows.h>

// Captures the screen and writes it to path as PNG through the platform's
// imaging codecs. Returns the failing HRESULT, or S_OK.
HRESULT SaveScreenShot(const wchar_t* path, int& width, int& height);

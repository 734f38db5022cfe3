// A PNG file decoded with the platform's imaging codecs, for pixel checks.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct Picture {
    int Width = 0;
    int Height = 0;
    std::vector<uint32_t> Pixels; // 0x00RRGGBB, top row first

    COLORREF At(int x, int y) const;
};

// Returns the failing HRESULT, or S_OK with picture filled.
HRESULT LoadPng(const std::wstring& path, Picture& picture);

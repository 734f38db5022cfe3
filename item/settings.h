// The item's nine persisted settings, the tables they index, and their
// transfer between the live record and the item's registry key.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

// Each field is one aligned 32-bit word: the sampler thread reads
// SampleInterval and DisplayMemory while the user-interface thread writes them.
struct Settings {
    std::atomic<int32_t> WindowSize{0};
    std::atomic<int32_t> SampleInterval{0};
    std::atomic<int32_t> BackgroundColor{0};
    std::atomic<int32_t> GridColor{10};
    std::atomic<int32_t> SampleColor{3};
    std::atomic<int32_t> MemoryColor{6};
    std::atomic<int32_t> TextColor{1};
    std::atomic<int32_t> DisplayMode{0};
    std::atomic<int32_t> DisplayMemory{1};
};

extern Settings ItemSettings;
extern int SettingsLoaded;

constexpr int TransparentColor = -1;
constexpr int PaletteSize = 16;
constexpr int SizeCount = 3;
constexpr int IntervalCount = 5;

// Defaults of the list settings, also what the options dialog stores for a
// list left without a selection.
constexpr int DefaultWindowSize = 2;
constexpr int DefaultSampleInterval = 2;
constexpr int DefaultDisplayMode = 0;

extern const COLORREF ColorPalette[PaletteSize];
extern const wchar_t* const SizeNames[SizeCount];
extern const int SizeHeights[SizeCount];
extern const wchar_t* const IntervalNames[IntervalCount];
extern const int IntervalMilliseconds[IntervalCount];
extern const wchar_t* const DisplayModeNames[2];

extern const wchar_t SettingsKey[];

int ReadSettingValue(const wchar_t* name, int defaultValue);
void WriteSettingValue(const wchar_t* name, int value);
void LoadSettings();
void SaveSettings();
void LoadSettingsOnce();

// The live value of a setting when it is valid for that setting, else the
// setting's default. Every table lookup goes through it: a value written from
// outside (a foreign writer of the registry, -1 in a colour that cannot be
// transparent) never indexes past a table.
int SettingOrDefault(std::atomic<int32_t> Settings::*setting);

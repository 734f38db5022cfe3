// The item's nine persisted settings, the tables they index, and their
// transfer between the live record and the item's registry key.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

// Each field is one aligned 32-bit word: the sampler thread reads
// SampleInterval and DisplayMemory while the user-interface thread writes them.
// The values before the first load are set where the record is defined.
struct Settings {
    std::atomic<int32_t> WindowSize;
    std::atomic<int32_t> SampleInterval;
    std::atomic<int32_t> BackgroundColor;
    std::atomic<int32_t> GridColor;
    std::atomic<int32_t> SampleColor;
    std::atomic<int32_t> MemoryColor;
    std::atomic<int32_t> TextColor;
    std::atomic<int32_t> DisplayMode;
    std::atomic<int32_t> DisplayMemory;
};

using SettingMember = std::atomic<int32_t> Settings::*;

extern Settings ItemSettings;
extern int SettingsLoaded;

constexpr int TransparentColor = -1;
constexpr int PaletteSize = 16;
constexpr int SizeCount = 3;
constexpr int IntervalCount = 5;

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

// One persisted field: its registry value, its default and its valid range.
struct SettingField {
    const wchar_t* name;
    SettingMember field;
    int defaultValue;
    int lowest;
    int highest;

    // The value when it is valid for this field, else the default: the one
    // range check, so that a value from outside (a foreign writer of the
    // registry, -1 in a colour that cannot be transparent, a list without a
    // selection) never indexes past a table.
    int OrDefault(int value) const {
        return value >= lowest && value <= highest ? value : defaultValue;
    }
    int Current() const { return OrDefault(ItemSettings.*field); }
};

// The row of a field, found by a search of the nine; a reader that looks a
// field up often keeps the row.
const SettingField& FieldOf(SettingMember setting);

// The live value of a setting when valid, else its default. Every table
// lookup goes through it or a kept row's Current().
inline int SettingOrDefault(SettingMember setting) {
    return FieldOf(setting).Current();
}

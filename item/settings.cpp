// Settings record, its tables and its registry transfer.
#include "settings.h"

#include "device_values.h"

int SettingsLoaded = 0;

const COLORREF ColorPalette[PaletteSize] = {
    0x000000, 0xFFFFFF, 0x0000FF, 0x00FF00, 0xFF0000, 0x00D7FF, 0x00A5FF, 0xFF00FF,
    0x808080, 0x000080, 0x008000, 0x800000, 0x800080, 0x0B86B8, 0xDDA0DD, 0x908070,
};

const wchar_t* const SizeNames[SizeCount] = {L"Small", L"Medium", L"Large"};
const int SizeHeights[SizeCount] = {20, 40, 50};
const wchar_t* const IntervalNames[IntervalCount] = {L"1/4 sec", L"1/2 sec", L"1 sec", L"2 sec",
                                                     L"5 sec"};
const int IntervalMilliseconds[IntervalCount] = {250, 500, 1000, 2000, 5000};
const wchar_t* const DisplayModeNames[2] = {L"Used", L"Free"};

const wchar_t SettingsKey[] = L"Software\\Microsoft\\Today\\Items\\Tovamet";

namespace {

// Load and save order; each field's default and range stand here only.
constexpr SettingField Fields[] = {
    {L"WindowSize", &Settings::WindowSize, 2, 0, SizeCount - 1},
    {L"SampleInterval", &Settings::SampleInterval, 2, 0, IntervalCount - 1},
    {L"BackgroundColor", &Settings::BackgroundColor, 0, TransparentColor, PaletteSize - 1},
    {L"GridColor", &Settings::GridColor, 10, TransparentColor, PaletteSize - 1},
    {L"SampleColor", &Settings::SampleColor, 3, 0, PaletteSize - 1},
    {L"MemoryColor", &Settings::MemoryColor, 6, 0, PaletteSize - 1},
    {L"TextColor", &Settings::TextColor, 1, 0, PaletteSize - 1},
    {L"DisplayMode", &Settings::DisplayMode, 0, 0, 1},
    {L"DisplayMemory", &Settings::DisplayMemory, 1, 0, 1},
};

constexpr int DefaultOf(SettingMember setting) {
    for (const SettingField& f : Fields) {
        if (f.field == setting) {
            return f.defaultValue;
        }
    }
    return 0;
}

HKEY OpenSettingsKey(REGSAM access) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, SettingsKey, 0, KeyAccess(access), &key) !=
        ERROR_SUCCESS) {
        return nullptr;
    }
    return key;
}

} // namespace

// Before the first load the two list choices hold 0 and the rest their
// defaults; built at compile time, so the device runs no constructor for it.
Settings ItemSettings = {0,
                         0,
                         DefaultOf(&Settings::BackgroundColor),
                         DefaultOf(&Settings::GridColor),
                         DefaultOf(&Settings::SampleColor),
                         DefaultOf(&Settings::MemoryColor),
                         DefaultOf(&Settings::TextColor),
                         DefaultOf(&Settings::DisplayMode),
                         DefaultOf(&Settings::DisplayMemory)};

int ReadSettingValue(const wchar_t* name, int defaultValue) {
    HKEY key = OpenSettingsKey(KEY_QUERY_VALUE);
    if (key == nullptr) {
        return defaultValue;
    }
    // Shorter data leaves the missing high bytes zero.
    BYTE data[4] = {0, 0, 0, 0};
    DWORD type = 0;
    DWORD size = sizeof(data);
    int result = defaultValue;
    if (RegQueryValueExW(key, name, nullptr, &type, data, &size) == ERROR_SUCCESS) {
        result = static_cast<int>(
            static_cast<uint32_t>(data[0]) | (static_cast<uint32_t>(data[1]) << 8) |
            (static_cast<uint32_t>(data[2]) << 16) | (static_cast<uint32_t>(data[3]) << 24));
    }
    RegCloseKey(key);
    return result;
}

void WriteSettingValue(const wchar_t* name, int value) {
    HKEY key = OpenSettingsKey(KEY_SET_VALUE);
    if (key == nullptr) {
        return;
    }
    const DWORD data = static_cast<DWORD>(value);
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof(data));
    RegCloseKey(key);
}

void LoadSettings() {
    for (const SettingField& f : Fields) {
        ItemSettings.*f.field = f.OrDefault(ReadSettingValue(f.name, f.defaultValue));
    }
}

void SaveSettings() {
    for (const SettingField& f : Fields) {
        WriteSettingValue(f.name, ItemSettings.*f.field);
    }
}

void LoadSettingsOnce() {
    if (SettingsLoaded == 0) {
        SettingsLoaded = 1;
        LoadSettings();
    }
}

const SettingField& FieldOf(SettingMember setting) {
    for (const SettingField& f : Fields) {
        if (f.field == setting) {
            return f;
        }
    }
    // Every member of the record has its row.
    return Fields[0];
}

// Settings against Wine's registry: defaults, round trips, foreign values.
#include <windows.h>

#include <gtest/gtest.h>

#include "settings.h"
#include "test_registry.h"

namespace {

const wchar_t* const Names[] = {L"WindowSize", L"SampleInterval", L"BackgroundColor",
                                L"GridColor",  L"SampleColor",    L"MemoryColor",
                                L"TextColor",  L"DisplayMode",    L"DisplayMemory"};
const int Defaults[] = {2, 2, 0, 10, 3, 6, 1, 0, 1};

int Field(int i) {
    std::atomic<int32_t>* fields[] = {
        &ItemSettings.WindowSize, &ItemSettings.SampleInterval, &ItemSettings.BackgroundColor,
        &ItemSettings.GridColor,  &ItemSettings.SampleColor,    &ItemSettings.MemoryColor,
        &ItemSettings.TextColor,  &ItemSettings.DisplayMode,    &ItemSettings.DisplayMemory};
    return *fields[i];
}

void FillLiveRecord(int value) {
    ItemSettings.WindowSize = value;
    ItemSettings.SampleInterval = value;
    ItemSettings.BackgroundColor = value;
    ItemSettings.GridColor = value;
    ItemSettings.SampleColor = value;
    ItemSettings.MemoryColor = value;
    ItemSettings.TextColor = value;
    ItemSettings.DisplayMode = value;
    ItemSettings.DisplayMemory = value;
}

void ExpectDefaults(const char* why) {
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(Defaults[i], Field(i)) << "field " << i << ": " << why;
    }
}

class SettingsTest : public testing::Test {
  protected:
    void SetUp() override {
        DeleteItemKey();
        FillLiveRecord(1);
    }
    void TearDown() override { DeleteItemKey(); }
};

TEST_F(SettingsTest, TablesHoldTheDocumentedValues) {
    EXPECT_EQ(0x000000u, ColorPalette[0]);
    EXPECT_EQ(0x0000FFu, ColorPalette[2]) << "red in 0x00BBGGRR";
    EXPECT_EQ(0x00A5FFu, ColorPalette[6]) << "orange";
    EXPECT_EQ(0x008000u, ColorPalette[10]) << "dark green";
    EXPECT_EQ(0x908070u, ColorPalette[15]);
    EXPECT_EQ(50, SizeHeights[2]);
    EXPECT_STREQ(L"Medium", SizeNames[1]);
    EXPECT_STREQ(L"1/4 sec", IntervalNames[0]);
    EXPECT_EQ(5000, IntervalMilliseconds[4]);
}

TEST_F(SettingsTest, MissingKeyLoadsDefaultsAndWritesNothing) {
    LoadSettings();
    ExpectDefaults("missing key");
    WriteSettingValue(L"WindowSize", 1);
    HKEY key = nullptr;
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, SettingsKey, 0, KEY_READ, &key))
        << "the item must never create its key";
    EXPECT_EQ(7, ReadSettingValue(L"WindowSize", 7));
}

TEST_F(SettingsTest, EmptyKeyLoadsDefaults) {
    CreateItemKey();
    LoadSettings();
    ExpectDefaults("empty key");
}

TEST_F(SettingsTest, SaveThenLoadRoundTripsAllNineIncludingTransparent) {
    CreateItemKey();
    ItemSettings.WindowSize = 0;
    ItemSettings.SampleInterval = 4;
    ItemSettings.BackgroundColor = TransparentColor;
    ItemSettings.GridColor = TransparentColor;
    ItemSettings.SampleColor = 15;
    ItemSettings.MemoryColor = 0;
    ItemSettings.TextColor = 9;
    ItemSettings.DisplayMode = 1;
    ItemSettings.DisplayMemory = 0;
    SaveSettings();
    EXPECT_EQ(0xFFFFFFFFu, StoredDword(L"BackgroundColor", 0)) << "-1 is stored as 0xFFFFFFFF";
    EXPECT_EQ(0xFFFFFFFFu, StoredDword(L"GridColor", 0));
    FillLiveRecord(1);
    LoadSettings();
    const int expected[] = {0, 4, -1, -1, 15, 0, 9, 1, 0};
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(expected[i], Field(i)) << "field " << i;
    }
}

TEST_F(SettingsTest, SaveLeavesOtherValuesOfTheKeyAlone) {
    CreateItemKey();
    StoreDword(L"Order", 42);
    LoadSettings();
    SaveSettings();
    EXPECT_EQ(42u, StoredDword(L"Order", 0));
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(static_cast<DWORD>(Defaults[i]), StoredDword(Names[i], 0xDEADBEEF))
            << "field " << i;
    }
}

TEST_F(SettingsTest, ForeignTypesAndSizes) {
    CreateItemKey();
    // Four bytes of another type are taken as the integer.
    const BYTE binary4[] = {1, 0, 0, 0};
    StoreRawValue(L"WindowSize", REG_BINARY, binary4, 4);
    // More than four bytes gives the default.
    const wchar_t text[] = L"Large";
    StoreRawValue(L"SampleInterval", REG_SZ, text, sizeof(text));
    const BYTE binary8[] = {1, 0, 0, 0, 0, 0, 0, 0};
    StoreRawValue(L"SampleColor", REG_BINARY, binary8, 8);
    // Fewer bytes: the missing high bytes are zero.
    const BYTE binary1[] = {5};
    StoreRawValue(L"TextColor", REG_BINARY, binary1, 1);
    const BYTE binary2[] = {0x0C, 0x00};
    StoreRawValue(L"MemoryColor", REG_BINARY, binary2, 2);
    LoadSettings();
    EXPECT_EQ(1, ItemSettings.WindowSize);
    EXPECT_EQ(2, ItemSettings.SampleInterval) << "a string is too long: default";
    EXPECT_EQ(3, ItemSettings.SampleColor) << "eight bytes: default";
    EXPECT_EQ(5, ItemSettings.TextColor);
    EXPECT_EQ(12, ItemSettings.MemoryColor);
}

TEST_F(SettingsTest, OutOfRangeValuesLoadAsTheirDefaults) {
    CreateItemKey();
    StoreDword(L"WindowSize", 3);
    StoreDword(L"SampleInterval", 7);
    StoreDword(L"BackgroundColor", 16);
    StoreDword(L"GridColor", 0xFFFFFFFE);
    StoreDword(L"SampleColor", 0xFFFFFFFF);
    StoreDword(L"MemoryColor", 0xFFFFFFFF);
    StoreDword(L"TextColor", 255);
    StoreDword(L"DisplayMode", 2);
    StoreDword(L"DisplayMemory", 0x80000000);
    LoadSettings();
    ExpectDefaults("every value out of range");

    StoreDword(L"BackgroundColor", 0xFFFFFFFF);
    StoreDword(L"GridColor", 15);
    LoadSettings();
    EXPECT_EQ(-1, ItemSettings.BackgroundColor) << "transparent is in range for the background";
    EXPECT_EQ(15, ItemSettings.GridColor);
}

TEST_F(SettingsTest, LoadOnceLoadsOnlyTheFirstTime) {
    CreateItemKey();
    StoreDword(L"WindowSize", 1);
    LoadSettings();
    EXPECT_EQ(0, SettingsLoaded) << "a plain load does not set the flag";
    LoadSettingsOnce();
    EXPECT_EQ(1, SettingsLoaded);
    EXPECT_EQ(1, ItemSettings.WindowSize);
    StoreDword(L"WindowSize", 0);
    LoadSettingsOnce();
    EXPECT_EQ(1, ItemSettings.WindowSize) << "the second call must not read again";
}

} // namespace

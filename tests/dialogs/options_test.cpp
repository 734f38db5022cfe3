// The options dialog driven as a user would, opened by a tap on the item: what
// it shows, what OK stores and reports to the host, what Cancel undoes, the
// swatches as painted, a missing registry key, the memory switch and the
// template for the screen's shape.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "color_picker.h"
#include "dialog_driver.h"
#include "histories.h"
#include "history_count.h"
#include "item_state.h"
#include "item_window.h"
#include "picker_grid.h"
#include "resource.h"
#include "screen_metrics.h"
#include "screen_orientation.h"
#include "settings.h"
#include "test_canvas.h"
#include "test_host_window.h"
#include "test_registry.h"

namespace {

const DWORD Absent = 0xDEADBEEF;
const int ItemWidth = 120;

// The rows of the options dialog in the order the settings name them.
enum Row { Background, Grid, Cpu, Memory, Text, RowCount };

const char* const RowNames[RowCount] = {"background", "grid", "CPU", "memory", "text"};
const int RowButtons[RowCount] = {IDC_EDIT_BACKGROUND, IDC_EDIT_GRID, IDC_EDIT_CPU, IDC_EDIT_MEMORY,
                                  IDC_EDIT_TEXT};
std::atomic<int32_t> Settings::*const RowSettings[RowCount] = {
    &Settings::BackgroundColor, &Settings::GridColor, &Settings::SampleColor,
    &Settings::MemoryColor, &Settings::TextColor};
// Red, green, blue, magenta and orange: apart from each other, the frames and
// the dialog, so that each swatch can be found by its colour.
const int MarkerColors[RowCount] = {2, 3, 4, 7, 6};

// Swatch k of the colour picker on this screen.
RECT PickerSwatchRect(int k) {
    const PixelBox s =
        PickerSwatchBox(PickerGridFor(CurrentDialogShape(), LogPixelsX, LogPixelsY), k);
    return {s.left, s.top, s.right, s.bottom};
}

DialogStep Choose(int list, int index) {
    return
        [list, index](HWND dialog) { SendDlgItemMessageW(dialog, list, CB_SETCURSEL, index, 0); };
}

DialogStep TapPickerSwatch(int k) {
    return [k](HWND dialog) {
        const RECT at = PickerSwatchRect(k);
        TapAt(dialog, (at.left + at.right) / 2, (at.top + at.bottom) / 2);
    };
}

std::wstring WindowText(HWND window) {
    wchar_t text[64] = L"";
    GetWindowTextW(window, text, 64);
    return text;
}

std::vector<std::wstring> ListEntries(HWND dialog, int list) {
    std::vector<std::wstring> entries;
    const LRESULT count = SendDlgItemMessageW(dialog, list, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t entry[32] = L"";
        SendDlgItemMessageW(dialog, list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(entry));
        entries.push_back(entry);
    }
    return entries;
}

int Selection(HWND dialog, int list) {
    return static_cast<int>(SendDlgItemMessageW(dialog, list, CB_GETCURSEL, 0, 0));
}

bool Checked(HWND dialog) {
    return SendDlgItemMessageW(dialog, IDC_DISPLAY_MEMORY, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// The item as the Today host shows it, tapped to open its options.
class OptionsTest : public testing::Test {
  protected:
    void SetUp() override {
        DeleteItemKey();
        CreateItemKey();
        StoreDword(L"SampleInterval", 0);
    }
    void TearDown() override {
        RestoreScreenMode();
        if (item != nullptr) {
            SendMessageW(item, WM_SIZE, 0, 0);
            DestroyWindow(item);
        }
        DeleteItemKey();
    }

    // Creates and places the item from what is stored now, and answers the
    // host's first refresh query as the host would.
    void OpenItem() {
        TODAYLISTITEM record = {};
        record.fEnabled = TRUE;
        record.hinstDLL = GetModuleHandleW(nullptr);
        item = InitializeCustomItem(&record, host.Handle());
        ASSERT_NE(nullptr, item);
        MoveWindow(item, 0, 0, ItemWidth, ScaleY(50), TRUE);
        UpdateWindow(item);
        DWORD cyp = 0;
        ASSERT_EQ(TRUE, Query(cyp)) << "the entry's height report";
    }

    // Taps the item, which runs the options dialog with the steps in it.
    void Tap(std::vector<DialogStep> steps) {
        DialogDriver driver(std::move(steps));
        EXPECT_EQ(0, SendMessageW(item, WM_LBUTTONUP, 0, MAKELPARAM(5, 5)));
        EXPECT_TRUE(driver.Finished()) << "every step ran";
        EXPECT_EQ(0, driver.ForcedEnds()) << "the dialogs ended by their own steps";
    }

    BOOL Query(DWORD& cyp) {
        TODAYLISTITEM record = {};
        record.cyp = Absent;
        const LRESULT answer = SendMessageW(item, WM_TODAYCUSTOM_QUERYREFRESHCACHE,
                                            reinterpret_cast<WPARAM>(&record), 0);
        cyp = record.cyp;
        return static_cast<BOOL>(answer);
    }

    void Capture(TestCanvas& shown) {
        InvalidateRect(item, nullptr, FALSE);
        UpdateWindow(item);
        shown.CaptureClient(item);
    }

    TestHostWindow host;
    HWND item = nullptr;
};

// Checks every pixel of a swatch: black on the outermost ring, the expected
// colour inside.
template <typename Inside>
void ExpectSwatch(const TestCanvas& shown, const RECT& place, Inside inside, const char* what) {
    int wrong = 0;
    POINT first = {-1, -1};
    COLORREF got = 0, expected = 0;
    for (int y = place.top; y < place.bottom; ++y) {
        for (int x = place.left; x < place.right; ++x) {
            const bool ring =
                x == place.left || y == place.top || x == place.right - 1 || y == place.bottom - 1;
            const COLORREF want = ring ? RGB(0, 0, 0) : inside(x, y);
            if (shown.Pixel(x, y) != want && wrong++ == 0) {
                first = {x, y};
                got = shown.Pixel(x, y);
                expected = want;
            }
        }
    }
    EXPECT_EQ(0, wrong) << what << ": first at " << first.x << "," << first.y << " got 0x"
                        << std::hex << got << " expected 0x" << expected;
}

// The places of the dialog's visible controls, the unnamed labels included.
std::vector<RECT> ControlRects(HWND dialog) {
    std::vector<RECT> controls;
    for (HWND c = GetWindow(dialog, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
        if (IsWindowVisible(c)) {
            controls.push_back(ControlRect(dialog, c));
        }
    }
    return controls;
}

// Paints the dialog with these colours in the five settings and captures it.
void CaptureWith(HWND dialog, const int (&colors)[RowCount], TestCanvas& shown) {
    for (int row = 0; row < RowCount; ++row) {
        ItemSettings.*RowSettings[row] = colors[row];
    }
    Capture(dialog, shown);
}

// Checks "Transparent" or "T" within a frame: the frame black, text inside,
// and none of it on the pixels next to the frame, where a cut word would
// reach. Whatever differs from the text's background counts as text, so
// that smoothed and plain text are judged alike.
void ExpectWordInside(const TestCanvas& shown, const RECT& frame, const char* what) {
    ExpectSwatch(
        shown, frame, [&](int x, int y) { return shown.Pixel(x, y); }, what);
    const COLORREF cell = shown.Pixel(frame.left + 1, frame.top + 1);
    const COLORREF below = shown.Pixel(frame.left + 1, frame.bottom - 2);
    int inside = 0, edge = 0;
    for (int y = frame.top + 1; y < frame.bottom - 1; ++y) {
        for (int x = frame.left + 1; x < frame.right - 1; ++x) {
            const COLORREF c = shown.Pixel(x, y);
            if (c != cell && c != below) {
                const bool atEdge = x == frame.left + 1 || x == frame.right - 2 ||
                                    y == frame.top + 1 || y == frame.bottom - 2;
                (atEdge ? edge : inside) += 1;
            }
        }
    }
    EXPECT_GT(inside, 0) << what << ": text shown";
    EXPECT_EQ(0, edge) << what << ": text reaches the frame of " << frame.left << "," << frame.top
                       << "-" << frame.right << "," << frame.bottom;
}

// Checks the five swatches where they are painted. Each is found by a marker
// colour of its own; it must show whole as a solid fill in a black frame,
// centred on its row's "Edit" button vertically, left of that button and
// clear of every control. Then the transparent background and grid must show
// their word inside the frame, and with the live settings back every swatch
// their colour or word. The frames found go to `found`, when given.
void ExpectSwatches(HWND dialog, std::vector<RECT>* found = nullptr) {
    RECT client;
    GetClientRect(dialog, &client);
    const int width = client.right, height = client.bottom;
    const std::vector<RECT> controls = ControlRects(dialog);
    int live[RowCount];
    for (int row = 0; row < RowCount; ++row) {
        live[row] = ItemSettings.*RowSettings[row];
    }
    // All captures first, so that the live settings are back before any check.
    TestCanvas marked(width, height), words(width, height), shown(width, height);
    CaptureWith(dialog, MarkerColors, marked);
    const int transparent[RowCount] = {TransparentColor, TransparentColor, MarkerColors[Cpu],
                                       MarkerColors[Memory], MarkerColors[Text]};
    CaptureWith(dialog, transparent, words);
    CaptureWith(dialog, live, shown);

    RECT frames[RowCount];
    for (RECT& f : frames) {
        f = {width, height, -1, -1};
    }
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const POINT at = {x, y};
            bool onControl = false;
            for (const RECT& c : controls) {
                onControl = onControl || PtInRect(&c, at);
            }
            for (int row = 0; row < RowCount && !onControl; ++row) {
                if (marked.Pixel(x, y) == ColorPalette[MarkerColors[row]]) {
                    RECT& f = frames[row];
                    f = {std::min<LONG>(f.left, x - 1), std::min<LONG>(f.top, y - 1),
                         std::max<LONG>(f.right, x + 2), std::max<LONG>(f.bottom, y + 2)};
                }
            }
        }
    }
    for (int row = 0; row < RowCount; ++row) {
        const RECT& f = frames[row];
        const char* const name = RowNames[row];
        ASSERT_LT(f.left, f.right) << name << " swatch not found outside the controls";
        ASSERT_TRUE(f.left >= 0 && f.top >= 0 && f.right <= width && f.bottom <= height)
            << name << " swatch within the dialog";
        const COLORREF fill = ColorPalette[MarkerColors[row]];
        ExpectSwatch(
            marked, f, [fill](int, int) { return fill; }, name);
        // The layout's size, or a little narrower where a tall row has less room.
        const int wanted = ScaleX(CurrentDialogShape() == DialogShape::Short ? 15 : 70);
        EXPECT_TRUE(f.right - f.left <= wanted && f.right - f.left >= wanted * 9 / 10)
            << name << " width " << f.right - f.left << " for " << wanted;
        EXPECT_EQ(ScaleY(15), f.bottom - f.top) << name << " height";
        const RECT button = ControlRect(dialog, RowButtons[row]);
        const int centre = (f.top + f.bottom) / 2;
        EXPECT_TRUE(centre >= button.top && centre < button.bottom)
            << name << ": centre y " << centre << ", Edit " << button.top << "-" << button.bottom;
        EXPECT_LE(f.right, button.left) << name << " left of its Edit";
        for (const RECT& c : controls) {
            RECT overlap;
            EXPECT_FALSE(IntersectRect(&overlap, &f, &c))
                << name << " at " << f.left << "," << f.top << "-" << f.right << "," << f.bottom
                << " overlaps the control at " << c.left << "," << c.top << "-" << c.right << ","
                << c.bottom;
        }
    }

    if (found != nullptr) {
        found->assign(frames, frames + RowCount);
    }
    ExpectWordInside(words, frames[Background], "transparent background");
    ExpectWordInside(words, frames[Grid], "transparent grid");
    for (int row = 0; row < RowCount; ++row) {
        if (live[row] == TransparentColor) {
            ExpectWordInside(shown, frames[row], RowNames[row]);
        } else {
            const COLORREF fill = ColorPalette[live[row]];
            ExpectSwatch(
                shown, frames[row], [fill](int, int) { return fill; }, RowNames[row]);
        }
    }
}

TEST_F(OptionsTest, OpensWithTheStoredValuesInTableOrder) {
    struct Case {
        const char* what;
        std::vector<std::pair<const wchar_t*, DWORD>> stored;
        int size, interval, mode;
        bool memory;
        int reported; // the height the query reports after Cancel, 0 for none
    };
    const Case cases[] = {
        {"an empty key: the defaults", {}, 2, 2, 0, true, 0},
        {"stored values",
         {{L"WindowSize", 0}, {L"SampleInterval", 4}, {L"DisplayMode", 1}, {L"DisplayMemory", 0}},
         0,
         4,
         1,
         false,
         20},
    };
    OpenItem();
    for (const Case& c : cases) {
        DeleteItemKey();
        CreateItemKey();
        for (const auto& value : c.stored) {
            StoreDword(value.first, value.second);
        }
        // An unsaved change in memory, which the dialog drops.
        ItemSettings.WindowSize = 1;
        ItemSettings.DisplayMemory = c.memory ? 0 : 1;
        Tap({[&](HWND d) {
                 EXPECT_EQ(L"Tovamet Settings", WindowText(d)) << c.what;
                 EXPECT_EQ(L"Tovamet V2.1", WindowText(GetDlgItem(d, IDC_VERSION)));
                 EXPECT_NE(0, SendDlgItemMessageW(d, IDC_ITEM_ICON, STM_GETICON, 0, 0))
                     << "the item's icon";
                 const std::vector<std::wstring> sizes = {L"Small", L"Medium", L"Large"};
                 const std::vector<std::wstring> intervals = {L"1/4 sec", L"1/2 sec", L"1 sec",
                                                              L"2 sec", L"5 sec"};
                 const std::vector<std::wstring> modes = {L"Used", L"Free"};
                 EXPECT_EQ(sizes, ListEntries(d, IDC_WINDOW_SIZE));
                 EXPECT_EQ(intervals, ListEntries(d, IDC_INTERVAL));
                 EXPECT_EQ(modes, ListEntries(d, IDC_DISPLAY_MODE));
                 EXPECT_EQ(c.size, Selection(d, IDC_WINDOW_SIZE)) << c.what;
                 EXPECT_EQ(c.interval, Selection(d, IDC_INTERVAL)) << c.what;
                 EXPECT_EQ(c.mode, Selection(d, IDC_DISPLAY_MODE)) << c.what;
                 EXPECT_EQ(c.memory, Checked(d)) << c.what;
             },
             Click(IDCANCEL)});
        DWORD cyp = 0;
        EXPECT_EQ(c.reported != 0, Query(cyp) != FALSE) << c.what;
        EXPECT_EQ(c.reported != 0 ? static_cast<DWORD>(ScaleY(c.reported)) : Absent, cyp);
    }
}

TEST_F(OptionsTest, EditButtonsPickTheirRowsAndOkStoresAllNine) {
    struct Pick {
        int button;
        const wchar_t* title;
        int allowsTransparent;
        std::atomic<int32_t> Settings::*setting;
        const wchar_t* name;
        int stored;
        int chosen;
    };
    // An empty key: every setting starts from its default.
    DeleteItemKey();
    CreateItemKey();
    const Pick picks[] = {
        {IDC_EDIT_BACKGROUND, L"Background Color", 1, &Settings::BackgroundColor,
         L"BackgroundColor", 0, 12},
        {IDC_EDIT_GRID, L"Grid Color", 1, &Settings::GridColor, L"GridColor", 10, 13},
        {IDC_EDIT_CPU, L"CPU Color", 0, &Settings::SampleColor, L"SampleColor", 3, 14},
        {IDC_EDIT_TEXT, L"Text Color", 0, &Settings::TextColor, L"TextColor", 1, 15},
        {IDC_EDIT_MEMORY, L"Memory Color", 0, &Settings::MemoryColor, L"MemoryColor", 6, 9},
    };
    OpenItem();
    std::vector<DialogStep> steps;
    for (const Pick& p : picks) {
        steps.push_back(Click(p.button));
        steps.push_back([&p](HWND picker) {
            EXPECT_EQ(L"Tovamet Color Settings", WindowText(picker)) << "the picker is on top";
            EXPECT_STREQ(p.title, PickerTitle);
            EXPECT_EQ(p.allowsTransparent, PickerAllowsTransparent) << p.name;
            EXPECT_EQ(p.allowsTransparent != 0,
                      IsWindowVisible(GetDlgItem(picker, IDC_TRANSPARENT)) != FALSE)
                << p.name;
            EXPECT_EQ(p.stored, PickerColorIndex) << p.name << " hands over its colour";
        });
        steps.push_back(TapPickerSwatch(p.chosen));
        steps.push_back(Click(IDOK));
        steps.push_back([&p](HWND dialog) {
            EXPECT_EQ(L"Tovamet Settings", WindowText(dialog));
            EXPECT_EQ(p.chosen, (ItemSettings.*p.setting).load()) << p.name << " taken at once";
            EXPECT_EQ(Absent, StoredDword(p.name, Absent)) << "nothing stored before OK";
        });
    }
    steps.push_back(Choose(IDC_WINDOW_SIZE, 0));
    steps.push_back(Choose(IDC_INTERVAL, 3));
    steps.push_back(Choose(IDC_DISPLAY_MODE, 1));
    steps.push_back(Click(IDC_DISPLAY_MEMORY));
    steps.push_back(Click(IDOK));
    Tap(std::move(steps));

    const std::pair<const wchar_t*, DWORD> stored[] = {
        {L"WindowSize", 0}, {L"SampleInterval", 3}, {L"BackgroundColor", 12},
        {L"GridColor", 13}, {L"SampleColor", 14},   {L"MemoryColor", 9},
        {L"TextColor", 15}, {L"DisplayMode", 1},    {L"DisplayMemory", 0},
    };
    for (const auto& value : stored) {
        EXPECT_EQ(value.second, StoredDword(value.first, Absent)) << "stored " << value.first;
    }
    DWORD cyp = 0;
    EXPECT_EQ(TRUE, Query(cyp)) << "the new height is reported";
    EXPECT_EQ(static_cast<DWORD>(ScaleY(20)), cyp) << "Small";
    EXPECT_EQ(FALSE, Query(cyp)) << "and only once";
    EXPECT_EQ(Absent, cyp) << "left untouched";

    Tap({Click(IDOK)});
    EXPECT_EQ(TRUE, Query(cyp)) << "OK with the same size reports it again";
    EXPECT_EQ(static_cast<DWORD>(ScaleY(20)), cyp);
    EXPECT_EQ(FALSE, Query(cyp));
}

TEST_F(OptionsTest, CancelUndoesAPickAndPickerCancelKeepsTheSetting) {
    StoreDword(L"SampleColor", 3);
    StoreDword(L"GridColor", 0xFFFFFFFF);
    StoreDword(L"DisplayMemory", 0);
    OpenItem();
    ASSERT_TRUE(PumpUntil([] { return CpuCount() >= 3; }, 10000)) << "a trace to look at";
    Tap({Click(IDC_EDIT_CPU), TapPickerSwatch(7), Click(IDOK),
         [](HWND dialog) {
             EXPECT_EQ(7, ItemSettings.SampleColor.load()) << "picked in memory";
             // What the screen shows once the dialog has had its due paints,
             // none forced by the test.
             UpdateWindow(dialog);
             RECT client;
             GetClientRect(dialog, &client);
             TestCanvas seen(client.right, client.bottom);
             seen.CaptureClient(dialog);
             EXPECT_GT(seen.CountColor(ColorPalette[7], 0, 0, client.right, client.bottom),
                       ScaleX(10))
                 << "the picked colour shows in its swatch after the picker closed";
             ExpectSwatches(dialog);
         },
         Click(IDC_EDIT_GRID), TapPickerSwatch(4), Click(IDCANCEL),
         [](HWND) {
             EXPECT_EQ(TransparentColor, ItemSettings.GridColor.load())
                 << "a cancelled picker changes nothing";
         },
         Click(IDCANCEL)});
    EXPECT_EQ(3, ItemSettings.SampleColor.load()) << "the stored colour is back";
    EXPECT_EQ(3u, StoredDword(L"SampleColor", Absent));
    DWORD cyp = 0;
    EXPECT_EQ(FALSE, Query(cyp)) << "Cancel reports no height";

    TestCanvas shown(ItemWidth, ScaleY(50));
    Capture(shown);
    const int width = shown.Width(), height = shown.Height();
    EXPECT_GT(shown.CountColor(ColorPalette[3], 0, 0, width, height), 0) << "stored trace colour";
    EXPECT_EQ(0, shown.CountColor(ColorPalette[7], 0, 0, width, height)) << "no picked colour";
}

TEST_F(OptionsTest, SwatchesShowTheirColoursOrTransparent) {
    struct Case {
        DWORD background, grid, cpu, memory, text;
    };
    const Case cases[] = {{0xFFFFFFFF, 12, 2, 9, 14}, {4, 0xFFFFFFFF, 5, 13, 8}};
    OpenItem();
    for (const Case& c : cases) {
        StoreDword(L"BackgroundColor", c.background);
        StoreDword(L"GridColor", c.grid);
        StoreDword(L"SampleColor", c.cpu);
        StoreDword(L"MemoryColor", c.memory);
        StoreDword(L"TextColor", c.text);
        Tap({[](HWND d) { ExpectSwatches(d); }, Click(IDCANCEL)});
    }
}

TEST_F(OptionsTest, OkWithoutTheKeyKeepsTheChoiceInMemoryOnly) {
    DeleteItemKey();
    OpenItem();
    Tap({Choose(IDC_WINDOW_SIZE, 1), Click(IDC_EDIT_BACKGROUND), TapPickerSwatch(5), Click(IDOK),
         Click(IDOK)});
    EXPECT_FALSE(KeyExists(SettingsKey)) << "the item never creates its key";
    EXPECT_EQ(1, ItemSettings.WindowSize.load()) << "the choice stays in memory";
    EXPECT_EQ(5, ItemSettings.BackgroundColor.load());
    DWORD cyp = 0;
    EXPECT_EQ(TRUE, Query(cyp));
    EXPECT_EQ(static_cast<DWORD>(ScaleY(40)), cyp) << "Medium";
    TestCanvas shown(ItemWidth, ScaleY(40));
    Capture(shown);
    // The default grid and the running traces cross any one pixel now and
    // then; the background is whatever fills most of the item.
    const int area = shown.Width() * shown.Height();
    EXPECT_GT(shown.CountColor(ColorPalette[5], 0, 0, shown.Width(), shown.Height()), area / 2)
        << "the item shows the choice";

    Tap({[](HWND dialog) {
             EXPECT_EQ(2, Selection(dialog, IDC_WINDOW_SIZE)) << "the defaults again";
             EXPECT_EQ(0, ItemSettings.BackgroundColor.load());
             ExpectSwatches(dialog);
         },
         Click(IDCANCEL)});
    EXPECT_EQ(2, ItemSettings.WindowSize.load());
    EXPECT_EQ(0, ItemSettings.BackgroundColor.load());
}

// The sampler is stopped and the histories hold made-up loads, so that the
// two traces lie apart: the machine's real memory load is near zero, where
// the processor trace would cover it.
TEST_F(OptionsTest, UncheckingMemoryStopsTheMemoryTrace) {
    StoreDword(L"GridColor", 0xFFFFFFFF);
    StoreDword(L"MemoryColor", 7);
    StoreDword(L"DisplayMemory", 1);
    OpenItem();
    ASSERT_TRUE(PumpUntil([] { return CpuCount() >= 1; }, 10000));
    SendMessageW(item, WM_CLOSE, 0, 0);
    {
        ScopedLock guard(HistoryLock);
        for (int i = 0; i <= ItemWidth; ++i) {
            CpuHistory->Push(10);
            MemoryHistory->Push(60);
        }
    }
    TestCanvas shown(ItemWidth, ScaleY(50));
    const int width = shown.Width(), height = shown.Height();
    Capture(shown);
    ASSERT_GT(shown.CountColor(ColorPalette[7], 0, 0, width, height), ItemWidth / 2)
        << "a memory trace";

    Tap({[](HWND dialog) { EXPECT_TRUE(Checked(dialog)); }, Click(IDC_DISPLAY_MEMORY),
         [](HWND dialog) {
             EXPECT_FALSE(Checked(dialog));
             EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_EDIT_MEMORY)))
                 << "the row's Edit button stays usable";
             ExpectSwatches(dialog);
         },
         Click(IDOK)});
    EXPECT_EQ(0u, StoredDword(L"DisplayMemory", Absent));
    EXPECT_EQ(0, ItemSettings.DisplayMemory.load());
    Capture(shown);
    EXPECT_EQ(0, shown.CountColor(ColorPalette[7], 0, 0, width, height)) << "no memory trace";
    EXPECT_GT(shown.CountColor(ColorPalette[3], 0, 0, width, height), ItemWidth / 2)
        << "the CPU trace";
}

TEST_F(OptionsTest, ListsWithoutASelectionStoreTheDefaults) {
    StoreDword(L"WindowSize", 0);
    StoreDword(L"SampleInterval", 4);
    StoreDword(L"DisplayMode", 1);
    OpenItem();
    Tap({Choose(IDC_WINDOW_SIZE, -1), Choose(IDC_INTERVAL, -1), Choose(IDC_DISPLAY_MODE, -1),
         [](HWND dialog) {
             EXPECT_EQ(CB_ERR, Selection(dialog, IDC_WINDOW_SIZE));
             EXPECT_EQ(CB_ERR, Selection(dialog, IDC_INTERVAL));
             EXPECT_EQ(CB_ERR, Selection(dialog, IDC_DISPLAY_MODE));
         },
         Click(IDOK)});
    EXPECT_EQ(2u, StoredDword(L"WindowSize", Absent));
    EXPECT_EQ(2u, StoredDword(L"SampleInterval", Absent));
    EXPECT_EQ(0u, StoredDword(L"DisplayMode", Absent));
    DWORD cyp = 0;
    EXPECT_EQ(TRUE, Query(cyp));
    EXPECT_EQ(static_cast<DWORD>(ScaleY(50)), cyp);
}

// The screen turns while the dialog from the tall template is open: the
// controls keep their places, and the swatches, drawn in the short layout's
// size from then on, stay in their rows.
TEST_F(OptionsTest, SwatchesFollowTheirRowsWhenTheScreenTurns) {
    ReadScreenDpi();
    if (CurrentDialogShape() != DialogShape::Tall ||
        ChooseDialogShape(GetSystemMetrics(SM_CYSCREEN), GetSystemMetrics(SM_CXSCREEN), LogPixelsX,
                          LogPixelsY) == DialogShape::Tall) {
        GTEST_SKIP() << "starts from a tall screen that turns short";
    }
    OpenItem();
    Tap({[](HWND dialog) {
             const RECT before = ControlRect(dialog, IDC_EDIT_GRID);
             ASSERT_EQ(DISP_CHANGE_SUCCESSFUL, TurnToLandscape());
             ASSERT_NE(DialogShape::Tall, CurrentDialogShape())
                 << GetSystemMetrics(SM_CXSCREEN) << "x" << GetSystemMetrics(SM_CYSCREEN);
             const RECT after = ControlRect(dialog, IDC_EDIT_GRID);
             EXPECT_TRUE(EqualRect(&before, &after)) << "the grid's Edit stays";
             ExpectSwatches(dialog);
         },
         Click(IDCANCEL)});
}

// The extent of a text in the control's font.
SIZE TextSize(HWND control, const std::wstring& text) {
    HDC surface = GetDC(control);
    HGDIOBJ previous =
        SelectObject(surface, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
    SIZE size = {0, 0};
    GetTextExtentPoint32W(surface, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(surface, previous);
    ReleaseDC(control, surface);
    return size;
}

// The shell's bar, a window the dialog owns, holds OK on the device.
BOOL CALLBACK FindShellOk(HWND window, LPARAM search) {
    auto& found = *reinterpret_cast<std::pair<HWND, HWND>*>(search);
    if (GetWindow(window, GW_OWNER) == found.first) {
        found.second = GetDlgItem(window, IDOK);
    }
    return found.second == nullptr ? TRUE : FALSE;
}

// The shell's OK control: inside the dialog or the shell's bar above it, in
// the dialog's font, and wide and high enough for its text within its edges.
void ExpectOkControlReadable(HWND dialog) {
    std::pair<HWND, HWND> search = {dialog, GetDlgItem(dialog, IDOK)};
    if (search.second == nullptr) {
        EnumThreadWindows(GetCurrentThreadId(), FindShellOk, reinterpret_cast<LPARAM>(&search));
    }
    const HWND ok = search.second;
    ASSERT_NE(nullptr, ok);
    EXPECT_EQ(L"OK", WindowText(ok));
    const RECT place = ControlRect(GetParent(ok), ok);
    RECT client;
    GetClientRect(GetParent(ok), &client);
    RECT within;
    IntersectRect(&within, &place, &client);
    EXPECT_TRUE(EqualRect(&within, &place))
        << "OK at " << place.left << "," << place.top << "-" << place.right << "," << place.bottom
        << " in a client area " << client.right << " wide";
    const LRESULT font = SendMessageW(dialog, WM_GETFONT, 0, 0);
    EXPECT_EQ(font, SendMessageW(ok, WM_GETFONT, 0, 0)) << "the dialog's font";
    const SIZE text = TextSize(ok, L"OK");
    EXPECT_LE(text.cx + 4 * GetSystemMetrics(SM_CXEDGE), place.right - place.left) << "OK's width";
    EXPECT_LE(text.cy + 2 * GetSystemMetrics(SM_CYEDGE), place.bottom - place.top) << "OK's height";
}

std::string Describe(const std::string& name, const RECT& r) {
    return name + " at " + std::to_string(r.left) + "," + std::to_string(r.top) + "-" +
           std::to_string(r.right) + "," + std::to_string(r.bottom);
}

// A label's text fits its width: a wrapped label loses its second line below
// the control's height.
void ExpectOneLine(HWND dialog, HWND control) {
    wchar_t kind[16];
    GetClassNameW(control, kind, 16);
    const std::wstring text = WindowText(control);
    if (lstrcmpiW(kind, L"Static") != 0 || text.empty()) {
        return;
    }
    const SIZE size = TextSize(control, text);
    const RECT r = ControlRect(dialog, control);
    EXPECT_LE(size.cx, r.right - r.left)
        << "\"" << text << "\" (" << size.cx << " px) wraps in " << Describe("", r);
}

// Every control and swatch of the dialog (swatches in client coordinates)
// wholly within the area the shell gives the dialog: the screen's width and
// its height below the navigation bar, from the top of the client area, which
// on the device is the bar's bottom, and within the client area and the
// screen. Each is hit by a tap at its centre and clear of every other; the
// shell's own OK is only kept clear.
void ExpectLaidOut(HWND dialog, const std::vector<RECT>& swatches) {
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    POINT origin = {0, 0};
    ClientToScreen(dialog, &origin);
    RECT area = {-origin.x, 0, width - origin.x,
                 std::min<LONG>(height - ScaleY(26), height - origin.y)};
    RECT client;
    GetClientRect(dialog, &client);
    IntersectRect(&area, &area, &client);
    std::vector<std::pair<std::string, RECT>> boxes;
    std::vector<HWND> owners;
    for (HWND c = GetWindow(dialog, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
        if (IsWindowVisible(c)) {
            boxes.push_back({"control " + std::to_string(GetDlgCtrlID(c)), ControlRect(dialog, c)});
            owners.push_back(c);
            ExpectOneLine(dialog, c);
        }
    }
    for (const RECT& swatch : swatches) {
        boxes.push_back({"swatch " + std::to_string(boxes.size() - owners.size()), swatch});
    }
    for (size_t i = 0; i < boxes.size(); ++i) {
        const RECT& r = boxes[i].second;
        const HWND owner = i < owners.size() ? owners[i] : dialog;
        RECT part;
        IntersectRect(&part, &r, &area);
        EXPECT_TRUE(EqualRect(&part, &r) || (owner != dialog && GetDlgCtrlID(owner) == IDOK))
            << Describe(boxes[i].first, r) << " outside " << Describe("", area);
        POINT centre = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        ClientToScreen(dialog, &centre);
        const HWND hit = WindowFromPoint(centre);
        EXPECT_TRUE(hit == owner || hit == dialog) << boxes[i].first << " not hit at its centre";
        for (size_t j = i + 1; j < boxes.size(); ++j) {
            EXPECT_FALSE(IntersectRect(&part, &r, &boxes[j].second))
                << Describe(boxes[i].first, r) << " overlaps "
                << Describe(boxes[j].first, boxes[j].second);
        }
    }
}

// Both dialogs of a tap, the picker opened by the background's "Edit".
TEST_F(OptionsTest, BothDialogsFitTheScreen) {
    OpenItem();
    Tap({[](HWND dialog) {
             std::vector<RECT> swatches;
             ExpectSwatches(dialog, &swatches);
             ExpectLaidOut(dialog, swatches);
         },
         Click(IDC_EDIT_BACKGROUND),
         [](HWND picker) {
             std::vector<RECT> swatches(PaletteSize);
             for (int k = 0; k < PaletteSize; ++k) {
                 swatches[k] = PickerSwatchRect(k);
             }
             ExpectLaidOut(picker, swatches);
         },
         Click(IDCANCEL), Click(IDCANCEL)});
}

// Run on tall, short and square screens: the short template puts the grid
// row's Edit button beside the background's, the tall one below it, the square
// one closer below it; the dialog spans the screen's width down to its bottom,
// and its OK control can be read.
TEST_F(OptionsTest, TapOpensTheTemplateOfTheScreenShape) {
    OpenItem();
    Tap({[](HWND dialog) {
             // The corner: the dialog manager rounds the size on its own.
             const RECT grid = ControlRect(dialog, IDC_EDIT_GRID);
             const RECT places[] = {DialogUnits(dialog, 113, 45, 0, 0),
                                    DialogUnits(dialog, 160, 24, 0, 0),
                                    DialogUnits(dialog, 113, 35, 0, 0)};
             const RECT& place = places[static_cast<int>(CurrentDialogShape())];
             EXPECT_TRUE(grid.left == place.left && grid.top == place.top)
                 << "template " << OptionsTemplateFor(CurrentDialogShape()) << ": grid Edit at "
                 << grid.left << "," << grid.top;
             RECT window;
             GetWindowRect(dialog, &window);
             EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), window.right - window.left) << "full width";
             EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), window.bottom);
             ExpectOkControlReadable(dialog);
         },
         Click(IDCANCEL)});
}

} // namespace

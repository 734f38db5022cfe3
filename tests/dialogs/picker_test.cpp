// The colour picker driven as a user would: taps on swatches, gaps, the title
// band and empty cells, the "Transparent" box, OK and Cancel, and the grid and
// highlight as painted, on the screen this run was given.
#include <windows.h>

#include <gtest/gtest.h>

#include "color_picker.h"
#include "dialog_driver.h"
#include "item_state.h"
#include "modal_dialog.h"
#include "picker_grid.h"
#include "resource.h"
#include "screen_metrics.h"
#include "settings.h"
#include "test_canvas.h"

namespace {

PickerGrid ScreenGrid() {
    return PickerGridFor(CurrentDialogShape(), LogPixelsX, LogPixelsY);
}

enum Spot { Centre, GapRight, GapBelow };

// A point of the cell of the given column and row: its swatch's centre, or
// the middle of the gap right of or below the swatch.
POINT Cell(int column, int row, Spot spot = Centre) {
    const PickerGrid g = ScreenGrid();
    const int left = g.left + column * g.pitchX, top = g.top + row * g.pitchY;
    return {left + (spot == GapRight ? g.width + g.pitchX : g.width) / 2,
            top + (spot == GapBelow ? g.height + g.pitchY : g.height) / 2};
}

RECT SwatchRect(int index) {
    const PixelBox s = PickerSwatchBox(ScreenGrid(), index);
    return {s.left, s.top, s.right, s.bottom};
}

class PickerTest : public testing::Test {
  protected:
    void SetUp() override {
        ModuleInstance = GetModuleHandleW(nullptr);
        ReadScreenDpi();
        PickerTitle = L"Grid Color";
    }

    // Opens the picker from the template of the current screen and runs the
    // steps in it; returns what it ended with.
    INT_PTR Run(int index, int allowsTransparent, std::vector<DialogStep> steps) {
        PickerColorIndex = index;
        PickerAllowsTransparent = allowsTransparent;
        DialogDriver driver(std::move(steps));
        const INT_PTR result =
            RunModalDialog(PickerTemplateFor(CurrentDialogShape()), nullptr, ColorPickerDialog);
        EXPECT_TRUE(driver.Finished()) << "every step ran";
        EXPECT_EQ(0, driver.ForcedEnds()) << "the dialog ended by its own steps";
        return result;
    }

    static DialogStep TapCell(POINT at) {
        return [at](HWND dialog) { TapAt(dialog, at.x, at.y); };
    }
    static DialogStep Expect(std::function<void(HWND)> check) { return check; }
    static bool Checked(HWND dialog) {
        return SendDlgItemMessageW(dialog, IDC_TRANSPARENT, BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
};

TEST_F(PickerTest, TapsPickTheSwatchOfTheirCell) {
    const PickerGrid grid = ScreenGrid();
    struct Case {
        const char* what;
        POINT at;
        int expected;
    };
    const Case cases[] = {
        {"swatch 0", Cell(0, 0), 0},
        {"title band over column 2", {Cell(2, 0).x, ScaleY(5)}, 2},
        {"gap right of a swatch", Cell(1, 1, GapRight), grid.columns + 1},
        {"gap below a swatch", Cell(2, 1, GapBelow), grid.columns + 2},
        {"last swatch", Cell(15 % grid.columns, 15 / grid.columns), 15},
        {"left of the first column", {1, Cell(0, 1).y}, grid.columns},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IDOK, Run(7, 0, {TapCell(c.at), [](HWND d) { Press(d, IDOK); }})) << c.what;
        EXPECT_EQ(c.expected, PickerColorIndex) << c.what;
    }
}

TEST_F(PickerTest, TapsOutsideTheGridChangeNothing) {
    const PickerGrid grid = ScreenGrid();
    std::vector<POINT> outside = {Cell(grid.columns, 0), Cell(0, grid.rows)};
    if (grid.columns == 6) {
        outside.push_back(Cell(4, 2));
        outside.push_back(Cell(5, 2));
    }
    for (const POINT& at : outside) {
        EXPECT_EQ(IDOK, Run(7, 0, {TapCell(at), [](HWND d) { Press(d, IDOK); }}));
        EXPECT_EQ(7, PickerColorIndex) << "tap at " << at.x << "," << at.y;
    }
}

TEST_F(PickerTest, TransparentBox) {
    bool shown = false, checked = false, afterTap = true;
    EXPECT_EQ(IDOK, Run(TransparentColor, 1,
                        {[&](HWND d) {
                             shown = IsWindowVisible(GetDlgItem(d, IDC_TRANSPARENT));
                             checked = Checked(d);
                         },
                         [](HWND d) { Press(d, IDOK); }}));
    EXPECT_TRUE(shown);
    EXPECT_TRUE(checked) << "checked for a transparent setting";
    EXPECT_EQ(TransparentColor, PickerColorIndex) << "OK without a tap keeps transparent";

    EXPECT_EQ(IDOK, Run(TransparentColor, 1,
                        {TapCell(Cell(1, 0)), [&](HWND d) { afterTap = Checked(d); },
                         [](HWND d) { Press(d, IDOK); }}));
    EXPECT_FALSE(afterTap) << "a swatch tap unchecks the box";
    EXPECT_EQ(1, PickerColorIndex);

    EXPECT_EQ(IDOK, Run(5, 1,
                        {TapCell(Cell(1, 0)), [](HWND d) { Press(d, IDC_TRANSPARENT); },
                         [](HWND d) { Press(d, IDOK); }}));
    EXPECT_EQ(TransparentColor, PickerColorIndex) << "checked again before OK";

    EXPECT_EQ(IDOK,
              Run(TransparentColor, 1,
                  {[](HWND d) { Press(d, IDC_TRANSPARENT); }, [](HWND d) { Press(d, IDOK); }}));
    EXPECT_EQ(TransparentColor, PickerColorIndex) << "unchecked without a tap: no colour chosen";

    checked = true;
    EXPECT_EQ(IDOK, Run(5, 0,
                        {[&](HWND d) { shown = IsWindowVisible(GetDlgItem(d, IDC_TRANSPARENT)); },
                         TapCell(Cell(2, 0)), [&](HWND d) { checked = Checked(d); },
                         [](HWND d) { Press(d, IDOK); }}));
    EXPECT_FALSE(shown) << "hidden when transparency is not allowed";
    EXPECT_FALSE(checked);
    EXPECT_EQ(2, PickerColorIndex);
}

TEST_F(PickerTest, CancelEndsWithTwoAfterTaps) {
    EXPECT_EQ(IDCANCEL, Run(3, 1, {TapCell(Cell(1, 0)), TapCell(Cell(2, 1)), [](HWND d) {
                                       Press(d, IDCANCEL);
                                   }}));
}

TEST_F(PickerTest, PaintsTheGridOfTheScreenAndAThreePixelHighlight) {
    const int chosen = 9;
    const COLORREF black = RGB(0, 0, 0);
    COLORREF background = 0;
    std::vector<COLORREF> centres, chosenEdge, plainEdge;
    EXPECT_EQ(
        IDCANCEL,
        Run(chosen, 0,
            {[&](HWND d) {
                 RECT client;
                 GetClientRect(d, &client);
                 TestCanvas shown(client.right, client.bottom);
                 Capture(d, shown);
                 for (int k = 0; k < PaletteSize; ++k) {
                     const RECT s = SwatchRect(k);
                     centres.push_back(shown.Pixel((s.left + s.right) / 2, (s.top + s.bottom) / 2));
                 }
                 // Across the left edges at mid height: 4 pixels outside, 2 inside.
                 for (int index : {chosen, chosen + 1}) {
                     const RECT s = SwatchRect(index);
                     const int y = (s.top + s.bottom) / 2;
                     for (int x = s.left - 4; x <= s.left + 1; ++x) {
                         (index == chosen ? chosenEdge : plainEdge).push_back(shown.Pixel(x, y));
                     }
                 }
                 background = shown.Pixel(client.right - 2, client.bottom - 2);
             },
             [](HWND d) { Press(d, IDCANCEL); }}));
    ASSERT_EQ(static_cast<size_t>(PaletteSize), centres.size());
    for (int k = 0; k < PaletteSize; ++k) {
        EXPECT_EQ(ColorPalette[k], centres[k])
            << "swatch " << k << " in a " << ScreenGrid().columns << "-column grid";
    }
    const std::vector<COLORREF> highlighted = {background, background, black,
                                               black,      black,      ColorPalette[chosen]};
    EXPECT_EQ(highlighted, chosenEdge);
    const std::vector<COLORREF> plain = {background, background, background,
                                         background, black,      ColorPalette[chosen + 1]};
    EXPECT_EQ(plain, plainEdge);
}

} // namespace

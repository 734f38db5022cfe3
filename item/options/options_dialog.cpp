// The options dialog. Colours change the live settings as soon as the picker
// ends with OK; the lists and the check box change them at OK; the caller
// saves or reloads afterwards.
#include "options_dialog.h"

#include "color_picker.h"
#include "frame_rectangle.h"
#include "gdi_guards.h"
#include "modal_dialog.h"
#include "resource.h"
#include "screen_metrics.h"
#include "settings.h"
#include "swatch_place.h"

namespace {

const wchar_t VersionText[] = L"Tovamet V2.1";

struct ColorButton {
    int id;
    std::atomic<int32_t> Settings::*setting;
    const wchar_t* title;
    int allowsTransparent;
};

const ColorButton ColorButtons[] = {
    {IDC_EDIT_BACKGROUND, &Settings::BackgroundColor, L"Background Color", 1},
    {IDC_EDIT_GRID, &Settings::GridColor, L"Grid Color", 1},
    {IDC_EDIT_CPU, &Settings::SampleColor, L"CPU Color", 0},
    {IDC_EDIT_TEXT, &Settings::TextColor, L"Text Color", 0},
    {IDC_EDIT_MEMORY, &Settings::MemoryColor, L"Memory Color", 0},
};

struct Swatch {
    std::atomic<int32_t> Settings::*setting;
    RECT place;
};

// The rows in the drawing order of each layout, as indices into ColorButtons.
const int TallOrder[] = {0, 1, 2, 4, 3};
const int ShortOrder[] = {0, 1, 2, 3, 4};

// Where the label of a button's row ends: the right edge of the nearest
// control left of the button on its row. A label's text never shows past its
// control, and the swatch must not cover the control either.
int LabelEnd(HWND dialog, const RECT& button) {
    int end = 0;
    for (HWND control = GetWindow(dialog, GW_CHILD); control != nullptr;
         control = GetWindow(control, GW_HWNDNEXT)) {
        const RECT place = ClientPlace(dialog, control);
        if (place.right <= button.left && place.top < button.bottom && place.bottom > button.top &&
            place.right > end) {
            end = place.right;
        }
    }
    return end;
}

// The five swatches in drawing order, each placed in its row as the dialog
// laid the row out, in the size of the screen's layout. The controls sit in
// dialog units, which follow the dialog's font rather than the dpi, so fixed
// pixel places would drift off their rows.
void SwatchLayout(HWND dialog, bool shortScreen, Swatch (&swatches)[5]) {
    const int width = ScaleX(shortScreen ? 15 : 70);
    const int height = ScaleY(15);
    const int* const order = shortScreen ? ShortOrder : TallOrder;
    for (int i = 0; i < 5; ++i) {
        const ColorButton& row = ColorButtons[order[i]];
        const RECT button = ClientPlace(dialog, GetDlgItem(dialog, row.id));
        const PixelBox place =
            PlaceSwatch(LabelEnd(dialog, button),
                        {button.left, button.top, button.right, button.bottom}, width, height);
        swatches[i].setting = row.setting;
        swatches[i].place = {place.left, place.top, place.right, place.bottom};
    }
}

void FillList(HWND dialog, int id, const wchar_t* const* names, int count, int selected) {
    HWND list = GetDlgItem(dialog, id);
    for (int i = 0; i < count; ++i) {
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(names[i]));
    }
    SendMessageW(list, CB_SETCURSEL, selected, 0);
}

// A stored value outside a list's range leaves it without a selection
// (CB_ERR); the setting's default is stored then.
int ListChoice(HWND dialog, int id, SettingMember setting) {
    return FieldOf(setting).OrDefault(
        static_cast<int>(SendDlgItemMessageW(dialog, id, CB_GETCURSEL, 0, 0)));
}

void Initialize(HWND dialog) {
    InitFullScreenDialog(dialog);
    LoadSettings();
    SetWindowTextW(GetDlgItem(dialog, IDC_VERSION), VersionText);
    FillList(dialog, IDC_WINDOW_SIZE, SizeNames, SizeCount, ItemSettings.WindowSize);
    FillList(dialog, IDC_INTERVAL, IntervalNames, IntervalCount, ItemSettings.SampleInterval);
    FillList(dialog, IDC_DISPLAY_MODE, DisplayModeNames, 2, ItemSettings.DisplayMode);
    SendDlgItemMessageW(dialog, IDC_DISPLAY_MEMORY, BM_SETCHECK,
                        ItemSettings.DisplayMemory != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
}

void Accept(HWND dialog) {
    ItemSettings.WindowSize = ListChoice(dialog, IDC_WINDOW_SIZE, &Settings::WindowSize);
    ItemSettings.SampleInterval = ListChoice(dialog, IDC_INTERVAL, &Settings::SampleInterval);
    ItemSettings.DisplayMode = ListChoice(dialog, IDC_DISPLAY_MODE, &Settings::DisplayMode);
    ItemSettings.DisplayMemory =
        SendDlgItemMessageW(dialog, IDC_DISPLAY_MEMORY, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
    EndDialog(dialog, IDOK);
}

void PickColor(HWND dialog, const ColorButton& button) {
    PickerTitle = button.title;
    PickerAllowsTransparent = button.allowsTransparent;
    PickerColorIndex = SettingOrDefault(button.setting);
    if (RunModalDialog(PickerTemplateFor(CurrentDialogShape()), dialog, ColorPickerDialog) ==
        IDOK) {
        ItemSettings.*button.setting = PickerColorIndex;
        // A screen that keeps the covered dialog's pixels shows it again
        // without a paint, with the old colour in the swatch.
        InvalidateRect(dialog, nullptr, TRUE);
    }
}

void Paint(HWND dialog) {
    PAINTSTRUCT paint;
    HDC surface = BeginPaint(dialog, &paint);
    {
        GdiObjectHolder frame(CreateSolidBrush(RGB(0, 0, 0)));
        // The dialog's own font, in which "Transparent" fits its swatch; the
        // context's system font is larger than the swatch.
        SelectionHolder font(surface,
                             reinterpret_cast<HGDIOBJ>(SendMessageW(dialog, WM_GETFONT, 0, 0)));
        // The square layout's rows are the tall one's, one above the other.
        const bool shortScreen = CurrentDialogShape() == DialogShape::Short;
        Swatch swatches[5];
        SwatchLayout(dialog, shortScreen, swatches);
        for (Swatch& swatch : swatches) {
            const int color = SettingOrDefault(swatch.setting);
            if (color == TransparentColor) {
                const wchar_t* const text = shortScreen ? L"T" : L"Transparent";
                DrawTextW(surface, text, -1, &swatch.place, DT_CENTER);
            } else {
                GdiObjectHolder fill(CreateSolidBrush(ColorPalette[color]));
                FillRect(surface, &swatch.place, static_cast<HBRUSH>(fill.Get()));
            }
            FrameRectangle(surface, swatch.place, static_cast<HBRUSH>(frame.Get()));
        }
    }
    EndPaint(dialog, &paint);
}

INT_PTR Command(HWND dialog, WORD id) {
    switch (id) {
    case IDOK:
        Accept(dialog);
        return 1;
    case IDCANCEL:
        EndDialog(dialog, IDCANCEL);
        return 1;
    default:
        for (const ColorButton& button : ColorButtons) {
            if (button.id == id) {
                PickColor(dialog, button);
                return 1;
            }
        }
        return 0;
    }
}

} // namespace

INT_PTR CALLBACK OptionsDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        Initialize(dialog);
        return 1;
    case WM_PAINT:
        Paint(dialog);
        return 1;
    case WM_COMMAND:
        return Command(dialog, LOWORD(wParam));
    default:
        return 0;
    }
}

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

// The five swatches in drawing order, for the layout of the current screen.
void SwatchLayout(Swatch (&swatches)[5]) {
    if (IsShortScreen()) {
        const int width = ScaleX(15);
        const int height = ScaleY(15);
        const struct {
            std::atomic<int32_t> Settings::*setting;
            int left, top;
        } places[] = {
            {&Settings::BackgroundColor, ScaleX(120), ScaleY(45)},
            {&Settings::GridColor, ScaleX(258), ScaleY(45)},
            {&Settings::SampleColor, ScaleX(120), ScaleY(68)},
            {&Settings::TextColor, ScaleX(258), ScaleY(68)},
            {&Settings::MemoryColor, ScaleX(120), ScaleY(93)},
        };
        for (int i = 0; i < 5; ++i) {
            swatches[i].setting = places[i].setting;
            swatches[i].place = {places[i].left, places[i].top, places[i].left + width,
                                 places[i].top + height};
        }
        return;
    }
    std::atomic<int32_t> Settings::*const order[] = {&Settings::BackgroundColor,
                                                     &Settings::GridColor, &Settings::SampleColor,
                                                     &Settings::MemoryColor, &Settings::TextColor};
    const int left = ScaleX(120);
    for (int i = 0; i < 5; ++i) {
        const int top = ScaleY(57) + i * ScaleY(23);
        swatches[i].setting = order[i];
        swatches[i].place = {left, top, left + ScaleX(70), top + ScaleY(15)};
    }
}

void FillList(HWND dialog, int id, const wchar_t* const* names, int count, int selected) {
    HWND list = GetDlgItem(dialog, id);
    for (int i = 0; i < count; ++i) {
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(names[i]));
    }
    SendMessageW(list, CB_SETCURSEL, selected, 0);
}

// A stored value outside a list's range leaves it without a selection; the
// setting's default is stored then, so the item never indexes past a table.
int ListChoice(HWND dialog, int id, int fallback) {
    const LRESULT selected = SendDlgItemMessageW(dialog, id, CB_GETCURSEL, 0, 0);
    return selected == CB_ERR ? fallback : static_cast<int>(selected);
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
    ItemSettings.WindowSize = ListChoice(dialog, IDC_WINDOW_SIZE, DefaultWindowSize);
    ItemSettings.SampleInterval = ListChoice(dialog, IDC_INTERVAL, DefaultSampleInterval);
    ItemSettings.DisplayMode = ListChoice(dialog, IDC_DISPLAY_MODE, DefaultDisplayMode);
    ItemSettings.DisplayMemory =
        SendDlgItemMessageW(dialog, IDC_DISPLAY_MEMORY, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
    EndDialog(dialog, IDOK);
}

void PickColor(HWND dialog, const ColorButton& button) {
    PickerTitle = button.title;
    PickerAllowsTransparent = button.allowsTransparent;
    PickerColorIndex = SettingOrDefault(button.setting);
    const int pickerTemplate = IsShortScreen() ? IDD_COLOR_PICKER_SHORT : IDD_COLOR_PICKER;
    if (RunModalDialog(pickerTemplate, dialog, ColorPickerDialog) == IDOK) {
        ItemSettings.*button.setting = PickerColorIndex;
    }
}

void Paint(HWND dialog) {
    PAINTSTRUCT paint;
    HDC surface = BeginPaint(dialog, &paint);
    {
        GdiObjectHolder frame(CreateSolidBrush(RGB(0, 0, 0)));
        const bool shortScreen = IsShortScreen();
        Swatch swatches[5];
        SwatchLayout(swatches);
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

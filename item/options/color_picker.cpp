// The colour picker: a title band, the 16 palette swatches in a grid that
// follows the screen's shape, the "Transparent" box for the settings that may
// be transparent, and "Cancel", both kept clear of the grid.
#include "color_picker.h"

#include "dialog_relayout.h"
#include "frame_rectangle.h"
#include "gdi_guards.h"
#include "item_state.h"
#include "modal_dialog.h"
#include "picker_grid.h"
#include "resource.h"
#include "screen_metrics.h"
#include "settings.h"

int PickerColorIndex = 0;
int PickerAllowsTransparent = 1;
const wchar_t* PickerTitle = L"something Color";

namespace {

const COLORREF TitleColor = RGB(0, 0, 156);

// Chosen afresh at every use: a screen that has turned is seen at once.
PickerGrid CurrentGrid() {
    return PickerGridFor(CurrentDialogShape(), LogPixelsX, LogPixelsY);
}

int TitleBandHeight() {
    return ScaleY(24);
}

// The template places the buttons in dialog units, which follow the font
// rather than the dpi, and the grid lies in scaled pixels: at some dpi the
// template's places reach into the grid. Both buttons then move together,
// as far as it takes to clear every swatch's cell.
void ClearButtonsOfGrid(HWND dialog) {
    const HWND buttons[] = {GetDlgItem(dialog, IDCANCEL), GetDlgItem(dialog, IDC_TRANSPARENT)};
    if (buttons[0] == nullptr || buttons[1] == nullptr) {
        return;
    }
    RECT span;
    const RECT cancel = ClientPlace(dialog, buttons[0]);
    const RECT box = ClientPlace(dialog, buttons[1]);
    UnionRect(&span, &cancel, &box);
    const PixelShift shift =
        PickerButtonShift(CurrentGrid(), {span.left, span.top, span.right, span.bottom});
    if (shift.dx == 0 && shift.dy == 0) {
        return;
    }
    for (HWND button : buttons) {
        const RECT place = ClientPlace(dialog, button);
        SetWindowPos(button, nullptr, place.left + shift.dx, place.top + shift.dy, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void Initialize(HWND dialog) {
    InitFullScreenDialog(dialog);
    // The shell's sizing re-lays the dialog out; a dialog that had its size
    // already gets no WM_SIZE.
    ClearButtonsOfGrid(dialog);
    HWND transparent = GetDlgItem(dialog, IDC_TRANSPARENT);
    ShowWindow(transparent, PickerAllowsTransparent != 0 ? SW_SHOW : SW_HIDE);
    SendMessageW(transparent, BM_SETCHECK,
                 PickerColorIndex == TransparentColor ? BST_CHECKED : BST_UNCHECKED, 0);
}

void DrawTitle(HDC surface, int screenWidth) {
    SetTextColor(surface, TitleColor);
    RECT band = {8, 0, screenWidth, TitleBandHeight()};
    LOGFONTW font = {};
    // A font that cannot be read leaves the title in the context's own.
    if (GetObjectW(GetCurrentObject(surface, OBJ_FONT), sizeof(font), &font) == 0) {
        DrawTextW(surface, PickerTitle, -1, &band, DT_SINGLELINE | DT_VCENTER);
        return;
    }
    font.lfWeight = FW_BOLD;
    GdiObjectHolder titleFont(CreateFontIndirectW(&font));
    SelectionHolder selection(surface, titleFont.Get());
    DrawTextW(surface, PickerTitle, -1, &band, DT_SINGLELINE | DT_VCENTER);
}

void DrawSeparator(HDC surface, int screenWidth) {
    GdiObjectHolder pen(CreatePen(PS_SOLID, 1, RGB(0, 0, 0)));
    SelectionHolder selection(surface, pen.Get());
    MoveToEx(surface, 0, TitleBandHeight(), nullptr);
    LineTo(surface, screenWidth, TitleBandHeight());
}

void DrawSwatches(HDC surface) {
    GdiObjectHolder frame(CreateSolidBrush(RGB(0, 0, 0)));
    const HBRUSH frameBrush = static_cast<HBRUSH>(frame.Get());
    const PickerGrid grid = CurrentGrid();
    for (int k = 0; k < PaletteSize; ++k) {
        const PixelBox box = PickerSwatchBox(grid, k);
        RECT swatch = {box.left, box.top, box.right, box.bottom};
        {
            GdiObjectHolder fill(CreateSolidBrush(ColorPalette[k]));
            FillRect(surface, &swatch, static_cast<HBRUSH>(fill.Get()));
        }
        FrameRectangle(surface, swatch, frameBrush);
        if (k == PickerColorIndex) {
            // Three pixels of border, two of them outside the swatch.
            for (int grow = 1; grow <= 2; ++grow) {
                RECT outer = swatch;
                InflateRect(&outer, grow, grow);
                FrameRectangle(surface, outer, frameBrush);
            }
        }
    }
}

void Paint(HWND dialog) {
    PAINTSTRUCT paint;
    HDC surface = BeginPaint(dialog, &paint);
    // The band and the separator run across the whole screen, whatever the
    // dialog's client width.
    const int screenWidth = GetDeviceCaps(surface, HORZRES);
    DrawTitle(surface, screenWidth);
    DrawSeparator(surface, screenWidth);
    DrawSwatches(surface);
    EndPaint(dialog, &paint);
}

void HitTest(HWND dialog, LPARAM position) {
    const int index = PickerSwatchAt(CurrentGrid(), LOWORD(position), HIWORD(position));
    if (index < 0) {
        return;
    }
    PickerColorIndex = index;
    if (PickerAllowsTransparent != 0) {
        SendMessageW(GetDlgItem(dialog, IDC_TRANSPARENT), BM_SETCHECK, BST_UNCHECKED, 0);
    }
    InvalidateRect(dialog, nullptr, TRUE);
}

INT_PTR Command(HWND dialog, WORD id) {
    switch (id) {
    case IDOK:
        if (SendMessageW(GetDlgItem(dialog, IDC_TRANSPARENT), BM_GETCHECK, 0, 0) == BST_CHECKED) {
            PickerColorIndex = TransparentColor;
        }
        EndDialog(dialog, IDOK);
        return 1;
    case IDCANCEL:
        EndDialog(dialog, IDCANCEL);
        return 1;
    default:
        return 0;
    }
}

} // namespace

INT_PTR CALLBACK ColorPickerDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        Initialize(dialog);
        return 1;
    case WM_PAINT:
        Paint(dialog);
        return 1;
    case WM_SIZE:
        RelayoutDialog(ModuleInstance, dialog, PickerTemplateFor(CurrentDialogShape()));
        ClearButtonsOfGrid(dialog);
        return 0;
    case WM_COMMAND:
        return Command(dialog, LOWORD(wParam));
    case WM_LBUTTONUP:
        HitTest(dialog, lParam);
        return 1;
    default:
        return 0;
    }
}

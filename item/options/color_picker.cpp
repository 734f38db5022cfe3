// The colour picker: a title band, the 16 palette swatches in a grid that
// follows the screen's shape, and the "Transparent" box for the settings that
// may be transparent.
#include "color_picker.h"

#include "dialog_relayout.h"
#include "frame_rectangle.h"
#include "gdi_guards.h"
#include "item_state.h"
#include "modal_dialog.h"
#include "resource.h"
#include "screen_metrics.h"
#include "settings.h"

int PickerColorIndex = 0;
int PickerAllowsTransparent = 1;
const wchar_t* PickerTitle = L"something Color";

namespace {

const COLORREF TitleColor = RGB(0, 0, 156);

struct GridShape {
    int columns;
    int rows;
};

GridShape CurrentGridShape() {
    return IsShortScreen() ? GridShape{6, 3} : GridShape{4, 4};
}

int TitleBandHeight() {
    return ScaleY(24);
}

RECT SwatchRect(int index, const GridShape& shape) {
    RECT swatch;
    swatch.left = ScaleX(5) + (index % shape.columns) * ScaleX(50);
    swatch.right = swatch.left + ScaleX(40);
    swatch.top = TitleBandHeight() + ScaleY(10) + (index / shape.columns) * ScaleY(50);
    swatch.bottom = swatch.top + ScaleY(40);
    return swatch;
}

void Initialize(HWND dialog) {
    InitFullScreenDialog(dialog);
    HWND transparent = GetDlgItem(dialog, IDC_TRANSPARENT);
    ShowWindow(transparent, PickerAllowsTransparent != 0 ? SW_SHOW : SW_HIDE);
    SendMessageW(transparent, BM_SETCHECK,
                 PickerColorIndex == TransparentColor ? BST_CHECKED : BST_UNCHECKED, 0);
}

void DrawTitle(HDC surface, int screenWidth) {
    LOGFONTW font;
    GetObjectW(GetCurrentObject(surface, OBJ_FONT), sizeof(font), &font);
    font.lfWeight = FW_BOLD;
    GdiObjectHolder titleFont(CreateFontIndirectW(&font));
    SelectionHolder selection(surface, titleFont.Get());
    SetTextColor(surface, TitleColor);
    RECT band = {8, 0, screenWidth, TitleBandHeight()};
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
    const GridShape shape = CurrentGridShape();
    for (int k = 0; k < PaletteSize; ++k) {
        RECT swatch = SwatchRect(k, shape);
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
    const int x = LOWORD(position);
    const int y = HIWORD(position);
    // Truncating division: a tap in the title band lands in row 0.
    const int row = (y - ScaleY(10) - TitleBandHeight()) / ScaleY(50);
    const int column = (x - ScaleX(5)) / ScaleX(50);
    const GridShape shape = CurrentGridShape();
    if (row < 0 || row > shape.rows - 1 || column < 0 || column > shape.columns - 1) {
        return;
    }
    const int index = row * shape.columns + column;
    if (index > PaletteSize - 1) {
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
        RelayoutDialog(ModuleInstance, dialog,
                       IsShortScreen() ? IDD_COLOR_PICKER_SHORT : IDD_COLOR_PICKER);
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

// The layout a screen gets.
#include "dialog_shape.h"

#include "dpi_scale.h"
#include "resource.h"

DialogShape ChooseDialogShape(int width, int height, int dpiX, int dpiY) {
    if (height >= ScaleByDpi(320, dpiY)) {
        return DialogShape::Tall;
    }
    return width >= ScaleByDpi(320, dpiX) ? DialogShape::Short : DialogShape::Square;
}

int OptionsTemplateFor(DialogShape shape) {
    switch (shape) {
    case DialogShape::Short:
        return IDD_OPTIONS_SHORT;
    case DialogShape::Square:
        return IDD_OPTIONS_SQUARE;
    default:
        return IDD_OPTIONS;
    }
}

int PickerTemplateFor(DialogShape shape) {
    switch (shape) {
    case DialogShape::Short:
        return IDD_COLOR_PICKER_SHORT;
    case DialogShape::Square:
        return IDD_COLOR_PICKER_SQUARE;
    default:
        return IDD_COLOR_PICKER;
    }
}

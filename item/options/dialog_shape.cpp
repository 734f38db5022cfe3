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

namespace {

// The options and the picker template of each shape, in DialogShape's order.
const int Templates[][2] = {
    {IDD_OPTIONS, IDD_COLOR_PICKER},
    {IDD_OPTIONS_SHORT, IDD_COLOR_PICKER_SHORT},
    {IDD_OPTIONS_SQUARE, IDD_COLOR_PICKER_SQUARE},
};

} // namespace

int OptionsTemplateFor(DialogShape shape) {
    return Templates[static_cast<int>(shape)][0];
}

int PickerTemplateFor(DialogShape shape) {
    return Templates[static_cast<int>(shape)][1];
}

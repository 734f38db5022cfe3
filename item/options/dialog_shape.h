// Which layout of the item's dialogs a screen gets, from its size and dpi,
// and the templates of each layout; no platform calls.
#pragma once

enum class DialogShape {
    Tall,   // portrait
    Short,  // landscape
    Square, // as high as a landscape screen, too narrow for its layout
};

// Tall when the screen is at least 320 pixels high at 96 dpi. Below that,
// Short when it is at least 320 wide, the width the short templates are laid
// out for; Square otherwise.
DialogShape ChooseDialogShape(int width, int height, int dpiX, int dpiY);

int OptionsTemplateFor(DialogShape shape);
int PickerTemplateFor(DialogShape shape);

// Moving the controls of a live dialog to the places another template of the
// same dialog gives them, when the screen changes shape.
#pragma once

#include <windows.h>

#include <cstddef>

#include "dialog_template.h"

// Moves every control of `dialog` to the rectangle of the item with its id in
// the RT_DIALOG template `templateId` of `module`, then re-applies texts,
// icons and list selections. Returns 1 when every control was placed, 0 when
// the template is missing or malformed (nothing moves then) or when two or
// more unnamed items had to share one control (the moves are still made).
int RelayoutDialog(HINSTANCE module, HWND dialog, int templateId);

// The same for a template already in memory, of `size` bytes; `module`
// supplies the icons and bitmaps that the template names by ordinal.
int RelayoutDialogFromTemplate(HINSTANCE module, HWND dialog, const void* data, std::size_t size);

// Re-applies what `item` (of class `item.classField`, title `item.titleField`)
// gives its live control: a button's or static's text or image, a list box's
// or combo box's current selection.
void RefreshControl(HINSTANCE module, HWND dialog, const DialogTemplateItem& item);

// The tap handler. The dialog edits the live settings; only OK keeps them.
#include "tap_handler.h"

#include "item_state.h"
#include "modal_dialog.h"
#include "options_dialog.h"
#include "screen_metrics.h"
#include "settings.h"

namespace {

// The item whose tap runs the options dialog now, or null.
HWND TappedItem = nullptr;
// Set when that item's window was destroyed while the dialog ran.
bool TappedItemDestroyed = false;

} // namespace

void TapHandler(HWND item) {
    // The item window stays enabled under its modal dialog.
    if (TappedItem != nullptr) {
        return;
    }
    TappedItem = item;
    TappedItemDestroyed = false;
    // The host may destroy the item and free the library in a message that
    // the dialog's loop dispatches; this code still has to return through it.
    HMODULE library = HoldLibrary();
    if (RunModalDialog(OptionsTemplateFor(CurrentDialogShape()), item, OptionsDialog) == IDOK) {
        HeightChanged = 1;
        SaveSettings();
        InvalidateRect(item, nullptr, FALSE);
    } else {
        LoadSettings();
    }
    TappedItem = nullptr;
    // While the item window lives, the host holds the library as well. Once
    // the window has gone, this reference may be the last, and freeing it
    // would unmap the code this thread is about to return through: it is
    // kept for the rest of the process, at the cost of one library mapping.
    if (!TappedItemDestroyed && library != nullptr) {
        FreeLibrary(library);
    }
}

void CloseTapDialogs(HWND item) {
    if (item != TappedItem) {
        return;
    }
    TappedItemDestroyed = true;
    // The run then ends as with Cancel, and the tap handler reloads the settings.
    CloseModalDialogs();
}

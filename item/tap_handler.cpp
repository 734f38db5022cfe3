// The tap handler. The dialog edits the live settings; only OK keeps them.
#include "tap_handler.h"

#include "item_state.h"
#include "modal_dialog.h"
#include "options_dialog.h"
#include "resource.h"
#include "screen_metrics.h"
#include "settings.h"

void TapHandler(HWND item) {
    const int optionsTemplate = IsShortScreen() ? IDD_OPTIONS_SHORT : IDD_OPTIONS;
    if (RunModalDialog(optionsTemplate, item, OptionsDialog) == IDOK) {
        HeightChanged = 1;
        SaveSettings();
        InvalidateRect(item, nullptr, FALSE);
        return;
    }
    LoadSettings();
}

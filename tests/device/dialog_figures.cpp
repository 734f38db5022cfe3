// The dialog steps of the device emulation (emulate_device_dlls.py dialogs),
// given as arguments, run on the x86-64 build under Wine. Prints what the
// emulated ARM build must equal, one figure a line: the dialog font's cell
// first, then control rectangles and height reports as the steps give them,
// and the stored settings.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "dialog_driver.h"
#include "item_window.h"
#include "screen_metrics.h"
#include "screen_orientation.h"
#include "settings.h"
#include "test_host_window.h"
#include "test_registry.h"

namespace {

// "action:number:number..." as one step in the dialog on top.
DialogStep Step(const char* text) {
    const std::string action(text, std::strcspn(text, ":"));
    std::vector<int> n;
    for (const char* at = std::strchr(text, ':'); at != nullptr; at = std::strchr(at + 1, ':')) {
        n.push_back(std::atoi(at + 1));
    }
    return [action, n](HWND dialog) {
        if (action == "rects") {
            for (int id : n) {
                const RECT r = ControlRect(dialog, id);
                std::printf("rect %d %ld %ld %ld %ld\n", id, r.left, r.top, r.right, r.bottom);
            }
        } else if (action == "choose") {
            SendDlgItemMessageW(dialog, n[0], CB_SETCURSEL, n[1], 0);
            SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(n[0], CBN_SELCHANGE),
                         reinterpret_cast<LPARAM>(GetDlgItem(dialog, n[0])));
        } else if (action == "tap") {
            TapAt(dialog, MulDiv(n[0], LogPixelsX, 96), MulDiv(n[1], LogPixelsY, 96));
        } else if (action == "turn") {
            // The shell resizes its full-screen dialogs on the display change.
            if (TurnToLandscape() != DISP_CHANGE_SUCCESSFUL) {
                std::printf("the screen did not turn\n");
            }
        } else {
            Press(dialog, action == "ok" ? IDOK : action == "cancel" ? IDCANCEL : n.at(0));
        }
    };
}

void PrintStoredSettings() {
    HKEY key = nullptr;
    RegOpenKeyExW(HKEY_LOCAL_MACHINE, SettingsKey, 0, KEY_READ, &key);
    wchar_t name[64];
    DWORD value = 0, length = 64, size = sizeof(value);
    for (DWORD i = 0; RegEnumValueW(key, i, name, &length, nullptr, nullptr,
                                    reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS;
         ++i, length = 64, size = sizeof(value)) {
        std::printf("stored %ls %lu\n", name, value);
    }
    RegCloseKey(key);
}

} // namespace

int main(int argc, char** argv) {
    DeleteItemKey();
    CreateItemKey();
    TestHostWindow host;
    TODAYLISTITEM record = {};
    record.fEnabled = TRUE;
    record.hinstDLL = GetModuleHandleW(nullptr);
    HWND item = InitializeCustomItem(&record, host.Handle());
    // The entry's own report, which the host takes first.
    SendMessageW(item, WM_TODAYCUSTOM_QUERYREFRESHCACHE, reinterpret_cast<WPARAM>(&record), 0);
    bool unitsShown = false;
    for (int i = 1; i < argc;) {
        if (std::strcmp(argv[i++], "height") == 0) {
            if (SendMessageW(item, WM_TODAYCUSTOM_QUERYREFRESHCACHE,
                             reinterpret_cast<WPARAM>(&record), 0) != 0) {
                std::printf("height 1 %lu\n", record.cyp);
            } else {
                std::printf("height 0\n");
            }
            continue;
        }
        // "tap item": the options dialog runs the steps up to the next report.
        std::vector<DialogStep> steps{[&unitsShown](HWND dialog) {
            if (!unitsShown) {
                const RECT cell = DialogUnits(dialog, 0, 0, 4, 8);
                std::printf("units %ld %ld\n", cell.right, cell.bottom);
                unitsShown = true;
            }
        }};
        for (; i < argc && std::strcmp(argv[i], "height") != 0; ++i) {
            steps.push_back(Step(argv[i]));
        }
        DialogDriver driver(std::move(steps));
        SendMessageW(item, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
        if (!driver.Finished() || driver.ForcedEnds() != 0) {
            std::printf("a step did not run in its dialog\n");
        }
    }
    PrintStoredSettings();
    DestroyWindow(item);
    DeleteItemKey();
    return 0;
}

// The dialog steps of the device emulation (emulate_device_dlls.py dialogs),
// given as arguments, run on the x86-64 build under Wine. Prints what the
// emulated ARM build must equal, one figure a line: the dialog font's cell
// first, then control rectangles and height reports as the steps give them,
// and the stored settings.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "dialog_driver.h"
#include "item_window.h"
#include "screen_metrics.h"
#include "settings.h"
#include "test_host_window.h"
#include "test_registry.h"

namespace {

bool UnitsShown = false;

std::vector<int> Numbers(const std::string& step) {
    std::vector<int> numbers;
    for (size_t at = step.find(':'); at != std::string::npos; at = step.find(':', at + 1)) {
        numbers.push_back(std::atoi(step.c_str() + at + 1));
    }
    return numbers;
}

// As the shell resizes each full-screen dialog when the screen turns.
BOOL CALLBACK FitToScreen(HWND window, LPARAM) {
    wchar_t name[16];
    GetClassNameW(window, name, 16);
    if (lstrcmpW(name, L"#32770") == 0) {
        MoveWindow(window, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                   TRUE);
    }
    return TRUE;
}

void Turn() {
    DEVMODEW mode{};
    mode.dmSize = sizeof(mode);
    EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode);
    std::swap(mode.dmPelsWidth, mode.dmPelsHeight);
    mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
    if (ChangeDisplaySettingsExW(nullptr, &mode, nullptr, 0, nullptr) != DISP_CHANGE_SUCCESSFUL) {
        std::printf("the screen did not turn\n");
    }
    EnumThreadWindows(GetCurrentThreadId(), FitToScreen, 0);
}

// One step of the table, in the dialog on top.
DialogStep Step(const std::string& step) {
    const std::vector<int> n = Numbers(step);
    const std::string action = step.substr(0, step.find(':'));
    return [action, n](HWND dialog) {
        if (!UnitsShown) {
            RECT cell = {0, 0, 4, 8};
            MapDialogRect(dialog, &cell);
            std::printf("units %ld %ld\n", cell.right, cell.bottom);
            UnitsShown = true;
        }
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
            Turn();
        } else {
            Press(dialog, action == "ok" ? IDOK : action == "cancel" ? IDCANCEL : n[0]);
        }
    };
}

void PrintHeight(HWND item) {
    TODAYLISTITEM record = {};
    if (SendMessageW(item, WM_TODAYCUSTOM_QUERYREFRESHCACHE, reinterpret_cast<WPARAM>(&record),
                     0) != 0) {
        std::printf("height 1 %lu\n", record.cyp);
    } else {
        std::printf("height 0\n");
    }
}

void PrintStoredSettings() {
    HKEY key = nullptr;
    RegOpenKeyExW(HKEY_LOCAL_MACHINE, SettingsKey, 0, KEY_READ, &key);
    std::vector<std::string> stored;
    wchar_t name[64];
    DWORD value = 0;
    for (DWORD i = 0;; ++i) {
        DWORD length = 64, size = sizeof(value);
        if (RegEnumValueW(key, i, name, &length, nullptr, nullptr, reinterpret_cast<BYTE*>(&value),
                          &size) != ERROR_SUCCESS) {
            break;
        }
        stored.push_back(std::string(name, name + length) + " " + std::to_string(value));
    }
    RegCloseKey(key);
    std::sort(stored.begin(), stored.end());
    for (const std::string& line : stored) {
        std::printf("stored %s\n", line.c_str());
    }
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
    for (int i = 1; i < argc;) {
        if (std::string(argv[i++]) == "height") {
            PrintHeight(item);
            continue;
        }
        // A tap runs the options dialog through the steps up to the next report.
        std::vector<DialogStep> steps;
        for (; i < argc && std::string(argv[i]) != "height"; ++i) {
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

// The dialog steps of the device emulation (emulate_device_dlls.py dialogs),
// given as arguments, run on the x86-64 build under Wine. Prints what the
// emulated ARM build must equal, one figure a line: the dialog font's cell
// first, then control rectangles, height reports and the stored settings.
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

std::vector<std::string> Figures;
std::string Units;

std::vector<int> Numbers(const std::string& step) {
    std::vector<int> numbers;
    for (size_t at = step.find(':'); at != std::string::npos; at = step.find(':', at + 1)) {
        numbers.push_back(std::atoi(step.c_str() + at + 1));
    }
    return numbers;
}

BOOL CALLBACK FitToScreen(HWND window, LPARAM) {
    wchar_t name[16];
    GetClassNameW(window, name, 16);
    if (lstrcmpW(name, L"#32770") == 0) {
        // As the shell resizes a full-screen dialog when the screen turns.
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
        Figures.push_back("the screen did not turn");
    }
    EnumThreadWindows(GetCurrentThreadId(), FitToScreen, 0);
}

// One step of the table inside the dialog on top.
DialogStep Step(const std::string& step) {
    const std::vector<int> n = Numbers(step);
    const std::string action = step.substr(0, step.find(':'));
    return [action, n](HWND dialog) {
        if (Units.empty()) {
            RECT cell = {0, 0, 4, 8};
            MapDialogRect(dialog, &cell);
            Units = "units " + std::to_string(cell.right) + " " + std::to_string(cell.bottom);
        }
        if (action == "rects") {
            for (int id : n) {
                const RECT r = ControlRect(dialog, id);
                Figures.push_back("rect " + std::to_string(id) + " " + std::to_string(r.left) +
                                  " " + std::to_string(r.top) + " " + std::to_string(r.right) +
                                  " " + std::to_string(r.bottom));
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

std::string Height(HWND item) {
    TODAYLISTITEM record = {};
    const LRESULT answer =
        SendMessageW(item, WM_TODAYCUSTOM_QUERYREFRESHCACHE, reinterpret_cast<WPARAM>(&record), 0);
    return "height " + std::to_string(answer) + (answer ? " " + std::to_string(record.cyp) : "");
}

void AddStoredSettings() {
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
        stored.push_back("stored " + std::string(name, name + length) + " " +
                         std::to_string(value));
    }
    RegCloseKey(key);
    std::sort(stored.begin(), stored.end());
    Figures.insert(Figures.end(), stored.begin(), stored.end());
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
    Height(item); // the entry's own report, as the host takes it first
    for (int i = 1; i < argc;) {
        const std::string step = argv[i++];
        if (step == "height") {
            Figures.push_back(Height(item));
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
            Figures.push_back("a step did not run in its dialog");
        }
    }
    AddStoredSettings();
    DestroyWindow(item);
    DeleteItemKey();
    std::printf("%s\n", Units.c_str());
    for (const std::string& figure : Figures) {
        std::printf("%s\n", figure.c_str());
    }
    return 0;
}

// Command-line parsing of the Today host stand-in; no platform calls, so the
// native tree tests it under the sanitizers.
#include "host_options.h"

const char HostUsage[] =
    "usage: today_host.exe [options]\n"
    "Shows the Today items registered under HKLM\\Software\\Microsoft\\Today\\Items\n"
    "(subkeys with DLL, Type 4, Enabled 1, Order), stacked in Order on a full-screen\n"
    "window with a gradient watermark. Esc closes the window.\n"
    "\n"
    "  --seconds N           run N seconds, then close (default: until closed)\n"
    "  --shot MS:FILE.png    at MS milliseconds save a PNG of the whole screen (repeatable)\n"
    "  --tap MS:X,Y          at MS post a tap (button down and up) to the window under\n"
    "                        screen point X,Y (an item, or a dialog or control an item\n"
    "                        opened), in its client coordinates (repeatable)\n"
    "  --landscape           turn the screen to landscape before the items are loaded\n"
    "  --landscape-at MS     turn the screen to landscape at MS\n"
    "  --help                show this text\n"
    "\n"
    "Times count from the moment the host window exists. Screen size and DPI are the\n"
    "Wine desktop's: run it as scripts/wine-run --screen 240x320 --dpi 192 -- today_host.exe\n"
    "Each event prints one line to stdout.\n";

namespace {

// A whole non-negative decimal number that fits an int; nothing else.
bool ParseNumber(const std::wstring& text, int& value) {
    if (text.empty() || text.size() > 9) {
        return false;
    }
    int result = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') {
            return false;
        }
        result = result * 10 + (c - L'0');
    }
    value = result;
    return true;
}

// Splits "MS:rest" at the first colon, so a file name may hold colons itself.
bool SplitDelay(const std::wstring& text, unsigned& delay, std::wstring& rest) {
    const std::wstring::size_type colon = text.find(L':');
    int value = 0;
    if (colon == std::wstring::npos || !ParseNumber(text.substr(0, colon), value)) {
        return false;
    }
    delay = static_cast<unsigned>(value);
    rest = text.substr(colon + 1);
    return true;
}

bool ParsePoint(const std::wstring& text, int& x, int& y) {
    const std::wstring::size_type comma = text.find(L',');
    return comma != std::wstring::npos && ParseNumber(text.substr(0, comma), x) &&
           ParseNumber(text.substr(comma + 1), y);
}

} // namespace

bool ParseHostOptions(const std::vector<std::wstring>& args, HostOptions& options,
                      std::wstring& error) {
    options = HostOptions();
    for (std::vector<std::wstring>::size_type i = 0; i < args.size(); ++i) {
        const std::wstring& name = args[i];
        if (name == L"--help" || name == L"-h") {
            options.Help = true;
            continue;
        }
        if (name == L"--landscape") {
            options.Landscape = true;
            continue;
        }
        if (name != L"--seconds" && name != L"--shot" && name != L"--tap" &&
            name != L"--landscape-at") {
            error = L"unknown option " + name;
            return false;
        }
        if (i + 1 == args.size()) {
            error = name + L" needs a value";
            return false;
        }
        const std::wstring& value = args[++i];
        HostEvent event{HostEventKind::Shot, 0, std::wstring(), 0, 0};
        std::wstring rest;
        int number = 0;
        if (name == L"--seconds") {
            if (!ParseNumber(value, number) || number == 0) {
                error = L"--seconds needs a whole number above 0, not " + value;
                return false;
            }
            options.Seconds = static_cast<unsigned>(number);
            continue;
        }
        if (name == L"--landscape-at") {
            if (!ParseNumber(value, number)) {
                error = L"--landscape-at needs milliseconds, not " + value;
                return false;
            }
            event.Kind = HostEventKind::Landscape;
            event.DelayMs = static_cast<unsigned>(number);
        } else if (name == L"--shot") {
            if (!SplitDelay(value, event.DelayMs, event.Path) || event.Path.empty()) {
                error = L"--shot needs MS:FILE.png, not " + value;
                return false;
            }
        } else {
            event.Kind = HostEventKind::Tap;
            if (!SplitDelay(value, event.DelayMs, rest) || !ParsePoint(rest, event.X, event.Y)) {
                error = L"--tap needs MS:X,Y, not " + value;
                return false;
            }
        }
        options.Events.push_back(event);
    }
    return true;
}

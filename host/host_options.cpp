// Command-line parsing of the Today host stand-in; no platform calls, so the
// native tree tests it under the sanitizers.
#include "host_options.h"

const char HostUsage[] =
    "usage: today_host.exe [options] [steps]\n"
    "Shows the Today items registered under HKLM\\Software\\Microsoft\\Today\\Items\n"
    "(subkeys with DLL, Type 4, Enabled 1, Order), stacked in Order on a full-screen\n"
    "window with a gradient watermark. Esc closes the window.\n"
    "\n"
    "  --seconds N            close after N seconds (default: when closed)\n"
    "  --landscape            turn the screen to landscape before the items are loaded\n"
    "  --help                 show this text\n"
    "\n"
    "Steps, carried out one after another once the items are loaded:\n"
    "  --wait MS              wait MS milliseconds\n"
    "  --wait-line TEXT       wait until the host logs a line holding TEXT\n"
    "  --wait-window CAPTION  wait until a window of the host's with this caption is up\n"
    "                         and takes input (no dialog of its own over it)\n"
    "  --wait-gone CAPTION    wait until no window of the host's has this caption\n"
    "  --shot FILE.png        save a PNG of the whole screen\n"
    "  --tap X,Y              tap (button down and up) the window at screen point X,Y\n"
    "  --tap-client X,Y       tap at X,Y in the client area of the window waited for last\n"
    "  --tap-control ID       tap the middle of control ID of that window, or of the\n"
    "                         navigation bar it owns (ID 1: a dialog's OK)\n"
    "  --choose ID:N          choose entry N (from 0) of list ID of that window\n"
    "  --turn                 turn the screen to landscape and wait for the host to turn;\n"
    "                         full-screen dialogs take the turned screen below their bar\n"
    "  --close                close the host\n"
    "\n"
    "A wait that sees no such state within 60 seconds, a tap that finds no window, a\n"
    "shot that cannot be saved, or steps left when the seconds are up end the host\n"
    "with exit status 3 and a line naming the step. Every step prints what it did.\n"
    "Screen size and DPI are the Wine desktop's: run it as\n"
    "scripts/wine-run --screen 240x320 --dpi 192 -- today_host.exe\n";

namespace {

// What follows an option.
enum class ValueShape { None, Count, Text, Point, Id, Choice };

struct OptionShape {
    const wchar_t* Name;
    HostStepKind Kind;
    ValueShape Shape;
};

const OptionShape StepOptions[] = {
    {L"--wait", HostStepKind::Wait, ValueShape::Count},
    {L"--wait-line", HostStepKind::WaitLine, ValueShape::Text},
    {L"--wait-window", HostStepKind::WaitWindow, ValueShape::Text},
    {L"--wait-gone", HostStepKind::WaitGone, ValueShape::Text},
    {L"--shot", HostStepKind::Shot, ValueShape::Text},
    {L"--tap", HostStepKind::Tap, ValueShape::Point},
    {L"--tap-client", HostStepKind::TapClient, ValueShape::Point},
    {L"--tap-control", HostStepKind::TapControl, ValueShape::Id},
    {L"--choose", HostStepKind::Choose, ValueShape::Choice},
    {L"--turn", HostStepKind::Turn, ValueShape::None},
    {L"--close", HostStepKind::Close, ValueShape::None},
};

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

// "A<separator>B" with two numbers.
bool ParsePair(const std::wstring& text, wchar_t separator, int& a, int& b) {
    const std::wstring::size_type at = text.find(separator);
    return at != std::wstring::npos && ParseNumber(text.substr(0, at), a) &&
           ParseNumber(text.substr(at + 1), b);
}

bool ParseValue(ValueShape shape, const std::wstring& value, HostStep& step) {
    switch (shape) {
    case ValueShape::Count:
        return ParseNumber(value, step.Number);
    case ValueShape::Text:
        step.Text = value;
        return !value.empty();
    case ValueShape::Point:
        return ParsePair(value, L',', step.X, step.Y);
    case ValueShape::Id:
        return ParseNumber(value, step.Number);
    case ValueShape::Choice:
        return ParsePair(value, L':', step.Number, step.Entry);
    case ValueShape::None:
        break;
    }
    return true;
}

const wchar_t* Expected(ValueShape shape) {
    switch (shape) {
    case ValueShape::Count:
        return L"milliseconds";
    case ValueShape::Text:
        return L"a text";
    case ValueShape::Point:
        return L"X,Y";
    case ValueShape::Id:
        return L"a control id";
    case ValueShape::Choice:
        return L"ID:N";
    case ValueShape::None:
        break;
    }
    return L"nothing";
}

const OptionShape* FindStepOption(const std::wstring& name) {
    for (const OptionShape& option : StepOptions) {
        if (name == option.Name) {
            return &option;
        }
    }
    return nullptr;
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
        const OptionShape* option = FindStepOption(name);
        if (option == nullptr && name != L"--seconds") {
            error = L"unknown option " + name;
            return false;
        }
        const ValueShape shape = option != nullptr ? option->Shape : ValueShape::Count;
        if (shape != ValueShape::None && i + 1 == args.size()) {
            error = name + L" needs " + Expected(shape);
            return false;
        }
        const std::wstring value = shape != ValueShape::None ? args[++i] : std::wstring();
        if (option == nullptr) {
            int seconds = 0;
            if (!ParseNumber(value, seconds) || seconds == 0) {
                error = L"--seconds needs a whole number above 0, not " + value;
                return false;
            }
            options.Seconds = static_cast<unsigned>(seconds);
            continue;
        }
        HostStep step{option->Kind, std::wstring(), 0, 0, 0, 0, name};
        if (!ParseValue(shape, value, step)) {
            error = name + L" needs " + Expected(shape) + L", not " + value;
            return false;
        }
        if (shape != ValueShape::None) {
            step.Written += L" " + value;
        }
        options.Steps.push_back(step);
    }
    return true;
}

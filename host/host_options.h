// The Today host stand-in's command line: how long to run at most, and the
// steps it carries out one after another (waits for a state, screenshots,
// taps, a list choice, turning the screen).
#pragma once

#include <string>
#include <vector>

enum class HostStepKind {
    Wait,       // Number: milliseconds
    WaitLine,   // Text: a piece of a log line the host writes after the step began
    WaitWindow, // Text: the caption of a window of the host's that takes input
    WaitGone,   // Text: the caption of a window that is to be gone
    Shot,       // Text: the PNG file
    Tap,        // X, Y: a point on the screen
    TapClient,  // X, Y: a point in the client area of the window waited for last
    TapControl, // Number: the id of a control in that window, tapped in its middle
    Choose,     // Number: the id of a list in that window; Entry: the entry to choose
    Turn,       // the screen to landscape
    Close,      // the host, with success
};

struct HostStep {
    HostStepKind Kind;
    std::wstring Text;
    int Number;
    int X;
    int Y;
    int Entry;
    std::wstring Written; // the option and its value as given, for the log
};

struct HostOptions {
    unsigned Seconds = 0; // 0: until closed
    bool Landscape = false;
    bool Help = false;
    std::vector<HostStep> Steps;
};

// Parses the arguments after the program name. Returns false with a message
// in error when an option is unknown, lacks its value or has a malformed one.
bool ParseHostOptions(const std::vector<std::wstring>& args, HostOptions& options,
                      std::wstring& error);

extern const char HostUsage[];

// The Today host stand-in's command line: how long to run, and the timed
// events (screenshots, taps, turning the screen) it carries out.
#pragma once

#include <string>
#include <vector>

enum class HostEventKind { Shot, Tap, Landscape };

struct HostEvent {
    HostEventKind Kind;
    unsigned DelayMs;  // from the moment the host window exists
    std::wstring Path; // Shot: the PNG file
    int X;             // Tap: the point in screen coordinates
    int Y;
};

struct HostOptions {
    unsigned Seconds = 0; // 0: until closed
    bool Landscape = false;
    bool Help = false;
    std::vector<HostEvent> Events;
};

// Parses the arguments after the program name. Returns false with a message
// in error when an option is unknown, lacks its value or has a malformed one.
bool ParseHostOptions(const std::vector<std::wstring>& args, HostOptions& options,
                      std::wstring& error);

extern const char HostUsage[];

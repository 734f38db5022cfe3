// Host event log on stdout, kept in memory as well for the steps that wait
// for a line.
#include "host_log.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Lines;

} // namespace

void HostLogAfter(const char* beginning, const char* format, va_list arguments) {
    char rest[1024];
    std::vsnprintf(rest, sizeof(rest), format, arguments);
    Lines.push_back(std::string(beginning) + rest);
    std::puts(Lines.back().c_str());
    std::fflush(stdout);
}

void HostLog(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    HostLogAfter("", format, arguments);
    va_end(arguments);
}

size_t HostLogLength() {
    return Lines.size();
}

bool HostLogHolds(const char* text, size_t first) {
    for (size_t i = first; i < Lines.size(); ++i) {
        if (Lines[i].find(text) != std::string::npos) {
            return true;
        }
    }
    return false;
}

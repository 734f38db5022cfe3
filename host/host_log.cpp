// Host event log on stdout, kept in memory as well for the steps that wait
// for a line.
#include "host_log.h"

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Lines;

} // namespace

void HostLog(const char* format, ...) {
    char line[1024];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(line, sizeof(line), format, arguments);
    va_end(arguments);
    Lines.emplace_back(line);
    std::puts(line);
    std::fflush(stdout);
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

// Host event log on stdout.
#include "host_log.h"

#include <cstdarg>
#include <cstdio>

void HostLog(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::vprintf(format, arguments);
    va_end(arguments);
    std::putchar('\n');
    std::fflush(stdout);
}

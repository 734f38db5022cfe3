// One line per host event on stdout, flushed at once, for people and tests;
// the host's own steps wait for lines of it too.
#pragma once

#include <cstdarg>
#include <cstddef>

void HostLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The same with a fixed beginning of the line before the formatted part.
void HostLogAfter(const char* beginning, const char* format, va_list arguments)
    __attribute__((format(printf, 2, 0)));

// How many lines the host has logged so far.
size_t HostLogLength();
// Whether a line from index first on holds text.
bool HostLogHolds(const char* text, size_t first);

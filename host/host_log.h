// One line per host event on stdout, flushed at once, for people and tests.
#pragma once

void HostLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

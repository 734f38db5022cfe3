// Counting a process's own threads by the routine they were started with;
// the platform may add threads of its own at any time, so nothing else tells.
#pragma once

#include <windows.h>

// Live threads of this process started at the routine, or -1 when they
// cannot be listed.
int ThreadsStartedAt(const void* routine);

// Counting a process's own threads by the routine they were started with;
// the platform may add threads of its own at any time, so nothing else tells.
#pragma once

#include <windows.h>

// Live threads of this process started at the routine, or -1 when they
// cannot be listed.
int ThreadsStartedAt(const void* routine);
// A handle that can be waited on to one live thread started at the routine,
// or null when there is none or threads cannot be listed.
HANDLE OpenThreadStartedAt(const void* routine);

// Wine keeps thread priorities to itself, so an idle-priority thread competes
// with normal ones. This bridge makes THREAD_PRIORITY_IDLE reach the Linux
// scheduler as SCHED_IDLE for the threads of one module, as it would on the
// device's own scheduler, and any other priority set on such a thread, by
// itself or by another thread through a real handle, brings it back to
// SCHED_OTHER. Installed by the programs that host the item.
#pragma once

#include <windows.h>

// Redirects module's import of SetThreadPriority; a thread lowered to the
// idle priority must lower itself. Returns false when the
// module imports no SetThreadPriority or the process does not run under Wine.
bool BridgeThreadPriorities(HMODULE module);
// Whether a thread of this process can leave Linux's idle class again, which
// needs root, CAP_SYS_NICE or an RLIMIT_NICE of 20; without it a thread
// raised from the idle priority stays in SCHED_IDLE.
bool LinuxIdleClassIsReversible();
// Points every import slot of module for the named function at replacement.
// Returns false when the module imports no such function.
bool PatchImport(HMODULE module, const char* name, void* replacement);

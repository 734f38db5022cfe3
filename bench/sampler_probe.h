// Watches the item's sampler from inside: the sampler reads its own
// processor time once before and once after every spin, through this
// program's import of GetThreadTimes, and a hook on that import records each
// spin's window exactly, with the kernel's figures at both ends and what the
// sampler published after it. A hook on GlobalMemoryStatus takes the memory
// figures of the moment the sampler asked for its own.
#pragma once

#include <windows.h>

#include <vector>

#include "kernel_counters.h"

struct SpinRecord {
    DWORD thread;
    int tag; // what the spin-end handler returned for this spin
    LARGE_INTEGER startTime;
    LARGE_INTEGER endTime;
    // Core 0, read in the sampler's thread right after its own reads, and
    // memory, read right after the sampler's own memory status call, when
    // the probe was installed with kernel figures.
    CoreTimes startCore;
    CoreTimes endCore;
    MemoryFigures memory;
    // The memory load the probe read for itself (GlobalMemoryStatusEx, used
    // over total physical memory, not truncated) right after the sampler's own
    // memory status call; -1 when the sampler made none after the spin.
    double platformMemoryLoad;
    // The sampler's own times in clock ticks, as it read them.
    double startUser;
    double endUser;
    double startTotal;
    double endTotal;
    // Publishes between this spin's end and the next spin's start: 2 when the
    // spin published (its own and the sleeping period's repeat), 1 when not.
    int publishesAfter;
    // The newest samples when the next spin started: the spin's own values
    // when it published, the ones before it when it did not.
    int cpuAfter;
    int memoryAfter;
};

// Runs in the sampler's thread at the end of every spin, before the spin's
// publish; its result tags the spin.
typedef int (*SpinEndHandler)();
// Runs in the sampler's thread at the start of every spin, before the spin
// first reads its interval.
typedef void (*SpinStartHandler)();

// Redirects this program's import of GetThreadTimes; a call with the
// current-thread pseudo-handle is the sampler's (nothing else here makes one).
// With kernel figures it also redirects GlobalMemoryStatus.
bool InstallSamplerProbe(bool readKernelFigures, SpinEndHandler onSpinEnd,
                         SpinStartHandler onSpinStart = nullptr);
// The spins completed (up to the start of the spin after them) since the
// last call, oldest first.
std::vector<SpinRecord> TakeSpinRecords();

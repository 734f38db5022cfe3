// Live sampling demo: runs the item's sampler in this process and prints each
// published processor and memory sample, until the Today host can show the
// item itself.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "histories.h"
#include "load_sampler.h"
#include "screen_metrics.h"
#include "settings.h"
#include "thread_priority_bridge.h"

int main(int argc, char** argv) {
    BridgeThreadPriorities(GetModuleHandleW(nullptr));
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    ReadScreenDpi();
    LoadSettings();
    CpuHistory = std::make_unique<SampleHistory>(241);
    MemoryHistory = std::make_unique<SampleHistory>(241);
    StartLoadSampler();
    int shown = 0;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < static_cast<DWORD>(seconds) * 1000) {
        Sleep(50);
        ScopedLock guard(HistoryLock);
        for (; shown < CpuHistory->Count(); ++shown) {
            std::printf(" CPU: %d%% Mem: %d%% used\n", CpuHistory->At(shown),
                        MemoryHistory->At(shown));
            std::fflush(stdout);
        }
    }
    StopLoadSampler();
    return 0;
}

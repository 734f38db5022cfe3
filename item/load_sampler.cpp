// The load sampler: an idle-priority thread that spins through one interval
// and takes the processor time it received as the interval's idle time.
#include "load_sampler.h"

#include "device_values.h"
#include "histories.h"
#include "item_state.h"
#include "item_window.h"
#include "load_arithmetic.h"
#include "screen_metrics.h"
#include "settings.h"

std::atomic<LONG> SamplerRunning{1};
std::atomic<LONG> SamplerExited{0};
std::atomic<HANDLE> SamplerThread{nullptr};

namespace {

// Set by the window when it creates the thread, so that a stop waits only
// for a sampler that exists.
std::atomic<LONG> SamplerStarted{0};
// Signalled with a stop request, so that a sleeping period ends at once.
HANDLE StopSignal = nullptr;
// A real handle to the started sampler, kept until it has exited: a stop
// raises the thread through it, since at the idle priority it would see the
// request only when nothing else wants the processor.
HANDLE SamplerHandle = nullptr;

uint64_t UserTime(HANDLE thread) {
    FILETIME creation, exit, kernel, user;
    user.dwLowDateTime = 0;
    user.dwHighDateTime = 0;
    GetThreadTimes(thread, &creation, &exit, &kernel, &user);
    return (static_cast<uint64_t>(user.dwHighDateTime) << 32) | user.dwLowDateTime;
}

DWORD CurrentInterval() {
    return IntervalMilliseconds[SettingOrDefault(&Settings::SampleInterval)];
}

// Spins, never sleeping or yielding, until one interval has passed or a stop
// is requested; returns the elapsed milliseconds by the last tick read.
DWORD SpinOneInterval() {
    const DWORD start = GetTickCount();
    DWORD now = start;
    while (now - start < CurrentInterval() && SamplerRunning.load() != 0) {
        now = GetTickCount();
    }
    return now - start;
}

void Publish(int8_t cpu, int memory) {
    ScopedLock guard(HistoryLock);
    if (CpuHistory) {
        CpuHistory->Push(cpu);
    }
    if (MemoryHistory) {
        MemoryHistory->Push(memory);
    }
    if (--GridScrollOffset < 0) {
        GridScrollOffset = ScaleX(10) - 1;
    }
    InvalidateItemWindows();
}

int MeasureMemory() {
    MEMORYSTATUS status;
    status.dwLength = sizeof(status);
    status.dwTotalPhys = 0;
    status.dwAvailPhys = 0;
    GlobalMemoryStatus(&status);
    return MemoryLoadPercent(status.dwAvailPhys, status.dwTotalPhys);
}

} // namespace

DWORD WINAPI LoadSampler(LPVOID library) {
    SamplerThread = GetCurrentThread();
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_IDLE);
    // A stop that raised this thread before it lowered itself was undone above.
    if (SamplerRunning.load() == 0) {
        SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_NORMAL);
    }
    // SamplerRunning was armed by the starter; arming it here again would undo
    // a stop requested before this thread first ran.
    int8_t lastCpu = 0;
    int lastMemory = NotMeasured;
    SamplerExited = 0;
    bool measuring = true;
    do {
        bool publish = true;
        if (measuring) {
            const uint64_t userStart = UserTime(SamplerThread);
            const DWORD elapsed = SpinOneInterval();
            const uint64_t userEnd = UserTime(SamplerThread);
            const CpuLoadResult cpu = CpuLoadOfPeriod(userEnd - userStart, elapsed);
            publish = cpu.valid;
            if (cpu.valid) {
                lastCpu = cpu.load;
                lastMemory = ItemSettings.DisplayMemory != 0 ? MeasureMemory() : NotMeasured;
            }
        } else {
            WaitForSingleObject(StopSignal, CurrentInterval());
        }
        // Memory switched on since the last measurement is read now, so that
        // its first figure comes with this publish rather than the next.
        if (lastMemory == NotMeasured && ItemSettings.DisplayMemory != 0) {
            lastMemory = MeasureMemory();
        }
        if (publish) {
            Publish(lastCpu, lastMemory);
        }
        measuring = !measuring;
    } while (SamplerRunning.load() != 0);
    SamplerExited = 1;
    // A stop returns once the word above is set, and the host may then free
    // the library at once: leave without running another line of it.
    if (library != nullptr) {
        FreeLibraryAndExitThread(static_cast<HMODULE>(library), 0);
    }
    return 0;
}

void StartLoadSampler() {
    if (StopSignal == nullptr) {
        StopSignal = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    ResetEvent(StopSignal);
    SamplerRunning = 1;
    SamplerExited = 0;
    SamplerStarted = 1;
    // The thread holds a reference of its own to the library it runs in, so
    // the library outlives the thread's last steps.
    HMODULE library = HoldLibrary();
    SamplerHandle = CreateThread(nullptr, 0, LoadSampler, library, 0, nullptr);
    if (SamplerHandle == nullptr) {
        if (library != nullptr) {
            FreeLibrary(library);
        }
        SamplerStarted = 0;
    }
}

void StopLoadSampler() {
    SamplerRunning = 0;
    if (StopSignal != nullptr) {
        SetEvent(StopSignal);
    }
    if (SamplerHandle != nullptr) {
        SetThreadPriority(SamplerHandle, THREAD_PRIORITY_NORMAL);
    }
    while (SamplerStarted.load() != 0 && SamplerExited.load() == 0) {
        Sleep(100);
    }
    if (SamplerHandle != nullptr) {
        CloseHandle(SamplerHandle);
        SamplerHandle = nullptr;
    }
}

void ReleaseLoadSampler() {
    if (StopSignal != nullptr) {
        CloseHandle(StopSignal);
        StopSignal = nullptr;
    }
}

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
HANDLE SamplerThread = nullptr;

namespace {

// Signalled with a stop request, so that a sleeping period ends at once.
HANDLE StopSignal = nullptr;

uint64_t Ticks(const FILETIME& time) {
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// The calling thread's whole processor time. Kernel time counts as well as
// user time: whether CE books the spin's kernel calls (GetTickCount) to the
// one or the other differs between its kernels, and either way it is time
// the idle thread was given.
ThreadTime ProcessorTime() {
    FILETIME creation, exit, kernel, user;
    if (!GetThreadTimes(GetCurrentThread(), &creation, &exit, &kernel, &user)) {
        return {false, 0};
    }
    return {true, Ticks(kernel) + Ticks(user)};
}

// A row kept by the thread: the interval is read afresh at every test of the
// spin, without a search of the settings table each time.
DWORD CurrentInterval(const SettingField& interval) {
    return IntervalMilliseconds[interval.Current()];
}

// Spins, never sleeping or yielding, until one interval has passed or a stop
// is requested; returns the elapsed milliseconds by the last tick read.
DWORD SpinOneInterval(const SettingField& interval) {
    const DWORD start = GetTickCount();
    DWORD now = start;
    while (now - start < CurrentInterval(interval) && SamplerRunning.load() != 0) {
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
    const SettingField& interval = FieldOf(&Settings::SampleInterval);
    bool measuring = true;
    do {
        bool publish = true;
        if (measuring) {
            const ThreadTime start = ProcessorTime();
            const DWORD elapsed = SpinOneInterval(interval);
            const ThreadTime end = ProcessorTime();
            const CpuLoadResult cpu = CpuLoadBetween(start, end, elapsed);
            publish = cpu.valid;
            if (cpu.valid) {
                lastCpu = cpu.load;
                lastMemory = ItemSettings.DisplayMemory != 0 ? MeasureMemory() : NotMeasured;
            }
        } else {
            WaitForSingleObject(StopSignal, CurrentInterval(interval));
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
    // The thread holds a reference of its own to the library it runs in, so
    // the library outlives the thread's last steps.
    HMODULE library = HoldLibrary();
    SamplerThread = CreateThread(nullptr, 0, LoadSampler, library, 0, nullptr);
    if (SamplerThread == nullptr && library != nullptr) {
        FreeLibrary(library);
    }
}

void StopLoadSampler() {
    SamplerRunning = 0;
    if (StopSignal != nullptr) {
        SetEvent(StopSignal);
    }
    if (SamplerThread == nullptr) {
        return;
    }
    // At the idle priority the thread would see the request only when nothing
    // else wants the processor.
    SetThreadPriority(SamplerThread, THREAD_PRIORITY_NORMAL);
    while (SamplerExited.load() == 0) {
        Sleep(100);
    }
    CloseHandle(SamplerThread);
    SamplerThread = nullptr;
}

void ReleaseLoadSampler() {
    if (StopSignal != nullptr) {
        CloseHandle(StopSignal);
        StopSignal = nullptr;
    }
}

// The import hook on GetThreadTimes.
#include "sampler_probe.h"

#include <cstdint>

#include "histories.h"
#include "item_harness.h"
#include "thread_priority_bridge.h"

namespace {

using GetThreadTimesFunction = BOOL(WINAPI*)(HANDLE, LPFILETIME, LPFILETIME, LPFILETIME,
                                             LPFILETIME);
GetThreadTimesFunction RealGetThreadTimes = nullptr;
bool ReadKernelFigures = false;

SpinEndHandler OnSpinEnd = nullptr;
SpinStartHandler OnSpinStart = nullptr;

CriticalSectionLock RecordsLock;
std::vector<SpinRecord> Records;
// Only the sampler thread touches these: its reads alternate start and end.
SpinRecord Current;
bool SpinOpen = false;
SpinRecord Ended;
bool EndedWaiting = false;
int32_t EndedWriteIndex = 0;
const SampleHistory* EndedHistory = nullptr;

struct HistoryState {
    const SampleHistory* history;
    int32_t writeIndex;
    int32_t capacity;
    int cpu;
    int memory;
};

HistoryState ReadHistoryState() {
    ScopedLock guard(HistoryLock);
    HistoryState state = {CpuHistory.get(), 0, 1, -1, -1};
    if (CpuHistory) {
        state.writeIndex = CpuHistory->WriteIndex();
        state.capacity = CpuHistory->Capacity();
        state.cpu = CpuHistory->Count() > 0 ? CpuHistory->At(CpuHistory->Count() - 1) : -1;
    }
    if (MemoryHistory && MemoryHistory->Count() > 0) {
        state.memory = MemoryHistory->At(MemoryHistory->Count() - 1);
    }
    return state;
}

// The spin that ended before this start call is complete now.
void CompleteEnded(const HistoryState& state) {
    if (!EndedWaiting || Ended.thread != GetCurrentThreadId() || EndedHistory != state.history) {
        EndedWaiting = false;
        return;
    }
    Ended.publishesAfter = (state.writeIndex - EndedWriteIndex + state.capacity) % state.capacity;
    Ended.cpuAfter = state.cpu;
    Ended.memoryAfter = state.memory;
    EndedWaiting = false;
    ScopedLock guard(RecordsLock);
    Records.push_back(Ended);
}

BOOL WINAPI ProbedGetThreadTimes(HANDLE thread, LPFILETIME creation, LPFILETIME exit,
                                 LPFILETIME kernel, LPFILETIME user) {
    const BOOL done = RealGetThreadTimes(thread, creation, exit, kernel, user);
    if (thread != GetCurrentThread() || !done) {
        return done;
    }
    const LARGE_INTEGER now = Now();
    const CoreTimes core = ReadKernelFigures ? ReadCoreTimes(0) : CoreTimes{false, 0, 0};
    const double userTicks = FileTimeTicks(*user);
    const double totalTicks = FileTimeTicks(*user) + FileTimeTicks(*kernel);
    const HistoryState state = ReadHistoryState();
    // A new sampler thread starts with a new pair.
    if (!SpinOpen || Current.thread != GetCurrentThreadId()) {
        CompleteEnded(state);
        Current.thread = GetCurrentThreadId();
        Current.startTime = now;
        Current.startCore = core;
        Current.startUser = userTicks;
        Current.startTotal = totalTicks;
        SpinOpen = true;
        if (OnSpinStart != nullptr) {
            OnSpinStart();
        }
        return done;
    }
    Current.endTime = now;
    Current.endCore = core;
    Current.endUser = userTicks;
    Current.endTotal = totalTicks;
    Current.memory = MemoryFigures{};
    Current.platformMemoryLoad = -1;
    Current.tag = OnSpinEnd != nullptr ? OnSpinEnd() : 0;
    SpinOpen = false;
    Ended = Current;
    EndedWaiting = true;
    EndedWriteIndex = state.writeIndex;
    EndedHistory = state.history;
    return done;
}

using GlobalMemoryStatusFunction = void(WINAPI*)(LPMEMORYSTATUS);
GlobalMemoryStatusFunction RealGlobalMemoryStatus = nullptr;

// The sampler's memory query comes after its second read of the spin, before
// its publish. The probe reads the platform's figures for itself at once, by
// another call and its own arithmetic, and the kernel's after them, so the
// item's value is judged against the same moment, not against what it was
// handed.
void WINAPI ProbedGlobalMemoryStatus(LPMEMORYSTATUS status) {
    RealGlobalMemoryStatus(status);
    if (!EndedWaiting || Ended.thread != GetCurrentThreadId()) {
        return;
    }
    MEMORYSTATUSEX own;
    own.dwLength = sizeof(own);
    if (!GlobalMemoryStatusEx(&own) || own.ullTotalPhys == 0) {
        return;
    }
    Ended.memory = ReadMemoryFigures();
    Ended.platformMemoryLoad = 100.0 * static_cast<double>(own.ullTotalPhys - own.ullAvailPhys) /
                               static_cast<double>(own.ullTotalPhys);
}

} // namespace

bool InstallSamplerProbe(bool readKernelFigures, SpinEndHandler onSpinEnd,
                         SpinStartHandler onSpinStart) {
    ReadKernelFigures = readKernelFigures;
    OnSpinEnd = onSpinEnd;
    OnSpinStart = onSpinStart;
    const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    const HMODULE self = GetModuleHandleW(nullptr);
    RealGetThreadTimes = reinterpret_cast<GetThreadTimesFunction>(
        reinterpret_cast<void*>(GetProcAddress(kernel32, "GetThreadTimes")));
    if (RealGetThreadTimes == nullptr ||
        !PatchImport(self, "GetThreadTimes", reinterpret_cast<void*>(&ProbedGetThreadTimes))) {
        return false;
    }
    if (!readKernelFigures) {
        return true;
    }
    RealGlobalMemoryStatus = reinterpret_cast<GlobalMemoryStatusFunction>(
        reinterpret_cast<void*>(GetProcAddress(kernel32, "GlobalMemoryStatus")));
    return RealGlobalMemoryStatus != nullptr &&
           PatchImport(self, "GlobalMemoryStatus",
                       reinterpret_cast<void*>(&ProbedGlobalMemoryStatus));
}

std::vector<SpinRecord> TakeSpinRecords() {
    ScopedLock guard(RecordsLock);
    std::vector<SpinRecord> taken;
    taken.swap(Records);
    return taken;
}

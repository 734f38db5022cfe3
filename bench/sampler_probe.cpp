// The import hook on GetThreadTimes.
#include "sampler_probe.h"

#include <cstdint>
#include <cstring>

#include "histories.h"
#include "item_harness.h"

namespace {

using GetThreadTimesFunction = BOOL(WINAPI*)(HANDLE, LPFILETIME, LPFILETIME, LPFILETIME,
                                             LPFILETIME);
GetThreadTimesFunction RealGetThreadTimes = nullptr;
bool ReadKernelFigures = false;

SpinEndHandler OnSpinEnd = nullptr;

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
        return done;
    }
    Current.endTime = now;
    Current.endCore = core;
    Current.endUser = userTicks;
    Current.endTotal = totalTicks;
    Current.memory = ReadKernelFigures ? ReadMemoryFigures() : MemoryFigures{};
    Current.tag = OnSpinEnd != nullptr ? OnSpinEnd() : 0;
    SpinOpen = false;
    Ended = Current;
    EndedWaiting = true;
    EndedWriteIndex = state.writeIndex;
    EndedHistory = state.history;
    return done;
}

bool PatchImport(HMODULE module, const char* name, void* replacement) {
    auto* base = reinterpret_cast<BYTE*>(module);
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (dir.VirtualAddress == 0) {
        return false;
    }
    bool patched = false;
    for (auto* desc = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
         desc->Name != 0; ++desc) {
        if (desc->OriginalFirstThunk == 0) {
            continue;
        }
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) {
                continue;
            }
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), name) != 0) {
                continue;
            }
            DWORD old = 0;
            VirtualProtect(&slots->u1.Function, sizeof(slots->u1.Function), PAGE_READWRITE, &old);
            slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
            VirtualProtect(&slots->u1.Function, sizeof(slots->u1.Function), old, &old);
            patched = true;
        }
    }
    return patched;
}

} // namespace

bool InstallSamplerProbe(bool readKernelFigures, SpinEndHandler onSpinEnd) {
    ReadKernelFigures = readKernelFigures;
    OnSpinEnd = onSpinEnd;
    RealGetThreadTimes = reinterpret_cast<GetThreadTimesFunction>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetThreadTimes")));
    return RealGetThreadTimes != nullptr &&
           PatchImport(GetModuleHandleW(nullptr), "GetThreadTimes",
                       reinterpret_cast<void*>(&ProbedGetThreadTimes));
}

std::vector<SpinRecord> TakeSpinRecords() {
    ScopedLock guard(RecordsLock);
    std::vector<SpinRecord> taken;
    taken.swap(Records);
    return taken;
}

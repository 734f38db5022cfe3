// Import-table redirection of SetThreadPriority to add the Linux idle class.
#include "thread_priority_bridge.h"

#include <cstring>

namespace {

bool RunningUnderWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

const long long LinuxSchedSetScheduler = 144;
const long long LinuxSchedGetScheduler = 145;
const long long LinuxGetTid = 186;
const long long SchedOther = 0;
const long long SchedIdle = 5;
const long long SchedResetOnFork = 0x40000000;

// Code of a Windows program runs natively under Wine, so a raw system call
// reaches the Linux kernel directly.
long long LinuxCall(long long number, long long a = 0, long long b = 0, const void* c = nullptr) {
    long long result;
    __asm__ volatile("syscall"
                     : "=a"(result)
                     : "a"(number), "D"(a), "S"(b), "d"(c)
                     : "rcx", "r11", "memory");
    return result;
}

// sched_setscheduler(linuxThread, policy), 0 naming the calling thread.
// Leaving the idle class needs CAP_SYS_NICE or an RLIMIT_NICE of 20.
void LinuxSetScheduling(long long linuxThread, long long policy) {
    const int priority = 0;
    LinuxCall(LinuxSchedSetScheduler, linuxThread, policy, &priority);
}

bool LinuxIsIdle(long long linuxThread) {
    return (LinuxCall(LinuxSchedGetScheduler, linuxThread) & ~SchedResetOnFork) == SchedIdle;
}

// A thread that the bridge puts into the idle class. Wine tells no thread the
// Linux id of another, so each thread notes its own just before it goes
// idle; its creation time tells it from a later thread that reuses its
// Windows id.
struct IdleThread {
    DWORD windowsId;
    ULONGLONG created;
    long long linuxId;
};

const int IdleThreadSlots = 64;
IdleThread IdleThreads[IdleThreadSlots];
int NextSlot = 0;
SRWLOCK IdleThreadsLock = SRWLOCK_INIT;

using GetThreadTimesFunction = BOOL(WINAPI*)(HANDLE, LPFILETIME, LPFILETIME, LPFILETIME,
                                             LPFILETIME);
// Taken from kernel32 itself: the benchmarks watch the sampler's own calls
// through the program's import of it.
GetThreadTimesFunction KernelGetThreadTimes = nullptr;

ULONGLONG CreationTime(HANDLE thread) {
    FILETIME creation = {}, exit, kernel, user;
    KernelGetThreadTimes(thread, &creation, &exit, &kernel, &user);
    return (static_cast<ULONGLONG>(creation.dwHighDateTime) << 32) | creation.dwLowDateTime;
}

// Notes the calling thread; a thread that ended while idle leaves its slot
// behind, so a full table takes the slots round in turn.
void NoteIdle(DWORD windowsId, ULONGLONG created) {
    AcquireSRWLockExclusive(&IdleThreadsLock);
    int slot = -1;
    for (int i = 0; i < IdleThreadSlots && slot < 0; ++i) {
        if (IdleThreads[i].windowsId == windowsId || IdleThreads[i].windowsId == 0) {
            slot = i;
        }
    }
    if (slot < 0) {
        slot = NextSlot;
        NextSlot = (NextSlot + 1) % IdleThreadSlots;
    }
    IdleThreads[slot] = {windowsId, created, LinuxCall(LinuxGetTid)};
    ReleaseSRWLockExclusive(&IdleThreadsLock);
}

// The Linux id of a thread noted as idle, taken out of the table; 0 when the
// thread is not there.
long long TakeIdle(DWORD windowsId, ULONGLONG created) {
    AcquireSRWLockExclusive(&IdleThreadsLock);
    long long linuxId = 0;
    for (IdleThread& noted : IdleThreads) {
        if (noted.windowsId == windowsId && noted.created == created) {
            linuxId = noted.linuxId;
            noted = IdleThread();
        }
    }
    ReleaseSRWLockExclusive(&IdleThreadsLock);
    return linuxId;
}

bool StillRunning(HANDLE thread) {
    DWORD exitCode = 0;
    return GetExitCodeThread(thread, &exitCode) && exitCode == STILL_ACTIVE;
}

// Brings another thread back to SCHED_OTHER. A thread noted as idle may not
// have made its own switch yet; it runs in the normal class until it has, so
// the wait is short. A thread that has ended may have left its Linux id to
// another; a live one holds it.
void RaiseOther(HANDLE thread, long long linuxId) {
    const DWORD start = GetTickCount();
    while (StillRunning(thread) && !LinuxIsIdle(linuxId) && GetTickCount() - start < 1000) {
        Sleep(1);
    }
    if (StillRunning(thread)) {
        LinuxSetScheduling(linuxId, SchedOther);
    }
}

DWORD WINAPI TryLeavingIdle(LPVOID) {
    LinuxSetScheduling(0, SchedIdle);
    LinuxSetScheduling(0, SchedOther);
    return LinuxIsIdle(0) ? 0 : 1;
}

using SetThreadPriorityFunction = BOOL(WINAPI*)(HANDLE, int);
// Taken from kernel32 itself: calls from this module may go through the very
// import slot that the bridge redirects.
SetThreadPriorityFunction OriginalSetThreadPriority = nullptr;

BOOL WINAPI BridgedSetThreadPriority(HANDLE thread, int priority) {
    const BOOL done = OriginalSetThreadPriority(thread, priority);
    if (!done) {
        return done;
    }
    const DWORD windowsId = GetThreadId(thread);
    const bool self = thread == GetCurrentThread() || windowsId == GetCurrentThreadId();
    const ULONGLONG created = CreationTime(thread);
    if (priority == THREAD_PRIORITY_IDLE) {
        // Only the thread itself can name its Linux id; once idle it may not
        // run again for a long time, so it notes the id first.
        if (self) {
            NoteIdle(windowsId, created);
            LinuxSetScheduling(0, SchedIdle);
        }
        return done;
    }
    const long long linuxId = TakeIdle(windowsId, created);
    if (linuxId == 0) {
        return done;
    }
    if (self) {
        LinuxSetScheduling(0, SchedOther);
    } else {
        RaiseOther(thread, linuxId);
    }
    return done;
}

} // namespace

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

bool BridgeThreadPriorities(HMODULE module) {
    if (module == nullptr || !RunningUnderWine()) {
        return false;
    }
    if (OriginalSetThreadPriority == nullptr) {
        HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
        OriginalSetThreadPriority = reinterpret_cast<SetThreadPriorityFunction>(
            reinterpret_cast<void*>(GetProcAddress(kernel32, "SetThreadPriority")));
        KernelGetThreadTimes = reinterpret_cast<GetThreadTimesFunction>(
            reinterpret_cast<void*>(GetProcAddress(kernel32, "GetThreadTimes")));
    }
    return PatchImport(module, "SetThreadPriority",
                       reinterpret_cast<void*>(&BridgedSetThreadPriority));
}

bool LinuxIdleClassIsReversible() {
    if (!RunningUnderWine()) {
        return false;
    }
    HANDLE probe = CreateThread(nullptr, 0, TryLeavingIdle, nullptr, 0, nullptr);
    if (probe == nullptr) {
        return false;
    }
    WaitForSingleObject(probe, INFINITE);
    DWORD left = 0;
    GetExitCodeThread(probe, &left);
    CloseHandle(probe);
    return left != 0;
}

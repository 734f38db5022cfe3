// Import-table redirection of SetThreadPriority to add the Linux idle class.
#include "thread_priority_bridge.h"

#include <cstring>

namespace {

bool RunningUnderWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// Code of a Windows program runs natively under Wine, so a raw system call
// reaches the Linux kernel directly: sched_setscheduler(0, SCHED_IDLE).
long LinuxSetIdleScheduling() {
    struct {
        int priority;
    } param = {0};
    long long result;
    __asm__ volatile("syscall"
                     : "=a"(result)
                     : "a"(144LL), "D"(0LL), "S"(5LL), "d"(&param)
                     : "rcx", "r11", "memory");
    return static_cast<long>(result);
}

using SetThreadPriorityFunction = BOOL(WINAPI*)(HANDLE, int);
// Taken from kernel32 itself: calls from this module may go through the very
// import slot that the bridge redirects.
SetThreadPriorityFunction OriginalSetThreadPriority = nullptr;

BOOL WINAPI BridgedSetThreadPriority(HANDLE thread, int priority) {
    const BOOL done = OriginalSetThreadPriority(thread, priority);
    const bool self = thread == GetCurrentThread() || GetThreadId(thread) == GetCurrentThreadId();
    if (done && priority == THREAD_PRIORITY_IDLE && self) {
        LinuxSetIdleScheduling();
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
        OriginalSetThreadPriority =
            reinterpret_cast<SetThreadPriorityFunction>(reinterpret_cast<void*>(
                GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetThreadPriority")));
    }
    return PatchImport(module, "SetThreadPriority",
                       reinterpret_cast<void*>(&BridgedSetThreadPriority));
}

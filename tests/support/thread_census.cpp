// Thread census through a snapshot and each thread's start address.
#include "thread_census.h"

#include <tlhelp32.h>

namespace {

typedef LONG(WINAPI* QueryThreadFunction)(HANDLE, int, PVOID, ULONG, PULONG);

// Calls found(id) for each live thread of this process started at the
// routine, until it returns false; false when threads cannot be listed.
template <typename Found> bool ForThreadsStartedAt(const void* routine, Found found) {
    const int ThreadQuerySetWin32StartAddress = 9;
    static const QueryThreadFunction query =
        reinterpret_cast<QueryThreadFunction>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationThread")));
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return false;
    }
    THREADENTRY32 entry;
    entry.dwSize = sizeof(entry);
    bool more = Thread32First(snapshot, &entry) != FALSE;
    for (; more; more = Thread32Next(snapshot, &entry) != FALSE) {
        if (entry.th32OwnerProcessID != GetCurrentProcessId()) {
            continue;
        }
        HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, entry.th32ThreadID);
        void* start = nullptr;
        if (thread != nullptr) {
            query(thread, ThreadQuerySetWin32StartAddress, &start, sizeof(start), nullptr);
            CloseHandle(thread);
        }
        if (start == routine && !found(entry.th32ThreadID)) {
            break;
        }
    }
    CloseHandle(snapshot);
    return true;
}

} // namespace

int ThreadsStartedAt(const void* routine) {
    int found = 0;
    const auto count = [&found](DWORD) { return ++found > 0; };
    return ForThreadsStartedAt(routine, count) ? found : -1;
}

HANDLE OpenThreadStartedAt(const void* routine) {
    HANDLE opened = nullptr;
    ForThreadsStartedAt(routine, [&](DWORD id) {
        opened = OpenThread(SYNCHRONIZE, FALSE, id);
        return opened == nullptr;
    });
    return opened;
}

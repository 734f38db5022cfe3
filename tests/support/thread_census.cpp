// Thread census through a snapshot and each thread's start address.
#include "thread_census.h"

#include <tlhelp32.h>

namespace {

typedef LONG(WINAPI* QueryThreadFunction)(HANDLE, int, PVOID, ULONG, PULONG);

} // namespace

int ThreadsStartedAt(const void* routine) {
    const int ThreadQuerySetWin32StartAddress = 9;
    static const QueryThreadFunction query =
        reinterpret_cast<QueryThreadFunction>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationThread")));
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return -1;
    }
    THREADENTRY32 entry;
    entry.dwSize = sizeof(entry);
    int found = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != GetCurrentProcessId()) {
            continue;
        }
        HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, entry.th32ThreadID);
        void* start = nullptr;
        if (thread != nullptr) {
            query(thread, ThreadQuerySetWin32StartAddress, &start, sizeof(start), nullptr);
            CloseHandle(thread);
        }
        found += start == routine ? 1 : 0;
    }
    CloseHandle(snapshot);
    return found;
}

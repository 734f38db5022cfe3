// Counting GDI objects, handles and private bytes.
//
// Wine 8 answers GetGuiResources and GetProcessHandleCount with 0 and leaves
// PrivateUsage 0, so each has a fallback that reads the real thing: the GDI
// handle table that the PEB points to (one entry per handle slot; Wine keeps
// a freed slot's type and generation, links it into its free list through
// the object field, and clears only the type byte after them), a probe of
// every handle value with GetHandleInformation, and PagefileUsage, which is
// the process's committed private memory on both systems.
#include "process_resources.h"

#include <windows.h>

#include <psapi.h>
#include <winternl.h>

#include <cstdint>

namespace {

struct GdiHandleEntry {
    uint64_t object;
    uint32_t owner;
    uint16_t unique;
    uint8_t extType;
    uint8_t flags;
    uint64_t userPointer;
};
static_assert(sizeof(GdiHandleEntry) == 24, "the 64-bit GDI handle entry");

const int GdiHandleSlots = 0x10000;
// PEB.GdiSharedHandleTable in the 64-bit layout.
const size_t GdiTableOffset = 0xF8;

bool UseGuiResources = false;
bool UseHandleCount = false;
bool UsePrivateUsage = false;
bool GdiCountable = false;
bool HandlesCountable = false;

long CountGdiTable() {
    PROCESS_BASIC_INFORMATION basic = {};
    if (NtQueryInformationProcess(GetCurrentProcess(), ProcessBasicInformation, &basic,
                                  sizeof(basic), nullptr) != 0) {
        return -1;
    }
    const BYTE* peb = reinterpret_cast<const BYTE*>(basic.PebBaseAddress);
    const GdiHandleEntry* table = *reinterpret_cast<GdiHandleEntry* const*>(peb + GdiTableOffset);
    if (table == nullptr) {
        return -1;
    }
    long live = 0;
    for (int i = 0; i < GdiHandleSlots; ++i) {
        live += table[i].extType != 0 ? 1 : 0;
    }
    return live;
}

long CountGdi() {
    if (UseGuiResources) {
        return static_cast<long>(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS));
    }
    return CountGdiTable();
}

// Handle values are multiples of 4; the probe stops well past the last one in use.
long ProbeHandles() {
    long open = 0;
    ULONG_PTR lastHit = 0;
    for (ULONG_PTR value = 4; value < (1u << 22) && value - lastHit < 0x4000; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) {
            ++open;
            lastHit = value;
        }
    }
    return open;
}

long CountHandles() {
    if (UseHandleCount) {
        DWORD count = 0;
        GetProcessHandleCount(GetCurrentProcess(), &count);
        return static_cast<long>(count);
    }
    return ProbeHandles();
}

double PrivateBytes() {
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                         sizeof(counters));
    return static_cast<double>(UsePrivateUsage ? counters.PrivateUsage : counters.PagefileUsage);
}

} // namespace

bool ProbeResourceMethods(std::string& methods) {
    const int Made = 8;
    UseGuiResources = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS) != 0;
    const long gdiBefore = CountGdi();
    HPEN pens[Made];
    for (HPEN& pen : pens) {
        pen = CreatePen(PS_SOLID, 1, RGB(1, 2, 3));
    }
    const long gdiWith = CountGdi();
    for (HPEN pen : pens) {
        DeleteObject(pen);
    }
    const long gdiAfter = CountGdi();
    GdiCountable = gdiBefore >= 0 && gdiWith - gdiBefore == Made && gdiAfter == gdiBefore;

    DWORD reported = 0;
    UseHandleCount = GetProcessHandleCount(GetCurrentProcess(), &reported) && reported != 0;
    const long handlesBefore = CountHandles();
    HANDLE events[Made];
    for (HANDLE& event : events) {
        event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    const long handlesWith = CountHandles();
    for (HANDLE event : events) {
        CloseHandle(event);
    }
    const long handlesAfter = CountHandles();
    HandlesCountable = handlesWith - handlesBefore == Made && handlesAfter == handlesBefore;

    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                         sizeof(counters));
    UsePrivateUsage = counters.PrivateUsage != 0;

    methods = std::string("GDI objects: ") +
              (UseGuiResources ? "GetGuiResources(GR_GDIOBJECTS)"
                               : "live entries of the GDI handle table (GetGuiResources gives 0)") +
              (GdiCountable ? "" : " [self-check failed]") + "; handles: " +
              (UseHandleCount ? "GetProcessHandleCount"
                              : "GetHandleInformation probe of every handle value "
                                "(GetProcessHandleCount gives 0)") +
              (HandlesCountable ? "" : " [self-check failed]") + "; private bytes: " +
              (UsePrivateUsage ? "PrivateUsage" : "PagefileUsage (PrivateUsage is 0)");
    return GdiCountable && HandlesCountable;
}

ResourceCounts CountResources() {
    ResourceCounts counts;
    counts.gdiObjects = GdiCountable ? CountGdi() : -1;
    counts.handles = HandlesCountable ? CountHandles() : -1;
    counts.privateBytes = PrivateBytes();
    return counts;
}

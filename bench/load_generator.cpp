// Duty-cycle load: spin for duty x period, then wait out the period. Periods
// follow a fixed schedule, so a late wake-up shortens the next period's rest
// rather than stretching the load.
#include "load_generator.h"

#include <windows.h>

#include <atomic>

namespace {

const double PeriodSeconds = 0.050;

std::atomic<int> Duty{0};
std::atomic<bool> Stopping{false};
HANDLE Changed = nullptr;
HANDLE Thread = nullptr;

double Seconds() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

DWORD WINAPI Generate(LPVOID) {
    double periodStart = Seconds();
    while (!Stopping.load()) {
        const int duty = Duty.load();
        const double busyEnd = periodStart + PeriodSeconds * duty / 100.0;
        bool restart = false;
        while (Seconds() < busyEnd) {
            if (Duty.load() != duty || Stopping.load()) {
                // The change's signal is spent here, not on the next rest.
                ResetEvent(Changed);
                restart = true;
                break;
            }
        }
        const double periodEnd = periodStart + PeriodSeconds;
        const double rest = periodEnd - Seconds();
        if (!restart && rest > 0 &&
            WaitForSingleObject(Changed, static_cast<DWORD>(rest * 1000.0 + 0.5)) ==
                WAIT_OBJECT_0) {
            restart = true;
        }
        periodStart = periodEnd;
        // A new duty, or a schedule fallen behind by more than a period, starts afresh.
        if (restart || Seconds() - periodStart > PeriodSeconds) {
            periodStart = Seconds();
        }
    }
    return 0;
}

} // namespace

void StartLoadGenerator(int dutyPercent) {
    Duty = dutyPercent;
    Stopping = false;
    Changed = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    Thread = CreateThread(nullptr, 0, Generate, nullptr, 0, nullptr);
}

void SetLoadDuty(int dutyPercent) {
    Duty = dutyPercent;
    SetEvent(Changed);
}

void StopLoadGenerator() {
    Stopping = true;
    SetEvent(Changed);
    WaitForSingleObject(Thread, INFINITE);
    CloseHandle(Thread);
    CloseHandle(Changed);
}

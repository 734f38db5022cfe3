// Result lines and the hang watchdog.
#include "bench_output.h"

#include <windows.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>

namespace {

std::atomic<DWORD> LastBeat{0};
std::atomic<const char*> Phase{"start"};
int WatchdogSeconds = 0;

// Tabs and line breaks would split a field.
std::string Clean(const std::string& text) {
    std::string out = text;
    for (char& c : out) {
        if (c == '\t' || c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    return out;
}

DWORD WINAPI Watchdog(LPVOID) {
    for (;;) {
        Sleep(500);
        if (GetTickCount() - LastBeat.load() > static_cast<DWORD>(WatchdogSeconds) * 1000) {
            std::printf("HANG\t%s\t%d\n", Phase.load(), WatchdogSeconds);
            std::fflush(stdout);
            ExitProcess(3);
        }
    }
}

} // namespace

void ReportRow(const std::string& name, double value, const std::string& unit,
               const std::string& compared, const std::string& target, const std::string& status,
               const std::string& note) {
    std::printf("ROW\t%s\t%.6g\t%s\t%s\t%s\t%s\t%s\n", Clean(name).c_str(), value,
                Clean(unit).c_str(), Clean(compared).c_str(), Clean(target).c_str(),
                Clean(status).c_str(), Clean(note).c_str());
    std::fflush(stdout);
}

void ReportNotMeasured(const std::string& name, const std::string& unit,
                       const std::string& compared, const std::string& target,
                       const std::string& reason) {
    std::printf("ROW\t%s\t\t%s\t%s\t%s\tnot measured: %s\t\n", Clean(name).c_str(),
                Clean(unit).c_str(), Clean(compared).c_str(), Clean(target).c_str(),
                Clean(reason).c_str());
    std::fflush(stdout);
}

const char* PassIf(bool met) {
    return met ? "pass" : "fail";
}

void ReportSample(const std::string& fields) {
    std::printf("SAMPLE\t%s\n", fields.c_str());
    std::fflush(stdout);
}

std::string Format(const char* format, ...) {
    char buffer[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof(buffer), format, args);
    va_end(args);
    return buffer;
}

void StartWatchdog(int seconds) {
    WatchdogSeconds = seconds;
    LastBeat = GetTickCount();
    HANDLE thread = CreateThread(nullptr, 0, Watchdog, nullptr, 0, nullptr);
    if (thread != nullptr) {
        CloseHandle(thread);
    }
}

void Heartbeat(const char* phase) {
    Phase = phase;
    LastBeat = GetTickCount();
}

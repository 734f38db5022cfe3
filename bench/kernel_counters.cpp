// Reading /proc through Wine's Z: drive.
#include "kernel_counters.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// /proc files report no size, so they are read until ReadFile gives nothing.
std::string ReadProcFile(const wchar_t* path) {
    std::string text;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return text;
    }
    char chunk[4096];
    DWORD got = 0;
    while (text.size() < 65536 && ReadFile(file, chunk, sizeof(chunk), &got, nullptr) && got > 0) {
        text.append(chunk, got);
    }
    CloseHandle(file);
    return text;
}

double MemoryField(const std::string& text, const char* name) {
    const size_t at = text.find(name);
    if (at == std::string::npos) {
        return -1;
    }
    return std::strtod(text.c_str() + at + std::strlen(name), nullptr);
}

} // namespace

CoreTimes ReadCoreTimes(int core) {
    CoreTimes times = {false, 0, 0};
    const std::string text = ReadProcFile(L"Z:\\proc\\stat");
    char label[16];
    std::snprintf(label, sizeof(label), "\ncpu%d ", core);
    const size_t at = text.find(label);
    if (at == std::string::npos) {
        return times;
    }
    const char* cursor = text.c_str() + at + std::strlen(label);
    unsigned long long field[8] = {};
    for (unsigned long long& f : field) {
        char* end = nullptr;
        f = std::strtoull(cursor, &end, 10);
        cursor = end;
    }
    const unsigned long long idle = field[3] + field[4];
    for (unsigned long long f : field) {
        times.total += f;
    }
    times.busy = times.total - idle;
    times.valid = true;
    return times;
}

MemoryFigures ReadMemoryFigures() {
    const std::string text = ReadProcFile(L"Z:\\proc\\meminfo");
    MemoryFigures figures;
    figures.totalKb = MemoryField(text, "MemTotal:");
    figures.availableKb = MemoryField(text, "MemAvailable:");
    figures.freeKb = MemoryField(text, "MemFree:");
    figures.buffersKb = MemoryField(text, "Buffers:");
    figures.cachedKb = MemoryField(text, "\nCached:");
    figures.valid = figures.totalKb > 0 && figures.availableKb >= 0 && figures.freeKb >= 0 &&
                    figures.buffersKb >= 0 && figures.cachedKb >= 0;
    return figures;
}

double KernelMemoryLoad(const MemoryFigures& figures) {
    return 100.0 * (figures.totalKb - figures.availableKb) / figures.totalKb;
}

double WineMemoryLoad(const MemoryFigures& figures) {
    const double available = figures.freeKb + figures.buffersKb + figures.cachedKb;
    return 100.0 * (figures.totalKb - available) / figures.totalKb;
}

double FileTimeTicks(const FILETIME& time) {
    const uint64_t units = (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return static_cast<double>(units) / 1e7 * TicksPerSecond;
}

double ThreadTicks(HANDLE thread) {
    FILETIME creation, exit, kernel, user;
    if (!GetThreadTimes(thread, &creation, &exit, &kernel, &user)) {
        return -1;
    }
    return FileTimeTicks(kernel) + FileTimeTicks(user);
}

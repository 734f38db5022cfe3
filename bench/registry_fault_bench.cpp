// Bad registry input: each kind of fault in the item's key, loaded while the
// item runs (a tap opens the options dialog, which loads; the cancel loads
// again), with what the item made of it and whether it went on sampling.
#include <cstdio>
#include <functional>
#include <vector>

#include "bench_output.h"
#include "item_harness.h"
#include "settings.h"
#include "suites.h"
#include "test_host_window.h"
#include "test_registry.h"

namespace {

const wchar_t* const Names[] = {L"WindowSize", L"SampleInterval", L"BackgroundColor",
                                L"GridColor",  L"SampleColor",    L"MemoryColor",
                                L"TextColor",  L"DisplayMode",    L"DisplayMemory"};
const char* const ShortNames[] = {"size", "interval", "bg",   "grid",  "cpu",
                                  "mem",  "text",     "mode", "memory"};
const int FieldCount = 9;
const int Defaults[FieldCount] = {2, 2, 0, 10, 3, 6, 1, 0, 1};
const int Lowest[FieldCount] = {0, 0, -1, -1, 0, 0, 0, 0, 0};
const int Highest[FieldCount] = {2, 4, 15, 15, 15, 15, 15, 1, 1};

std::atomic<int32_t> Settings::*const Fields[FieldCount] = {
    &Settings::WindowSize, &Settings::SampleInterval, &Settings::BackgroundColor,
    &Settings::GridColor,  &Settings::SampleColor,    &Settings::MemoryColor,
    &Settings::TextColor,  &Settings::DisplayMode,    &Settings::DisplayMemory};

struct FaultCase {
    const char* name;
    const char* what;
    std::function<void()> store;
    std::vector<int> expected;
};

void StoreEach(DWORD type, const void* data, DWORD size) {
    DeleteItemKey();
    CreateItemKey();
    for (const wchar_t* name : Names) {
        StoreRawValue(name, type, data, size);
    }
}

void StoreEachDword(const std::vector<DWORD>& values) {
    DeleteItemKey();
    CreateItemKey();
    for (int i = 0; i < FieldCount; ++i) {
        StoreDword(Names[i], values[i]);
    }
}

std::vector<int> Defaulted() {
    return std::vector<int>(Defaults, Defaults + FieldCount);
}

std::vector<FaultCase> Cases() {
    static const BYTE one4[4] = {1, 0, 0, 0};
    static const BYTE one8[8] = {1, 0, 0, 0, 0, 0, 0, 0};
    static const BYTE one2[2] = {1, 0};
    static const BYTE ff1[1] = {0xFF};
    static const wchar_t digit[] = L"1";
    static const wchar_t digits[] = L"12";
    std::vector<FaultCase> cases;
    cases.push_back({"key_missing", "no item key", [] { DeleteItemKey(); }, Defaulted()});
    cases.push_back({"values_missing", "the key with no values",
                     [] {
                         DeleteItemKey();
                         CreateItemKey();
                     },
                     Defaulted()});
    cases.push_back({"wrong_type_binary_4_bytes", "REG_BINARY 01 00 00 00 in every value",
                     [] { StoreEach(REG_BINARY, one4, sizeof(one4)); }, std::vector<int>(9, 1)});
    cases.push_back({"wrong_type_string_4_bytes", "REG_SZ \"1\" (4 bytes: 0x31 0 0 0 = 49)",
                     [] { StoreEach(REG_SZ, digit, sizeof(digit)); }, Defaulted()});
    cases.push_back({"wrong_type_string_6_bytes", "REG_SZ \"12\" (6 bytes) in every value",
                     [] { StoreEach(REG_SZ, digits, sizeof(digits)); }, Defaulted()});
    cases.push_back({"too_long_qword", "REG_QWORD 1 (8 bytes) in every value",
                     [] { StoreEach(REG_QWORD, one8, sizeof(one8)); }, Defaulted()});
    cases.push_back({"too_short_2_bytes", "REG_BINARY 01 00 in every value",
                     [] { StoreEach(REG_BINARY, one2, sizeof(one2)); }, std::vector<int>(9, 1)});
    cases.push_back({"too_short_1_byte", "REG_BINARY FF (255) in every value",
                     [] { StoreEach(REG_BINARY, ff1, sizeof(ff1)); }, Defaulted()});
    cases.push_back({"too_short_empty", "REG_BINARY of no bytes in every value",
                     [] { StoreEach(REG_BINARY, one4, 0); }, std::vector<int>(9, 0)});
    cases.push_back({"out_of_range_above", "each value one above its highest",
                     [] {
                         StoreEachDword({3, 5, 16, 16, 16, 16, 16, 2, 2});
                     },
                     Defaulted()});
    cases.push_back({"out_of_range_below", "each value one below its lowest",
                     [] {
                         StoreEachDword({0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFE, 0xFFFFFFFE, 0xFFFFFFFF,
                                         0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF});
                     },
                     Defaulted()});
    cases.push_back({"out_of_range_extremes", "0x7FFFFFFF and 0x80000000 by turns",
                     [] {
                         StoreEachDword({0x7FFFFFFF, 0x80000000, 0x7FFFFFFF, 0x80000000, 0x7FFFFFFF,
                                         0x80000000, 0x7FFFFFFF, 0x80000000, 0x7FFFFFFF});
                     },
                     Defaulted()});
    cases.push_back({"transparent_colours",
                     "background and grid 0xFFFFFFFF (valid -1), rest missing",
                     [] {
                         DeleteItemKey();
                         CreateItemKey();
                         StoreDword(L"BackgroundColor", 0xFFFFFFFF);
                         StoreDword(L"GridColor", 0xFFFFFFFF);
                     },
                     {2, 2, -1, -1, 3, 6, 1, 0, 1}});
    return cases;
}

void RunCase(HWND item, const FaultCase& fault, bool shortRun) {
    Heartbeat(fault.name);
    // A valid, fast state between cases, so that each starts from the same place.
    for (int i = 0; i < FieldCount; ++i) {
        ItemSettings.*Fields[i] = i == 1 ? 0 : Defaults[i];
    }
    fault.store();
    const bool cancelled = OpenAndCancelOptions(item);
    int matching = 0;
    bool inRange = true;
    std::string loaded;
    for (int i = 0; i < FieldCount; ++i) {
        const int value = ItemSettings.*Fields[i];
        matching += value == fault.expected[i] ? 1 : 0;
        inRange = inRange && value >= Lowest[i] && value <= Highest[i];
        loaded += Format("%s%s=%d", i == 0 ? "" : " ", ShortNames[i], value);
    }
    // The short run asks for the shortest interval once the fields are read:
    // the running spin ends at it, so the next publish comes sooner.
    if (shortRun) {
        ItemSettings.SampleInterval = 0;
    }
    PaintItem(item);
    const int64_t before = PublishesSeen;
    const DWORD wait = static_cast<DWORD>(IntervalMilliseconds[ItemSettings.SampleInterval]) * 3;
    const bool sampling = PumpUntilTrue([&] { return PublishesSeen > before; }, wait + 500);
    const bool passed = cancelled && matching == FieldCount && inRange && sampling;
    ReportRow(std::string("registry.") + fault.name, matching, "fields as expected",
              "the load the stored data calls for", "9 of 9, item still sampling", PassIf(passed),
              Format("%s: loaded %s; %s; dialog %s; sampler %s", fault.what, loaded.c_str(),
                     inRange ? "every field in range" : "A FIELD OUT OF RANGE",
                     cancelled ? "opened and cancelled" : "did not show",
                     sampling ? "went on publishing" : "published nothing"));
}

} // namespace

int RunRegistryFaults(const BenchOptions& options) {
    StartWatchdog(60);
    TestHostWindow host;
    HWND item = CreateSamplingItem(host.Handle());
    if (item == nullptr) {
        return 2;
    }
    PumpFor(600);
    for (const FaultCase& fault : Cases()) {
        RunCase(item, fault, options.shortRun);
    }
    SendMessageW(item, WM_CLOSE, 0, 0);
    DestroyWindow(item);
    DeleteItemKey();
    return 0;
}

// The item list of the Today host stand-in: the registry layout of the
// device's Today items, the ordinal-240 entry and the height protocol.
#include "hosted_items.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "host_log.h"
#include "thread_priority_bridge.h"
#include "todaycmn.h"

const wchar_t TodayItemsKey[] = L"Software\\Microsoft\\Today\\Items";

namespace {

constexpr DWORD CustomItemType = tlitCustom;
constexpr int EntryOrdinal = 240;

// The record lives on the heap so that its address stays put for the item's
// whole life, as the device's host keeps it.
struct HostedItem {
    TODAYLISTITEM Record;
    HMODULE Module;
};

std::vector<std::unique_ptr<HostedItem>> Items;

struct ItemEntry {
    std::wstring Name;
    DWORD Order;
    std::wstring Library;
};

DWORD ReadDword(HKEY items, const wchar_t* name, const wchar_t* value, DWORD fallback) {
    DWORD data = 0;
    DWORD size = sizeof(data);
    if (RegGetValueW(items, name, value, RRF_RT_REG_DWORD, nullptr, &data, &size) !=
        ERROR_SUCCESS) {
        return fallback;
    }
    return data;
}

// The enabled custom items, in Order; equal Orders keep the registry's order.
std::vector<ItemEntry> ReadItemList() {
    std::vector<ItemEntry> entries;
    HKEY items = nullptr;
    // Desktop needs the access for enumerating and reading; CE ignores it.
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, TodayItemsKey, 0,
                      KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE, &items) != ERROR_SUCCESS) {
        HostLog("no item list: HKLM\\%ls is missing", TodayItemsKey);
        return entries;
    }
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD length = ARRAYSIZE(name);
        if (RegEnumKeyExW(items, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        if (ReadDword(items, name, L"Type", tlitNil) != CustomItemType) {
            HostLog("skipped %ls: not a custom item", name);
            continue;
        }
        if (ReadDword(items, name, L"Enabled", 0) == 0) {
            HostLog("skipped %ls: disabled", name);
            continue;
        }
        wchar_t library[MAX_PATH];
        DWORD size = sizeof(library);
        if (RegGetValueW(items, name, L"DLL", RRF_RT_REG_SZ, nullptr, library, &size) !=
            ERROR_SUCCESS) {
            HostLog("skipped %ls: no DLL path of at most %d characters", name, MAX_PATH - 1);
            continue;
        }
        entries.push_back({name, ReadDword(items, name, L"Order", 0), library});
    }
    RegCloseKey(items);
    std::stable_sort(entries.begin(), entries.end(),
                     [](const ItemEntry& a, const ItemEntry& b) { return a.Order < b.Order; });
    return entries;
}

void LoadItem(HWND host, const ItemEntry& entry) {
    HMODULE module = LoadLibraryW(entry.Library.c_str());
    if (module == nullptr) {
        HostLog("failed %ls: cannot load %ls (error %lu)", entry.Name.c_str(),
                entry.Library.c_str(), GetLastError());
        return;
    }
    // The item's idle-priority sampler must get only otherwise idle time.
    BridgeThreadPriorities(module);
    const auto initialize = reinterpret_cast<PFNCUSTOMINITIALIZEITEM>(
        reinterpret_cast<void*>(GetProcAddress(module, MAKEINTRESOURCEA(EntryOrdinal))));
    if (initialize == nullptr) {
        HostLog("failed %ls: no entry at ordinal %d", entry.Name.c_str(), EntryOrdinal);
        FreeLibrary(module);
        return;
    }
    auto item = std::make_unique<HostedItem>();
    TODAYLISTITEM& record = item->Record;
    record = TODAYLISTITEM();
    // The record holds 31 characters of the name; longer names are cut.
    entry.Name.copy(record.szName, ARRAYSIZE(record.szName) - 1);
    record.tlit = tlitCustom;
    record.dwOrder = entry.Order;
    record.fEnabled = TRUE;
    entry.Library.copy(record.szDLLPath, ARRAYSIZE(record.szDLLPath) - 1);
    record.hinstDLL = module;
    item->Module = module;
    record.hwndCustom = initialize(&record, host);
    if (record.hwndCustom == nullptr) {
        HostLog("failed %ls: the entry made no window", record.szName);
        FreeLibrary(module);
        return;
    }
    if (!SendMessageW(record.hwndCustom, WM_TODAYCUSTOM_QUERYREFRESHCACHE,
                      reinterpret_cast<WPARAM>(&record), 0)) {
        record.cyp = 0;
    }
    HostLog("loaded %ls order %lu cyp %lu", record.szName, record.dwOrder, record.cyp);
    Items.push_back(std::move(item));
}

} // namespace

void LoadItems(HWND host) {
    for (const ItemEntry& entry : ReadItemList()) {
        LoadItem(host, entry);
    }
    LayoutItems(host);
}

void DestroyItemWindows() {
    for (const auto& item : Items) {
        TODAYLISTITEM& record = item->Record;
        if (record.hwndCustom != nullptr && IsWindow(record.hwndCustom)) {
            SendMessageW(record.hwndCustom, WM_TODAYCUSTOM_CLEARCACHE,
                         reinterpret_cast<WPARAM>(&record), 0);
            DestroyWindow(record.hwndCustom);
            HostLog("closed %ls", record.szName);
        }
        record.hwndCustom = nullptr;
    }
}

void FreeItemLibraries() {
    for (const auto& item : Items) {
        FreeLibrary(item->Module);
    }
    Items.clear();
}

void PollItemHeights(HWND host) {
    bool changed = false;
    for (const auto& item : Items) {
        TODAYLISTITEM& record = item->Record;
        if (record.hwndCustom == nullptr) {
            continue;
        }
        const DWORD previous = record.cyp;
        if (!SendMessageW(record.hwndCustom, WM_TODAYCUSTOM_QUERYREFRESHCACHE,
                          reinterpret_cast<WPARAM>(&record), 0)) {
            // Only a TRUE answer carries a height.
            record.cyp = previous;
        } else if (record.cyp != previous) {
            HostLog("resized %ls cyp %lu", record.szName, record.cyp);
            changed = true;
        }
    }
    if (changed) {
        LayoutItems(host);
    }
}

void LayoutItems(HWND host) {
    RECT client;
    GetClientRect(host, &client);
    int top = 0;
    for (const auto& item : Items) {
        const TODAYLISTITEM& record = item->Record;
        if (record.hwndCustom == nullptr) {
            continue;
        }
        // A height beyond the screen is cut to it, so no size overflows.
        const int height = static_cast<int>(std::min<DWORD>(record.cyp, client.bottom));
        MoveWindow(record.hwndCustom, 0, top, client.right, height, TRUE);
        HostLog("placed %ls at 0,%d size %ldx%d", record.szName, top, client.right, height);
        top += height;
    }
}

HWND ItemWindowAt(POINT screenPoint, const wchar_t** name) {
    for (const auto& item : Items) {
        RECT bounds;
        if (item->Record.hwndCustom != nullptr && GetWindowRect(item->Record.hwndCustom, &bounds) &&
            PtInRect(&bounds, screenPoint)) {
            *name = item->Record.szName;
            return item->Record.hwndCustom;
        }
    }
    return nullptr;
}

// Registry helpers for tests.
#include "test_registry.h"

namespace {
const wchar_t ItemKeyPath[] = L"Software\\Microsoft\\Today\\Items\\Tovamet";
}

void DeleteItemKey() {
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, ItemKeyPath);
}

void CreateItemKey() {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, ItemKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) == ERROR_SUCCESS) {
        RegCloseKey(key);
    }
}

void StoreRawValue(const wchar_t* name, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, ItemKeyPath, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &key, nullptr) == ERROR_SUCCESS) {
        RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
        RegCloseKey(key);
    }
}

void StoreDword(const wchar_t* name, DWORD value) {
    StoreRawValue(name, REG_DWORD, &value, sizeof(value));
}

DWORD StoredDword(const wchar_t* name, DWORD fallback) {
    DWORD value = fallback;
    DWORD size = sizeof(value);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, ItemKeyPath, name, RRF_RT_REG_DWORD, nullptr, &value,
                     &size) != ERROR_SUCCESS) {
        return fallback;
    }
    return value;
}

bool KeyExists(const wchar_t* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

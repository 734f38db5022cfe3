// The application record: one key of flat values.
#include "app_record.h"

#include <windows.h>

const wchar_t ApplicationsKey[] = L"Software\\Apps";

namespace {

std::wstring RecordPath(const std::wstring& name) {
    return std::wstring(ApplicationsKey) + L"\\" + name;
}

bool SetString(HKEY key, const wchar_t* name, DWORD type, const std::wstring& data) {
    return RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(data.c_str()),
                          static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool SetList(HKEY key, const wchar_t* name, const std::vector<std::wstring>& list) {
    // The block carries its closing nulls itself.
    std::wstring block = JoinMultiString(list);
    return RegSetValueExW(key, name, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(block.data()),
                          static_cast<DWORD>(block.size() * sizeof(wchar_t))) == ERROR_SUCCESS;
}

// Reads a string value of the wanted type; an absent value reads as empty.
bool GetString(HKEY key, const wchar_t* name, DWORD wantedType, std::wstring& data) {
    DWORD type = 0;
    DWORD size = 0;
    data.clear();
    LONG result = RegQueryValueExW(key, name, nullptr, &type, nullptr, &size);
    if (result == ERROR_FILE_NOT_FOUND) {
        return true;
    }
    if (result != ERROR_SUCCESS || type != wantedType || size % sizeof(wchar_t) != 0) {
        return false;
    }
    data.assign(size / sizeof(wchar_t), L'\0');
    if (size > 0 && RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data[0]),
                                     &size) != ERROR_SUCCESS) {
        return false;
    }
    data.resize(size / sizeof(wchar_t));
    while (wantedType == REG_SZ && !data.empty() && data.back() == L'\0') {
        data.pop_back();
    }
    return true;
}

bool GetList(HKEY key, const wchar_t* name, std::vector<std::wstring>& list) {
    std::wstring block;
    if (!GetString(key, name, REG_MULTI_SZ, block)) {
        return false;
    }
    list = SplitMultiString(block);
    return true;
}

} // namespace

bool AppRecordExists(const std::wstring& name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, RecordPath(name).c_str(), 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

bool WriteAppRecord(const std::wstring& name, const InstallRecord& record) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, RecordPath(name).c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                        nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    DWORD installed = 1;
    bool ok =
        SetString(key, L"InstallDir", REG_SZ, record.installDir) &&
        RegSetValueExW(key, L"Instl", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&installed),
                       sizeof(installed)) == ERROR_SUCCESS &&
        SetString(key, L"SetupDll", REG_SZ, record.setupDll) &&
        SetList(key, L"Files", record.files) && SetList(key, L"Directories", record.directories) &&
        SetList(key, L"Keys", record.keys) && SetList(key, L"Values", EncodeValues(record.values));
    RegCloseKey(key);
    return ok;
}

bool ReadAppRecord(const std::wstring& name, InstallRecord& record, std::wstring& error) {
    record = InstallRecord();
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, RecordPath(name).c_str(), 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS) {
        error = L"\"" + name + L"\" is not installed (no HKLM\\" + RecordPath(name) + L")";
        return false;
    }
    std::vector<std::wstring> values;
    bool ok = GetString(key, L"InstallDir", REG_SZ, record.installDir) &&
              GetString(key, L"SetupDll", REG_SZ, record.setupDll) &&
              GetList(key, L"Files", record.files) &&
              GetList(key, L"Directories", record.directories) &&
              GetList(key, L"Keys", record.keys) && GetList(key, L"Values", values) &&
              DecodeValues(values, record.values);
    RegCloseKey(key);
    if (!ok) {
        error = L"HKLM\\" + RecordPath(name) + L" is damaged";
    }
    return ok;
}

void DeleteAppRecord(const std::wstring& name) {
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, RecordPath(name).c_str());
}

// Registry keys and values of an installation.
#include "installed_registry.h"

HKEY RootKey(RegistryRoot root) {
    switch (root) {
    case RegistryRoot::LocalMachine:
        return HKEY_LOCAL_MACHINE;
    case RegistryRoot::CurrentUser:
        return HKEY_CURRENT_USER;
    case RegistryRoot::ClassesRoot:
        return HKEY_CLASSES_ROOT;
    }
    return HKEY_LOCAL_MACHINE;
}

HKEY MakeKey(RegistryRoot root, const std::wstring& subkey, InstallRecord& record) {
    HKEY key = nullptr;
    for (size_t i = 0; i <= subkey.size(); ++i) {
        if (i < subkey.size() && subkey[i] != L'\\') {
            continue;
        }
        if (key != nullptr) {
            RegCloseKey(key);
            key = nullptr;
        }
        std::wstring path = subkey.substr(0, i);
        DWORD disposition = 0;
        if (RegCreateKeyExW(RootKey(root), path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                            &key, &disposition) != ERROR_SUCCESS) {
            return nullptr;
        }
        if (disposition == REG_CREATED_NEW_KEY) {
            record.keys.push_back(KeyPath(root, path));
        }
    }
    return key;
}

void WritePackageValue(const PackageValue& value, InstallRecord& record, FailureCounts& failures) {
    HKEY key = MakeKey(value.root, value.subkey, record);
    if (key == nullptr) {
        ++failures.keys;
        return;
    }
    LONG result = ERROR_SUCCESS;
    if (value.isDword) {
        DWORD number = value.number;
        result = RegSetValueExW(key, value.name.c_str(), 0, REG_DWORD,
                                reinterpret_cast<const BYTE*>(&number), sizeof(number));
    } else {
        result = RegSetValueExW(key, value.name.c_str(), 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(value.text.c_str()),
                                static_cast<DWORD>((value.text.size() + 1) * sizeof(wchar_t)));
    }
    RegCloseKey(key);
    if (result != ERROR_SUCCESS) {
        ++failures.values;
        return;
    }
    record.values.push_back(RecordedValue{KeyPath(value.root, value.subkey), value.name});
}

void RemoveRecordedRegistry(const InstallRecord& record) {
    RegistryRoot root = RegistryRoot::LocalMachine;
    std::wstring subkey;
    for (const RecordedValue& value : record.values) {
        HKEY key = nullptr;
        if (SplitKeyPath(value.keyPath, root, subkey) &&
            RegOpenKeyExW(RootKey(root), subkey.c_str(), 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
            RegDeleteValueW(key, value.name.c_str());
            RegCloseKey(key);
        }
    }
    for (auto path = record.keys.rbegin(); path != record.keys.rend(); ++path) {
        if (SplitKeyPath(*path, root, subkey)) {
            RegDeleteKeyW(RootKey(root), subkey.c_str());
        }
    }
}

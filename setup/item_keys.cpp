// Removal of the item's Today key and the package's application key.
#include "item_keys.h"

#include <windows.h>

#include "device_values.h"

namespace {

const wchar_t TodayItemsKey[] = L"Software\\Microsoft\\Today\\Items";
const wchar_t ItemSubkey[] = L"Tovamet";
const wchar_t ApplicationsKey[] = L"Software\\Apps";
const wchar_t ApplicationSubkey[] = L"Brisvale Tovamet";

// The device's RegDeleteKey takes a key's subkeys with it; the desktop's
// deletes only a key without subkeys, so those go first, deepest first.
bool DeleteKeyTree(HKEY parent, const wchar_t* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(parent, name, 0, KeyAccess(KEY_ENUMERATE_SUB_KEYS), &key) == ERROR_SUCCESS) {
        DWORD index = 0;
        wchar_t child[256];
        DWORD length = sizeof(child) / sizeof(child[0]);
        while (RegEnumKeyExW(key, index, child, &length, nullptr, nullptr, nullptr, nullptr) ==
               ERROR_SUCCESS) {
            // A child that stays is stepped over, so the walk always ends.
            if (!DeleteKeyTree(key, child)) {
                ++index;
            }
            length = sizeof(child) / sizeof(child[0]);
        }
        RegCloseKey(key);
    }
    return RegDeleteKeyW(parent, name) == ERROR_SUCCESS;
}

void DeleteSubkey(const wchar_t* parentPath, const wchar_t* name) {
    // The device ignores the access mask; on the desktop the rights of the
    // parent do not matter for deleting beneath it, the subkey is opened anew.
    HKEY parent = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, parentPath, 0, 0, &parent) != ERROR_SUCCESS) {
        return;
    }
    DeleteKeyTree(parent, name);
    RegCloseKey(parent);
}

} // namespace

void RemoveItemKeys() {
    DeleteSubkey(TodayItemsKey, ItemSubkey);
    DeleteSubkey(ApplicationsKey, ApplicationSubkey);
}

// What an installation leaves for its removal, in the flat form the
// application key stores it: lists of files, folders, keys and values.
#pragma once

#include <string>
#include <vector>

struct RecordedValue {
    std::wstring keyPath; // "HKLM\<subkey>"
    std::wstring name;
};

struct InstallRecord {
    std::wstring installDir;
    std::wstring setupDll;                 // the kept copy, empty without one
    std::vector<std::wstring> files;       // full paths
    std::vector<std::wstring> directories; // made by the installation, outermost first
    std::vector<std::wstring> keys;        // made by the installation, outermost first
    std::vector<RecordedValue> values;
};

// An installation over an earlier one takes over what the earlier one made
// (the hooks delete its record): its entries go first, each list keeping its
// outermost-first order, without repeating what the new record holds.
void CarryOver(const InstallRecord& earlier, InstallRecord& record);

// A REG_MULTI_SZ block: each string closed by a null, one more null at the
// end. Lists hold no empty strings.
std::wstring JoinMultiString(const std::vector<std::wstring>& strings);
std::vector<std::wstring> SplitMultiString(const std::wstring& block);

// Values as pairs of strings: the key path, then "=" and the value name, so
// the default value (empty name) and names holding backslashes survive.
std::vector<std::wstring> EncodeValues(const std::vector<RecordedValue>& values);
bool DecodeValues(const std::vector<std::wstring>& strings, std::vector<RecordedValue>& values);

// What could not be made or written, as the installer tells Install_Exit.
struct FailureCounts {
    unsigned folders = 0;
    unsigned files = 0;
    unsigned keys = 0;
    unsigned values = 0;

    unsigned Total() const { return folders + files + keys + values; }
};

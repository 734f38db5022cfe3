// The flat lists of an installation record.
#include "install_record.h"

#include <set>

namespace {

// Entries compare by their key; a set of the keys seen keeps the merge linear.
template <typename Entry, typename Key>
void Prepend(const std::vector<Entry>& earlier, std::vector<Entry>& list, Key key) {
    std::vector<Entry> merged;
    std::set<std::wstring> seen;
    const std::vector<Entry>* sources[] = {&earlier, &list};
    for (const std::vector<Entry>* source : sources) {
        for (const Entry& entry : *source) {
            if (seen.insert(key(entry)).second) {
                merged.push_back(entry);
            }
        }
    }
    list = merged;
}

} // namespace

void CarryOver(const InstallRecord& earlier, InstallRecord& record) {
    auto text = [](const std::wstring& entry) { return entry; };
    Prepend(earlier.files, record.files, text);
    // A kept setup library from another folder is an old file like any other.
    if (!earlier.setupDll.empty() && earlier.setupDll != record.setupDll) {
        Prepend({earlier.setupDll}, record.files, text);
    }
    Prepend(earlier.directories, record.directories, text);
    Prepend(earlier.keys, record.keys, text);
    // A key path holds no null.
    Prepend(earlier.values, record.values,
            [](const RecordedValue& value) { return value.keyPath + L'\0' + value.name; });
}

std::wstring JoinMultiString(const std::vector<std::wstring>& strings) {
    std::wstring block;
    for (const std::wstring& s : strings) {
        block += s;
        block += L'\0';
    }
    block += L'\0';
    return block;
}

std::vector<std::wstring> SplitMultiString(const std::wstring& block) {
    std::vector<std::wstring> strings;
    size_t start = 0;
    while (start < block.size()) {
        size_t end = block.find(L'\0', start);
        if (end == std::wstring::npos) {
            end = block.size();
        }
        if (end == start) {
            break;
        }
        strings.push_back(block.substr(start, end - start));
        start = end + 1;
    }
    return strings;
}

std::vector<std::wstring> EncodeValues(const std::vector<RecordedValue>& values) {
    std::vector<std::wstring> strings;
    for (const RecordedValue& value : values) {
        strings.push_back(value.keyPath);
        strings.push_back(L"=" + value.name);
    }
    return strings;
}

bool DecodeValues(const std::vector<std::wstring>& strings, std::vector<RecordedValue>& values) {
    values.clear();
    if (strings.size() % 2 != 0) {
        return false;
    }
    for (size_t i = 0; i < strings.size(); i += 2) {
        if (strings[i + 1].empty() || strings[i + 1][0] != L'=') {
            return false;
        }
        values.push_back(RecordedValue{strings[i], strings[i + 1].substr(1)});
    }
    return true;
}

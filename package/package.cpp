// Reading a package description out of its .inf.
#include "package.h"

#include <algorithm>
#include <set>

namespace {

constexpr uint32_t StringFlags = 0x00000000;
constexpr uint32_t DwordFlags = 0x00010001;

struct RootName {
    const wchar_t* name;
    RegistryRoot root;
};
const RootName RootNames[] = {
    {L"HKLM", RegistryRoot::LocalMachine},
    {L"HKCU", RegistryRoot::CurrentUser},
    {L"HKCR", RegistryRoot::ClassesRoot},
};

bool Fail(std::wstring& error, const std::wstring& message) {
    error = message;
    return false;
}

std::wstring At(const InfSection& section, const InfLine& line) {
    return L"[" + section.name + L"] line " + std::to_wstring(line.number) + L": ";
}

// A folder of the machine (CE1, CE2, ...) itself or plain names beneath it, so
// nothing of the package lands anywhere else, whatever the strings say.
bool IsInMachineFolder(const std::wstring& path, const InfStrings& folders) {
    for (const auto& folder : folders) {
        const std::wstring& base = folder.second;
        if (base.empty() || LowerCase(path.substr(0, base.size())) != LowerCase(base)) {
            continue;
        }
        size_t start = base.size();
        if (start == path.size()) {
            return true;
        }
        if (base.back() != L'\\') {
            if (path[start] != L'\\') {
                continue;
            }
            ++start;
        }
        bool plain = true;
        while (plain && start <= path.size()) {
            size_t end = std::min(path.find(L'\\', start), path.size());
            plain = IsPlainFileName(path.substr(start, end - start));
            start = end + 1;
        }
        if (plain) {
            return true;
        }
    }
    return false;
}

bool IsKeyPath(const std::wstring& subkey) {
    return !subkey.empty() && subkey.front() != L'\\' && subkey.back() != L'\\' &&
           subkey.find(L"\\\\") == std::wstring::npos;
}

bool ParseRoot(const std::wstring& text, RegistryRoot& root) {
    for (const RootName& entry : RootNames) {
        if (LowerCase(text) == LowerCase(entry.name)) {
            root = entry.root;
            return true;
        }
    }
    return false;
}

// The keys of the sections read by key, in lower case: what the setup file
// carries, or (the signatures) what only marks the file as a cabinet .inf.
// A key the setup file cannot carry is refused rather than dropped, so that
// a package never declares what its cabinet does not.
const std::set<std::wstring> VersionKeys = {L"signature", L"cesignature", L"provider"};
const std::set<std::wstring> DeviceKeys = {L"versionmin", L"versionmax", L"buildmin", L"buildmax"};
const std::set<std::wstring> InstallKeys = {L"copyfiles", L"addreg", L"cesetupdll"};

// Every "key = value" line of a section, values expanded, keys in lower case.
bool ReadKeyValues(const InfSection* section, const std::set<std::wstring>& known,
                   const InfStrings& strings, InfStrings& out, std::wstring& error) {
    out.clear();
    if (section == nullptr) {
        return true;
    }
    for (const InfLine& line : section->lines) {
        std::wstring key;
        std::wstring raw;
        std::vector<std::wstring> fields;
        if (!SplitKeyValue(line.text, key, raw) || !SplitFields(raw, fields)) {
            return Fail(error, At(*section, line) + L"expected key = value");
        }
        if (known.count(LowerCase(key)) == 0) {
            return Fail(error,
                        At(*section, line) + key + L" is not carried into the setup file: refused");
        }
        std::wstring value;
        std::wstring joined;
        for (size_t i = 0; i < fields.size(); ++i) {
            joined += (i == 0 ? L"" : L",") + fields[i];
        }
        if (!ExpandStrings(joined, strings, value, error)) {
            return Fail(error, At(*section, line) + error);
        }
        out[LowerCase(key)] = value;
    }
    return true;
}

// The string table: the machine's folders, then [CEStrings] and [Strings],
// unexpanded, for ExpandStrings to resolve at each use.
bool ReadStrings(const InfFile& inf, const InfStrings& folders, InfStrings& strings,
                 std::wstring& error) {
    strings = folders;
    for (const wchar_t* name : {L"CEStrings", L"Strings"}) {
        const InfSection* section = FindSection(inf, name);
        if (section == nullptr) {
            continue;
        }
        for (const InfLine& line : section->lines) {
            std::wstring key;
            std::wstring raw;
            std::vector<std::wstring> fields;
            if (!SplitKeyValue(line.text, key, raw) || !SplitFields(raw, fields) ||
                fields.size() != 1) {
                return Fail(error, At(*section, line) + L"expected name = text");
            }
            strings[LowerCase(key)] = fields[0];
        }
    }
    return true;
}

bool ExpandField(const std::wstring& field, const InfStrings& strings, std::wstring& out,
                 const std::wstring& where, std::wstring& error) {
    if (!ExpandStrings(field, strings, out, error)) {
        return Fail(error, where + error);
    }
    return true;
}

bool ReadFileSection(const InfFile& inf, const std::wstring& name, const InfStrings& strings,
                     const InfStrings& destinations, const InfStrings& folders, Package& package,
                     std::wstring& error) {
    const InfSection* section = FindSection(inf, name);
    if (section == nullptr) {
        return Fail(error, L"CopyFiles names [" + name + L"], which is missing");
    }
    auto destination = destinations.find(LowerCase(name));
    if (destination == destinations.end()) {
        return Fail(error, L"[DestinationDirs] has no folder for [" + name + L"]");
    }
    std::vector<std::wstring> place;
    SplitFields(destination->second, place);
    if (place.size() != 2 || place[0] != L"0" || place[1].empty()) {
        return Fail(error, L"[DestinationDirs] folder of [" + name + L"] is not 0,<folder>");
    }
    if (!IsInMachineFolder(place[1], folders)) {
        return Fail(error, L"[DestinationDirs] folder of [" + name + L"], \"" + place[1] +
                               L"\", is not inside a folder of the device");
    }
    for (const InfLine& line : section->lines) {
        std::vector<std::wstring> fields;
        uint32_t flags = 0;
        if (!SplitFields(line.text, fields) || fields.size() > 4 ||
            (fields.size() == 4 && !fields[3].empty() && !ParseNumber(fields[3], flags))) {
            return Fail(error, At(*section, line) + L"expected name[,source[,,flags]]");
        }
        PackageFile file;
        if (!ExpandField(fields[0], strings, file.name, At(*section, line), error)) {
            return false;
        }
        file.source = file.name;
        if (fields.size() > 1 && !fields[1].empty() &&
            !ExpandField(fields[1], strings, file.source, At(*section, line), error)) {
            return false;
        }
        if (!IsPlainFileName(file.name) || !IsPlainFileName(file.source)) {
            return Fail(error, At(*section, line) + L"a file name may not hold a folder");
        }
        file.directory = place[1];
        file.flags = flags;
        package.files.push_back(file);
    }
    return true;
}

bool ReadRegistrySection(const InfFile& inf, const std::wstring& name, const InfStrings& strings,
                         Package& package, std::wstring& error) {
    const InfSection* section = FindSection(inf, name);
    if (section == nullptr) {
        return Fail(error, L"AddReg names [" + name + L"], which is missing");
    }
    for (const InfLine& line : section->lines) {
        const std::wstring where = At(*section, line);
        std::vector<std::wstring> fields;
        if (!SplitFields(line.text, fields) || fields.size() != 5) {
            return Fail(error, where + L"expected root,subkey,name,flags,value");
        }
        std::vector<std::wstring> expanded(5);
        for (size_t i = 0; i < 5; ++i) {
            if (!ExpandField(fields[i], strings, expanded[i], where, error)) {
                return false;
            }
        }
        PackageValue value{RegistryRoot::LocalMachine, expanded[1], expanded[2], false, 0, L""};
        uint32_t flags = 0;
        if (!ParseRoot(expanded[0], value.root)) {
            return Fail(error, where + L"unknown registry root " + expanded[0]);
        }
        if (!IsKeyPath(value.subkey)) {
            return Fail(error, where + L"malformed subkey \"" + value.subkey + L"\"");
        }
        if (!ParseNumber(expanded[3], flags) || (flags != StringFlags && flags != DwordFlags)) {
            return Fail(error, where + L"unsupported flags " + expanded[3] +
                                   L" (0x00000000 string, 0x00010001 DWORD)");
        }
        value.isDword = flags == DwordFlags;
        if (value.isDword && !ParseNumber(expanded[4], value.number)) {
            return Fail(error, where + L"\"" + expanded[4] + L"\" is not a DWORD");
        }
        if (!value.isDword) {
            value.text = expanded[4];
        }
        package.values.push_back(value);
    }
    return true;
}

// Each section once, however often it is named: naming it again adds nothing,
// and reading it again would make the work grow with the square of the text.
std::vector<std::wstring> SectionList(const InfStrings& install, const wchar_t* key) {
    std::vector<std::wstring> names;
    std::vector<std::wstring> fields;
    std::set<std::wstring> seen;
    auto found = install.find(key);
    if (found != install.end()) {
        SplitFields(found->second, fields);
    }
    for (const std::wstring& name : fields) {
        if (seen.insert(LowerCase(name)).second) {
            names.push_back(name);
        }
    }
    return names;
}

// "major.minor" in decimal; absent is 0.0, no limit.
bool ParseVersion(const InfStrings& device, const wchar_t* key, CeVersion& version) {
    auto found = device.find(key);
    if (found == device.end()) {
        return true;
    }
    const std::wstring& text = found->second;
    size_t dot = text.find(L'.');
    if (text.find_first_not_of(L"0123456789.") != std::wstring::npos ||
        (dot != std::wstring::npos && text.find(L'.', dot + 1) != std::wstring::npos)) {
        return false;
    }
    return ParseNumber(text.substr(0, dot), version.major) &&
           (dot == std::wstring::npos || ParseNumber(text.substr(dot + 1), version.minor));
}

// Decimal or 0x-hexadecimal; absent is 0, no limit.
bool ParseBuild(const InfStrings& device, const wchar_t* key, uint32_t& build) {
    auto found = device.find(key);
    return found == device.end() || ParseNumber(found->second, build);
}

} // namespace

bool IsPlainFileName(const std::wstring& name) {
    if (name.empty() || name.back() == L'.' || name.back() == L' ' ||
        name.find_first_of(L"\\/:*?\"<>|") != std::wstring::npos) {
        return false;
    }
    return std::none_of(name.begin(), name.end(), [](wchar_t c) { return c < L' '; });
}

bool ReadPackage(const std::wstring& text, const InfStrings& folders, Package& package,
                 std::wstring& error) {
    package = Package();
    InfFile inf;
    InfStrings strings;
    InfStrings version;
    InfStrings install;
    InfStrings destinations;
    InfStrings device;
    if (!ParseInf(text, inf, error) || !ReadStrings(inf, folders, strings, error) ||
        !ReadKeyValues(FindSection(inf, L"Version"), VersionKeys, strings, version, error) ||
        !ReadKeyValues(FindSection(inf, L"DefaultInstall"), InstallKeys, strings, install, error) ||
        !ReadKeyValues(FindSection(inf, L"CEDevice"), DeviceKeys, strings, device, error)) {
        return false;
    }
    if (!ParseVersion(device, L"versionmin", package.versionMin) ||
        !ParseVersion(device, L"versionmax", package.versionMax)) {
        return Fail(error, L"[CEDevice] VersionMin and VersionMax are major.minor");
    }
    if (!ParseBuild(device, L"buildmin", package.buildMin) ||
        !ParseBuild(device, L"buildmax", package.buildMax)) {
        return Fail(error, L"[CEDevice] BuildMin and BuildMax are 32-bit numbers");
    }
    // Folders are expanded where they are used: their lines name sections.
    const InfSection* destinationSection = FindSection(inf, L"DestinationDirs");
    if (destinationSection != nullptr) {
        for (const InfLine& line : destinationSection->lines) {
            std::wstring key;
            std::wstring raw;
            std::wstring value;
            if (!SplitKeyValue(line.text, key, raw)) {
                return Fail(error, At(*destinationSection, line) + L"expected section = 0,folder");
            }
            if (!ExpandField(raw, strings, value, At(*destinationSection, line), error)) {
                return false;
            }
            destinations[LowerCase(key)] = value;
        }
    }
    if (FindSection(inf, L"DefaultInstall") == nullptr) {
        return Fail(error, L"there is no [DefaultInstall] section");
    }
    if (LowerCase(version[L"signature"]) != L"$windows nt$") {
        return Fail(error, L"[Version] needs Signature = \"$Windows NT$\"");
    }
    package.provider = version[L"provider"];
    if (package.provider.empty() || package.provider.find(L'\\') != std::wstring::npos) {
        return Fail(error, L"[Version] needs a Provider without backslashes");
    }
    if (strings.count(L"appname") == 0 || strings.count(L"installdir") == 0) {
        return Fail(error, L"[CEStrings] needs AppName and InstallDir");
    }
    if (!ExpandStrings(strings[L"appname"], strings, package.appName, error) ||
        !ExpandStrings(strings[L"installdir"], strings, package.installDir, error)) {
        return Fail(error, L"[CEStrings]: " + error);
    }
    if (package.appName.empty() || package.appName.find(L'\\') != std::wstring::npos ||
        package.installDir.empty()) {
        return Fail(error, L"[CEStrings] needs an AppName without backslashes and an InstallDir");
    }
    if (!IsInMachineFolder(package.installDir, folders)) {
        return Fail(error, L"[CEStrings] InstallDir \"" + package.installDir +
                               L"\" is not inside a folder of the device");
    }
    package.setupDll = install[L"cesetupdll"];
    if (install.count(L"cesetupdll") != 0 && !IsPlainFileName(package.setupDll)) {
        return Fail(error, L"CESetupDLL must name a file of the package");
    }
    for (const std::wstring& section : SectionList(install, L"copyfiles")) {
        if (!ReadFileSection(inf, section, strings, destinations, folders, package, error)) {
            return false;
        }
    }
    for (const std::wstring& section : SectionList(install, L"addreg")) {
        if (!ReadRegistrySection(inf, section, strings, package, error)) {
            return false;
        }
    }
    return true;
}

std::wstring AppRecordName(const Package& package) {
    return package.provider + L" " + package.appName;
}

std::wstring KeyPath(RegistryRoot root, const std::wstring& subkey) {
    for (const RootName& entry : RootNames) {
        if (entry.root == root) {
            return std::wstring(entry.name) + L"\\" + subkey;
        }
    }
    return subkey;
}

bool SplitKeyPath(const std::wstring& path, RegistryRoot& root, std::wstring& subkey) {
    size_t slash = path.find(L'\\');
    if (slash == std::wstring::npos || !ParseRoot(path.substr(0, slash), root)) {
        return false;
    }
    subkey = path.substr(slash + 1);
    return IsKeyPath(subkey);
}

bool ParseNumber(const std::wstring& text, uint32_t& value) {
    uint64_t result = 0;
    size_t i = 0;
    unsigned base = 10;
    if (text.size() > 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X')) {
        base = 16;
        i = 2;
    }
    if (i >= text.size()) {
        return false;
    }
    for (; i < text.size(); ++i) {
        wchar_t c = text[i];
        unsigned digit = 0;
        if (c >= L'0' && c <= L'9') {
            digit = static_cast<unsigned>(c - L'0');
        } else if (base == 16 && c >= L'a' && c <= L'f') {
            digit = static_cast<unsigned>(c - L'a' + 10);
        } else if (base == 16 && c >= L'A' && c <= L'F') {
            digit = static_cast<unsigned>(c - L'A' + 10);
        } else {
            return false;
        }
        result = result * base + digit;
        if (result > 0xFFFFFFFFu) {
            return false;
        }
    }
    value = static_cast<uint32_t>(result);
    return true;
}

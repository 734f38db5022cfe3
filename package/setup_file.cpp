// The "MSCE" setup file: a 100-byte header of counts and offsets, the names,
// then tables of little-endian entries. Strings are ASCII with a closing null;
// folders and registry keys are lists of string ids closed by a 0.
#include "setup_file.h"

#include <algorithm>
#include <map>
#include <set>
#include <utility>
#include <vector>

namespace {

constexpr char Signature[] = "MSCE";
constexpr size_t HeaderSize = 100;
constexpr size_t LengthAt = 8;
constexpr size_t AlwaysOneAt = 16;
constexpr size_t ProcessorAt = 20;
constexpr size_t VersionAt = 24; // min major, min minor, max major, max minor
constexpr size_t BuildAt = 40;   // min, max
constexpr size_t CountsAt = 48;  // 16 bits per table
constexpr size_t OffsetsAt = 60; // 32 bits per table
constexpr size_t AppNameAt = 84; // 16-bit offset and length, each of the three
constexpr size_t ProviderAt = 88;
constexpr size_t UnsupportedAt = 92;

enum Table { Strings, Dirs, Files, Hives, Keys, Links, TableCount };
const wchar_t* const TableNames[TableCount] = {L"STRINGS",  L"DIRS",    L"FILES",
                                               L"REGHIVES", L"REGKEYS", L"LINKS"};

constexpr uint32_t TypeString = 0x00000000;
constexpr uint32_t TypeDword = 0x00010001;
constexpr unsigned LastCeFolder = 17;
constexpr unsigned LastFileMember = SetupLibraryMember - 1;

// Hive roots as the setup file numbers them.
const std::pair<uint32_t, RegistryRoot> HiveRoots[] = {
    {1, RegistryRoot::ClassesRoot},
    {2, RegistryRoot::CurrentUser},
    {3, RegistryRoot::LocalMachine},
};

bool Fail(std::wstring& error, const std::wstring& message) {
    error = message;
    return false;
}

std::wstring Entry(Table table, size_t index) {
    return std::wstring(TableNames[table]) + L" entry " + std::to_wstring(index + 1) + L": ";
}

// Writing.

void Put16(std::string& bytes, size_t at, uint32_t value) {
    bytes[at] = static_cast<char>(value & 0xFF);
    bytes[at + 1] = static_cast<char>((value >> 8) & 0xFF);
}

void Put32(std::string& bytes, size_t at, uint32_t value) {
    Put16(bytes, at, value & 0xFFFF);
    Put16(bytes, at + 2, value >> 16);
}

void Append16(std::string& bytes, uint32_t value) {
    bytes.resize(bytes.size() + 2);
    Put16(bytes, bytes.size() - 2, value);
}

void Append32(std::string& bytes, uint32_t value) {
    bytes.resize(bytes.size() + 4);
    Put32(bytes, bytes.size() - 4, value);
}

// The text with its closing null, if it is ASCII without nulls.
bool Ascii(const std::wstring& text, std::string& out) {
    out.clear();
    for (wchar_t c : text) {
        if (c <= 0 || c > 0x7F) {
            return false;
        }
        out += static_cast<char>(c);
    }
    out += '\0';
    return true;
}

std::vector<std::wstring> SplitPath(const std::wstring& path) {
    std::vector<std::wstring> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = std::min(path.find(L'\\', start), path.size());
        parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

// The Pocket PC folder a path lies in (the longest that holds it, in any
// case, as the .inf reader takes it) as %CEn%, followed by the rest of the
// path; false when it lies in none.
bool WithFolderName(const std::wstring& path, std::wstring& named) {
    size_t longest = 0;
    for (const auto& folder : PocketPcFolders()) {
        const std::wstring& base = folder.second;
        if (base.size() > longest && LowerCase(path.substr(0, base.size())) == LowerCase(base) &&
            (path.size() == base.size() || path[base.size()] == L'\\')) {
            longest = base.size();
            named = L"%CE" + folder.first.substr(2) + L"%" + path.substr(base.size());
        }
    }
    return longest != 0;
}

class SetupFileWriter {
  public:
    explicit SetupFileWriter(std::wstring& error) : error_(error) {}

    bool Write(Package& package, std::string& bytes) {
        std::string appName;
        std::string provider;
        // Both lie within the 16-bit offsets the header gives them.
        if (!Ascii(package.appName, appName) || !Ascii(package.provider, provider) ||
            HeaderSize + appName.size() + provider.size() > 0xFFFF) {
            return Fail(error_, L"AppName and Provider must be short ASCII texts");
        }
        if (package.installDir != PocketPcFolders()[L"ce1"] + L"\\" + package.appName) {
            return Fail(error_, L"InstallDir must be %CE1%\\<AppName>: the setup file has no "
                                L"field for another");
        }
        if (package.files.size() > LastFileMember) {
            return Fail(error_, L"more files than members 001 to 998");
        }
        for (size_t i = 0; i < package.files.size(); ++i) {
            package.files[i].member = static_cast<unsigned>(i + 1);
            if (!AddFile(package.files[i])) {
                return false;
            }
        }
        for (const PackageValue& value : package.values) {
            if (!AddValue(value)) {
                return false;
            }
        }
        bytes.assign(HeaderSize, '\0');
        bytes.replace(0, 4, Signature, 4);
        Put32(bytes, AlwaysOneAt, 1);
        Put32(bytes, ProcessorAt, package.processor);
        Put32(bytes, VersionAt, package.versionMin.major);
        Put32(bytes, VersionAt + 4, package.versionMin.minor);
        Put32(bytes, VersionAt + 8, package.versionMax.major);
        Put32(bytes, VersionAt + 12, package.versionMax.minor);
        Put32(bytes, BuildAt, package.buildMin);
        Put32(bytes, BuildAt + 4, package.buildMax);
        PutText(bytes, AppNameAt, appName);
        PutText(bytes, ProviderAt, provider);
        PutText(bytes, UnsupportedAt, "");
        for (int table = 0; table < TableCount; ++table) {
            if (counts_[table] > 0xFFFF) {
                return Fail(error_, std::wstring(TableNames[table]) + L" has too many entries");
            }
            Put16(bytes, CountsAt + 2 * table, counts_[table]);
            Put32(bytes, OffsetsAt + 4 * table, static_cast<uint32_t>(bytes.size()));
            bytes += tables_[table];
        }
        Put32(bytes, LengthAt, static_cast<uint32_t>(bytes.size()));
        return true;
    }

  private:
    static void PutText(std::string& bytes, size_t at, const std::string& text) {
        Put16(bytes, at, static_cast<uint32_t>(bytes.size()));
        Put16(bytes, at + 2, static_cast<uint32_t>(text.size()));
        bytes += text;
    }

    bool StringId(const std::wstring& text, uint32_t& id) {
        auto found = stringIds_.find(text);
        if (found != stringIds_.end()) {
            id = found->second;
            return true;
        }
        std::string ascii;
        if (!Ascii(text, ascii) || ascii.size() > 0xFFFF) {
            return Fail(error_, L"\"" + text + L"\" is not a short ASCII string");
        }
        id = ++counts_[Strings];
        stringIds_[text] = id;
        Append16(tables_[Strings], id);
        Append16(tables_[Strings], static_cast<uint32_t>(ascii.size()));
        tables_[Strings] += ascii;
        return true;
    }

    // The string ids of the path's parts, closed by a 0.
    bool StringIds(const std::wstring& path, std::string& ids) {
        ids.clear();
        for (const std::wstring& part : SplitPath(path)) {
            uint32_t id = 0;
            if (!StringId(part, id)) {
                return false;
            }
            Append16(ids, id);
        }
        Append16(ids, 0);
        if (ids.size() > 0xFFFF) {
            return Fail(error_, L"\"" + path + L"\" has too many parts");
        }
        return true;
    }

    bool AddFile(const PackageFile& file) {
        auto found = dirIds_.find(file.directory);
        if (found == dirIds_.end()) {
            std::wstring named;
            std::string ids;
            if (!WithFolderName(file.directory, named)) {
                return Fail(error_, file.directory + L" is not in a folder of the device");
            }
            if (!StringIds(named, ids)) {
                return false;
            }
            found = dirIds_.emplace(file.directory, ++counts_[Dirs]).first;
            Append16(tables_[Dirs], found->second);
            Append16(tables_[Dirs], static_cast<uint32_t>(ids.size()));
            tables_[Dirs] += ids;
        }
        std::string name;
        if (!Ascii(file.name, name) || name.size() > 0xFFFF) {
            return Fail(error_, L"file name " + file.name + L" is not short ASCII");
        }
        ++counts_[Files];
        Append16(tables_[Files], file.member);
        Append16(tables_[Files], found->second);
        Append16(tables_[Files], file.member);
        Append32(tables_[Files], file.flags);
        Append16(tables_[Files], static_cast<uint32_t>(name.size()));
        tables_[Files] += name;
        return true;
    }

    bool AddValue(const PackageValue& value) {
        const auto hive = std::make_pair(value.root, value.subkey);
        auto found = hiveIds_.find(hive);
        if (found == hiveIds_.end()) {
            std::string ids;
            if (!StringIds(value.subkey, ids)) {
                return false;
            }
            found = hiveIds_.emplace(hive, ++counts_[Hives]).first;
            uint32_t root = 0;
            for (const auto& entry : HiveRoots) {
                root = entry.second == value.root ? entry.first : root;
            }
            Append16(tables_[Hives], found->second);
            Append16(tables_[Hives], root);
            Append16(tables_[Hives], 0);
            Append16(tables_[Hives], static_cast<uint32_t>(ids.size()));
            tables_[Hives] += ids;
        }
        std::string data;
        std::string text;
        std::wstring named = value.text;
        // A text naming a device folder gets its %CEn% name, for the device
        // to put its own folder in.
        const bool substitute = !value.isDword && WithFolderName(value.text, named);
        if (!Ascii(value.name, data) || !Ascii(named, text)) {
            return Fail(error_, L"registry value " + value.name + L" is not ASCII");
        }
        if (value.isDword) {
            Append32(data, value.number);
        } else {
            data += text;
        }
        if (data.size() > 0xFFFF) {
            return Fail(error_, L"registry value " + value.name + L" is too long");
        }
        Append16(tables_[Keys], ++counts_[Keys]);
        Append16(tables_[Keys], found->second);
        Append16(tables_[Keys], substitute ? 1 : 0);
        Append32(tables_[Keys], value.isDword ? TypeDword : TypeString);
        Append16(tables_[Keys], static_cast<uint32_t>(data.size()));
        tables_[Keys] += data;
        return true;
    }

    std::wstring& error_;
    std::string tables_[TableCount];
    uint32_t counts_[TableCount] = {};
    std::map<std::wstring, uint32_t> stringIds_;
    std::map<std::wstring, uint32_t> dirIds_;
    std::map<std::pair<RegistryRoot, std::wstring>, uint32_t> hiveIds_;
};

// Reading: every read is checked against the size first.

bool Has(const std::string& bytes, size_t at, size_t length) {
    return at <= bytes.size() && bytes.size() - at >= length;
}

uint32_t Get16(const std::string& bytes, size_t at) {
    return static_cast<unsigned char>(bytes[at]) |
           (static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 8);
}

uint32_t Get32(const std::string& bytes, size_t at) {
    return Get16(bytes, at) | (Get16(bytes, at + 2) << 16);
}

class SetupFileReader {
  public:
    SetupFileReader(const std::string& bytes, const InfStrings& folders, std::wstring& error)
        : bytes_(bytes), folders_(folders), error_(error) {}

    bool Read(Package& package) {
        package = Package();
        if (bytes_.size() < HeaderSize) {
            return Fail(error_, L"header: truncated, " + std::to_wstring(bytes_.size()) +
                                    L" of its 100 bytes");
        }
        if (bytes_.compare(0, 4, Signature) != 0) {
            return Fail(error_, L"header: the signature is not \"MSCE\"");
        }
        if (Get32(bytes_, LengthAt) != bytes_.size()) {
            return Fail(error_, L"header: the length says " +
                                    std::to_wstring(Get32(bytes_, LengthAt)) +
                                    L" bytes, the file has " + std::to_wstring(bytes_.size()));
        }
        package.processor = Get32(bytes_, ProcessorAt);
        package.versionMin = CeVersion{Get32(bytes_, VersionAt), Get32(bytes_, VersionAt + 4)};
        package.versionMax = CeVersion{Get32(bytes_, VersionAt + 8), Get32(bytes_, VersionAt + 12)};
        package.buildMin = Get32(bytes_, BuildAt);
        package.buildMax = Get32(bytes_, BuildAt + 4);
        std::wstring unsupported;
        if (!HeaderText(AppNameAt, L"APPNAME", package.appName) ||
            !HeaderText(ProviderAt, L"PROVIDER", package.provider) ||
            (Get16(bytes_, UnsupportedAt + 2) != 0 &&
             !Text(Get16(bytes_, UnsupportedAt), Get16(bytes_, UnsupportedAt + 2),
                   L"header: UNSUPPORTED", unsupported, true))) {
            return false;
        }
        auto ce1 = folders_.find(L"ce1");
        if (package.appName.empty() || !IsPlainFileName(package.appName) ||
            package.provider.empty() || package.provider.find(L'\\') != std::wstring::npos) {
            return Fail(error_, L"header: APPNAME or PROVIDER is empty or holds a folder");
        }
        if (ce1 == folders_.end()) {
            return Fail(error_, L"this device has no %CE1% folder to install into");
        }
        package.installDir = ce1->second + L"\\" + package.appName;
        return ReadStrings() && ReadDirs() && ReadFiles(package) && ReadHives() &&
               ReadKeys(package) && ReadLinks();
    }

  private:
    // The text at [at, at + length), closed by its last byte, a null; a multi
    // string may hold nulls before it.
    bool Text(size_t at, size_t length, const std::wstring& field, std::wstring& text,
              bool multi = false) {
        if (!Has(bytes_, at, length)) {
            return Fail(error_, field + L" runs past the end of the file");
        }
        if (length == 0 || bytes_[at + length - 1] != '\0') {
            return Fail(error_, field + L" has no terminating null");
        }
        text.clear();
        for (size_t i = at; i + 1 < at + length; ++i) {
            if (bytes_[i] == '\0' && !multi) {
                return Fail(error_, field + L" holds a null before its end");
            }
            text += static_cast<wchar_t>(static_cast<unsigned char>(bytes_[i]));
        }
        return true;
    }

    bool HeaderText(size_t at, const wchar_t* name, std::wstring& text) {
        return Text(Get16(bytes_, at), Get16(bytes_, at + 2), std::wstring(L"header: ") + name,
                    text);
    }

    // Walks a table's entries: `fixed` bytes each, then as many as the 16-bit
    // length at `lengthAt` within them says.
    template <typename Visit> bool Walk(Table table, size_t fixed, size_t lengthAt, Visit visit) {
        size_t at = Get32(bytes_, OffsetsAt + 4 * table);
        const size_t count = Get16(bytes_, CountsAt + 2 * table);
        if (count > 0 && !Has(bytes_, at, 0)) {
            return Fail(error_, L"header: the offset of " + std::wstring(TableNames[table]) +
                                    L" is past the end of the file");
        }
        for (size_t i = 0; i < count; ++i) {
            if (!Has(bytes_, at, fixed) || !Has(bytes_, at + fixed, Get16(bytes_, at + lengthAt))) {
                return Fail(error_, Entry(table, i) + L"runs past the end of the file");
            }
            if (!visit(i, at, at + fixed, Get16(bytes_, at + lengthAt))) {
                return false;
            }
            at += fixed + Get16(bytes_, at + lengthAt);
        }
        return true;
    }

    // A list of string ids closed by a 0, as the path parts they name.
    bool StringIds(size_t at, size_t length, const std::wstring& field,
                   std::vector<std::wstring>& parts) {
        parts.clear();
        if (length < 4 || length % 2 != 0 || Get16(bytes_, at + length - 2) != 0) {
            return Fail(error_, field + L"its list of strings is not closed by a 0");
        }
        for (size_t i = at; i + 2 < at + length; i += 2) {
            auto found = strings_.find(Get16(bytes_, i));
            if (found == strings_.end()) {
                return Fail(error_, field + L"names string " + std::to_wstring(Get16(bytes_, i)) +
                                        L", which STRINGS lacks");
            }
            parts.push_back(found->second);
        }
        return true;
    }

    bool ReadStrings() {
        return Walk(Strings, 4, 2, [this](size_t i, size_t at, size_t data, size_t length) {
            std::wstring text;
            if (!Text(data, length, Entry(Strings, i) + L"the string", text)) {
                return false;
            }
            if (!strings_.emplace(Get16(bytes_, at), text).second) {
                return Fail(error_, Entry(Strings, i) + L"its id repeats");
            }
            return true;
        });
    }

    // "%CEn%" as this device's folder.
    bool Folder(const std::wstring& macro, const std::wstring& field, std::wstring& folder) {
        unsigned number = 0;
        bool digits = macro.size() > 4 && macro.size() <= 6 && macro.compare(0, 3, L"%CE") == 0 &&
                      macro.back() == L'%';
        for (size_t i = 3; digits && i + 1 < macro.size(); ++i) {
            digits = macro[i] >= L'0' && macro[i] <= L'9';
            number = number * 10 + static_cast<unsigned>(macro[i] - L'0');
        }
        if (!digits || number < 1 || number > LastCeFolder) {
            return Fail(error_, field + L"unknown directory macro \"" + macro + L"\"");
        }
        auto found = folders_.find(L"ce" + std::to_wstring(number));
        if (found == folders_.end()) {
            return Fail(error_, field + macro + L" is not a folder of this device");
        }
        folder = found->second;
        return true;
    }

    bool ReadDirs() {
        return Walk(Dirs, 4, 2, [this](size_t i, size_t at, size_t data, size_t length) {
            std::vector<std::wstring> parts;
            std::wstring path;
            if (!StringIds(data, length, Entry(Dirs, i), parts) ||
                !Folder(parts[0], Entry(Dirs, i), path)) {
                return false;
            }
            for (size_t part = 1; part < parts.size(); ++part) {
                if (!IsPlainFileName(parts[part])) {
                    return Fail(error_, Entry(Dirs, i) + L"\"" + parts[part] +
                                            L"\" would leave the device's folders");
                }
                path += L"\\" + parts[part];
            }
            if (!dirs_.emplace(Get16(bytes_, at), path).second) {
                return Fail(error_, Entry(Dirs, i) + L"its id repeats");
            }
            return true;
        });
    }

    bool ReadFiles(Package& package) {
        std::set<unsigned> members;
        return Walk(Files, 12, 10, [&](size_t i, size_t at, size_t data, size_t length) {
            PackageFile file;
            file.member = Get16(bytes_, at);
            file.flags = Get32(bytes_, at + 6);
            auto dir = dirs_.find(Get16(bytes_, at + 2));
            if (file.member < 1 || file.member > LastFileMember ||
                !members.insert(file.member).second) {
                return Fail(error_, Entry(Files, i) + L"member " + std::to_wstring(file.member) +
                                        L" is not a new number from 1 to 998");
            }
            if (dir == dirs_.end()) {
                return Fail(error_, Entry(Files, i) + L"its folder is not in DIRS");
            }
            if (!Text(data, length, Entry(Files, i) + L"the name", file.name)) {
                return false;
            }
            if (!IsPlainFileName(file.name)) {
                return Fail(error_, Entry(Files, i) + L"the name \"" + file.name +
                                        L"\" would leave its folder");
            }
            file.directory = dir->second;
            package.files.push_back(file);
            return true;
        });
    }

    bool ReadHives() {
        return Walk(Hives, 8, 6, [this](size_t i, size_t at, size_t data, size_t length) {
            std::vector<std::wstring> parts;
            std::pair<RegistryRoot, std::wstring> hive;
            bool known = false;
            for (const auto& entry : HiveRoots) {
                if (entry.first == Get16(bytes_, at + 2)) {
                    hive.first = entry.second;
                    known = true;
                }
            }
            if (!known) {
                return Fail(error_, Entry(Hives, i) + L"its root is not HKCR, HKCU or HKLM");
            }
            if (!StringIds(data, length, Entry(Hives, i), parts)) {
                return false;
            }
            for (const std::wstring& part : parts) {
                hive.second += (hive.second.empty() ? L"" : L"\\") + part;
            }
            if (!SplitKeyPath(KeyPath(hive.first, hive.second), hive.first, hive.second)) {
                return Fail(error_, Entry(Hives, i) + L"malformed key \"" + hive.second + L"\"");
            }
            if (!hives_.emplace(Get16(bytes_, at), hive).second) {
                return Fail(error_, Entry(Hives, i) + L"its id repeats");
            }
            return true;
        });
    }

    bool ReadKeys(Package& package) {
        InfStrings macros = folders_;
        macros[L"installdir"] = package.installDir;
        return Walk(Keys, 12, 10, [&](size_t i, size_t at, size_t data, size_t length) {
            const std::wstring field = Entry(Keys, i);
            auto hive = hives_.find(Get16(bytes_, at + 2));
            const uint32_t substitute = Get16(bytes_, at + 4);
            const uint32_t type = Get32(bytes_, at + 6);
            if (hive == hives_.end()) {
                return Fail(error_, field + L"its key is not in REGHIVES");
            }
            if (substitute > 1 || (type != TypeString && type != TypeDword)) {
                return Fail(error_, field + L"its flags are not a plain string or DWORD");
            }
            const size_t nameEnd = static_cast<size_t>(
                std::find(bytes_.begin() + data, bytes_.begin() + data + length, '\0') -
                bytes_.begin());
            if (nameEnd == data + length) {
                return Fail(error_, field + L"the value name has no terminating null");
            }
            PackageValue value{
                hive->second.first, hive->second.second, L"", type == TypeDword, 0, L""};
            std::wstring raw;
            Text(data, nameEnd + 1 - data, field, value.name);
            const size_t rest = data + length - (nameEnd + 1);
            if (value.isDword && rest != 4) {
                return Fail(error_, field + L"a DWORD takes 4 bytes, not " + std::to_wstring(rest));
            }
            if (value.isDword) {
                value.number = Get32(bytes_, nameEnd + 1);
            } else if (!Text(nameEnd + 1, rest, field + L"the string", raw)) {
                return false;
            } else if (substitute == 0) {
                value.text = raw;
            } else if (!ExpandStrings(raw, macros, value.text, error_)) {
                return Fail(error_, field + error_);
            }
            package.values.push_back(value);
            return true;
        });
    }

    bool ReadLinks() {
        if (Get16(bytes_, CountsAt + 2 * Links) != 0) {
            return Fail(error_, L"LINKS: this installer makes no shortcuts");
        }
        return true;
    }

    const std::string& bytes_;
    const InfStrings& folders_;
    std::wstring& error_;
    std::map<uint32_t, std::wstring> strings_;
    std::map<uint32_t, std::wstring> dirs_;
    std::map<uint32_t, std::pair<RegistryRoot, std::wstring>> hives_;
};

} // namespace

InfStrings PocketPcFolders() {
    return {
        {L"ce1", L"\\Program Files"},
        {L"ce2", L"\\Windows"},
        {L"ce4", L"\\Windows\\StartUp"},
        {L"ce5", L"\\My Documents"},
        {L"ce11", L"\\Windows\\Start Menu\\Programs"},
        {L"ce14", L"\\Windows\\Start Menu\\Games"},
        {L"ce15", L"\\Windows\\Fonts"},
        {L"ce17", L"\\Windows\\Start Menu"},
    };
}

bool WriteSetupFile(Package& package, std::string& bytes, std::wstring& error) {
    return SetupFileWriter(error).Write(package, bytes);
}

bool ReadSetupFile(const std::string& bytes, const InfStrings& folders, Package& package,
                   std::wstring& error) {
    return SetupFileReader(bytes, folders, error).Read(package);
}

std::string MemberName(const std::wstring& name, unsigned member) {
    std::string stem;
    for (size_t i = 0; i < name.size() && name[i] != L'.' && stem.size() < 8; ++i) {
        wchar_t c = name[i];
        bool plain = (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') ||
                     (c >= L'0' && c <= L'9') || c == L'_' || c == L'-';
        stem += plain ? static_cast<char>(c) : '_';
    }
    std::string number = std::to_string(member % 1000);
    return std::string(8 - stem.size(), '0') + stem + "." + std::string(3 - number.size(), '0') +
           number;
}

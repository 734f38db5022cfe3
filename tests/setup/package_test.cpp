// The package description: the real Tovamet.inf, the .inf field syntax, and
// the malformed descriptions the installer must refuse before changing anything.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "inf_file.h"
#include "install_record.h"
#include "package.h"

namespace {

const InfStrings Folders = {{L"ce1", L"C:\\Program Files"}, {L"ce2", L"C:\\windows"}};

std::wstring Widen(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) {
        out += c < 128 ? static_cast<char>(c) : '?';
    }
    return out;
}

// The .inf is plain ASCII.
std::wstring ReadRealInf() {
    std::ifstream file(TOVAMET_PACKAGE_INF, std::ios::binary);
    return Widen(
        std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()));
}

const PackageValue* FindValue(const Package& package, const std::wstring& name) {
    for (const PackageValue& value : package.values) {
        if (value.name == name) {
            return &value;
        }
    }
    return nullptr;
}

TEST(Package, TheTovametPackageInstallsTheItemAndItsTodayEntry) {
    std::wstring text = ReadRealInf();
    ASSERT_FALSE(text.empty()) << "cannot read " << TOVAMET_PACKAGE_INF;
    Package package;
    std::wstring error;
    ASSERT_TRUE(ReadPackage(text, Folders, package, error)) << Narrow(error);

    EXPECT_EQ(L"Brisvale Tovamet", AppRecordName(package));
    EXPECT_EQ(L"C:\\Program Files\\Tovamet", package.installDir);
    EXPECT_EQ(L"TovametSetup.dll", package.setupDll);
    ASSERT_EQ(1u, package.files.size());
    EXPECT_EQ(L"Tovamet.dll", package.files[0].name);
    EXPECT_EQ(L"Tovamet.dll", package.files[0].source);
    EXPECT_EQ(L"C:\\windows", package.files[0].directory) << "the Windows folder";
    EXPECT_TRUE(package.versionMin.major == 4 && package.versionMin.minor == 20 &&
                package.versionMax.major == 6 && package.versionMax.minor == 99)
        << "[CEDevice] Windows CE 4.20 to 6.99";

    for (const PackageValue& value : package.values) {
        EXPECT_TRUE(value.root == RegistryRoot::LocalMachine) << Narrow(value.name);
        EXPECT_EQ(L"Software\\Microsoft\\Today\\Items\\Tovamet", value.subkey)
            << Narrow(value.name);
    }
    const PackageValue* dll = FindValue(package, L"DLL");
    ASSERT_NE(nullptr, dll);
    EXPECT_FALSE(dll->isDword);
    EXPECT_EQ(L"C:\\windows\\Tovamet.dll", dll->text);
    const struct {
        const wchar_t* name;
        uint32_t value;
    } dwords[] = {{L"Type", 4}, {L"Enabled", 1}};
    for (const auto& expected : dwords) {
        const PackageValue* value = FindValue(package, expected.name);
        ASSERT_NE(nullptr, value) << Narrow(expected.name);
        EXPECT_TRUE(value->isDword) << Narrow(expected.name);
        EXPECT_EQ(expected.value, value->number) << Narrow(expected.name);
    }
    const PackageValue* order = FindValue(package, L"Order");
    ASSERT_NE(nullptr, order);
    EXPECT_TRUE(order->isDword);
    EXPECT_EQ(nullptr, FindValue(package, L"Options")) << "the item opens its options itself";
}

TEST(InfSyntax, FieldsSplitAtCommasOutsideQuotes) {
    const struct {
        const wchar_t* line;
        std::vector<std::wstring> fields;
    } cases[] = {
        {L"a, b ,c", {L"a", L"b", L"c"}},
        {L"\"x, y\",z", {L"x, y", L"z"}},
        {L"\" padded \"", {L" padded "}},
        {L"\"say \"\"hi\"\"\"", {L"say \"hi\""}},
        {L",,", {L"", L"", L""}},
        {L"\"\",1", {L"", L"1"}},
        {L"HKLM,Software\\X,Type,0x00010001,4",
         {L"HKLM", L"Software\\X", L"Type", L"0x00010001", L"4"}},
    };
    for (const auto& c : cases) {
        std::vector<std::wstring> fields;
        ASSERT_TRUE(SplitFields(c.line, fields)) << Narrow(c.line);
        EXPECT_EQ(c.fields, fields) << Narrow(c.line);
    }
    std::vector<std::wstring> fields;
    EXPECT_FALSE(SplitFields(L"\"unterminated,x", fields));
}

TEST(InfSyntax, KeyValueSplitsAtTheFirstEqualsOutsideQuotes) {
    std::wstring key;
    std::wstring value;
    ASSERT_TRUE(SplitKeyValue(L"  Name = \"a=b\" = c ", key, value));
    EXPECT_EQ(L"Name", key);
    EXPECT_EQ(L"\"a=b\" = c", value);
    EXPECT_FALSE(SplitKeyValue(L"\"no=key\"", key, value));
    EXPECT_FALSE(SplitKeyValue(L" = value", key, value)) << "empty key";
}

TEST(InfSyntax, StringReferencesExpandAndBadOnesFail) {
    const InfStrings strings = {{L"appname", L"Tovamet"},      {L"ce1", L"\\Program Files"},
                                {L"dir", L"%CE1%\\%AppName%"}, {L"loop", L"%Loop%"},
                                {L"ping", L"%pong%"},          {L"pong", L"%ping%"}};
    const struct {
        const wchar_t* text;
        const wchar_t* expanded;
    } good[] = {
        {L"%Dir%\\x.dll", L"\\Program Files\\Tovamet\\x.dll"},
        {L"100%%", L"100%"},
        {L"plain", L"plain"},
        {L"%APPNAME%-%appname%", L"Tovamet-Tovamet"},
    };
    for (const auto& c : good) {
        std::wstring out;
        std::wstring error;
        ASSERT_TRUE(ExpandStrings(c.text, strings, out, error))
            << Narrow(c.text) << ": " << Narrow(error);
        EXPECT_EQ(c.expanded, out) << Narrow(c.text);
    }
    for (const wchar_t* bad : {L"%Unknown%", L"50% off", L"%Loop%", L"%ping%"}) {
        std::wstring out;
        std::wstring error;
        EXPECT_FALSE(ExpandStrings(bad, strings, out, error)) << Narrow(bad);
        EXPECT_FALSE(error.empty()) << Narrow(bad);
    }
}

TEST(InfSyntax, SectionsMergeCommentsGoAndStrayTextFails) {
    InfFile inf;
    std::wstring error;
    ASSERT_TRUE(ParseInf(
        L"; header\r\n[A]\r\nx = 1 ; note\r\n\r\n[b]\r\ny\r\n[a]\r\nz = \"q;r\"\r\n", inf, error))
        << Narrow(error);
    ASSERT_EQ(2u, inf.sections.size());
    const InfSection* a = FindSection(inf, L"a");
    ASSERT_NE(nullptr, a);
    ASSERT_EQ(2u, a->lines.size());
    EXPECT_EQ(L"x = 1", a->lines[0].text);
    EXPECT_EQ(3, a->lines[0].number);
    EXPECT_EQ(L"z = \"q;r\"", a->lines[1].text) << "a ';' inside quotes is text";
    EXPECT_EQ(nullptr, FindSection(inf, L"c"));

    EXPECT_FALSE(ParseInf(L"x = 1\n[A]\n", inf, error));
    EXPECT_NE(std::wstring::npos, error.find(L"line 1")) << Narrow(error);
    EXPECT_FALSE(ParseInf(L"[A]\n[B\n", inf, error));
    EXPECT_NE(std::wstring::npos, error.find(L"line 2")) << Narrow(error);
}

TEST(InfSyntax, NumbersAreDecimalOrHexadecimal32Bit) {
    const struct {
        const wchar_t* text;
        bool ok;
        uint32_t value;
    } cases[] = {
        {L"0x00010001", true, 0x00010001},
        {L"10", true, 10},
        {L"0XfF", true, 255},
        {L"4294967295", true, 0xFFFFFFFF},
        {L"4294967296", false, 0},
        {L"0x100000000", false, 0},
        {L"", false, 0},
        {L"0x", false, 0},
        {L"12a", false, 0},
        {L"-1", false, 0},
        {L" 1", false, 0},
    };
    for (const auto& c : cases) {
        uint32_t value = 0xDEADBEEF;
        EXPECT_EQ(c.ok, ParseNumber(c.text, value)) << Narrow(c.text);
        if (c.ok) {
            EXPECT_EQ(c.value, value) << Narrow(c.text);
        }
    }
}

// A small valid package, for the malformed variants below.
const wchar_t BasePackage[] = LR"([Version]
Signature = "$Windows NT$"
Provider = "Brisvale"
[CEStrings]
AppName = "Tovamet"
InstallDir = %CE1%\%AppName%
[DefaultInstall]
CopyFiles = Files.Windows
AddReg = Reg.Item
CESetupDLL = TovametSetup.dll
[DestinationDirs]
Files.Windows = 0,%CE2%
[Files.Windows]
Tovamet.dll,,,0
[Reg.Item]
HKLM,Software\Microsoft\Today\Items\Tovamet,Type,0x00010001,4
HKLM,Software\Microsoft\Today\Items\Tovamet,DLL,0x00000000,%CE2%\Tovamet.dll
)";

std::wstring Replaced(const std::wstring& text, const std::wstring& from, const std::wstring& to) {
    size_t at = text.find(from);
    return at == std::wstring::npos ? std::wstring()
                                    : text.substr(0, at) + to + text.substr(at + from.size());
}

TEST(Package, MalformedDescriptionsAreRefusedWithAReason) {
    Package package;
    std::wstring error;
    ASSERT_TRUE(ReadPackage(BasePackage, Folders, package, error)) << Narrow(error);
    ASSERT_EQ(2u, package.values.size());

    const struct {
        const char* what;
        const wchar_t* from;
        const wchar_t* to;
        const wchar_t* reason; // a fragment of the message
    } cases[] = {
        {"not a cabinet .inf", L"Signature = \"$Windows NT$\"", L"", L"Signature"},
        {"no provider", L"Provider = \"Brisvale\"", L"", L"Provider"},
        {"provider leaving its key", L"\"Brisvale\"", L"\"..\\Brisvale\"", L"Provider"},
        {"no application name", L"AppName = \"Tovamet\"", L"", L"AppName"},
        {"no install folder", L"InstallDir = %CE1%\\%AppName%", L"", L"InstallDir"},
        {"no install section", L"[DefaultInstall]", L"[Install]", L"DefaultInstall"},
        {"copy section missing", L"CopyFiles = Files.Windows", L"CopyFiles = Files.None",
         L"Files.None"},
        {"no destination", L"Files.Windows = 0,%CE2%", L"Files.Other = 0,%CE2%",
         L"DestinationDirs"},
        {"destination not 0,folder", L"= 0,%CE2%", L"= 5,%CE2%", L"DestinationDirs"},
        {"file outside its folder", L"Tovamet.dll,,,0", L"..\\evil.dll,,,0", L"folder"},
        {"source outside the package", L"Tovamet.dll,,,0", L"Tovamet.dll,C:\\x.dll,,0", L"folder"},
        {"setup library with a folder", L"CESetupDLL = TovametSetup.dll", L"CESetupDLL = ..\\s.dll",
         L"CESetupDLL"},
        {"registry section missing", L"AddReg = Reg.Item", L"AddReg = Reg.None", L"Reg.None"},
        {"too few registry fields", L",Type,0x00010001,4", L",Type,0x00010001", L"root,subkey"},
        {"unknown root", L"HKLM,Software\\Microsoft\\Today\\Items\\Tovamet,Type",
         L"HKXX,Software\\X,Type", L"HKXX"},
        {"empty subkey", L"HKLM,Software\\Microsoft\\Today\\Items\\Tovamet,Type", L"HKLM,,Type",
         L"subkey"},
        {"multi-string flags", L"0x00010001,4", L"0x00010000,4", L"flags"},
        {"DWORD that is not a number", L"0x00010001,4", L"0x00010001,four", L"DWORD"},
        {"DWORD beyond 32 bits", L"0x00010001,4", L"0x00010001,0x100000000", L"DWORD"},
        {"unknown string", L"%CE2%\\Tovamet.dll", L"%CE9%\\Tovamet.dll", L"CE9"},
        {"unpaired percent", L"%CE2%\\Tovamet.dll", L"%CE2\\Tovamet.dll", L"%"},
        {"text before any section", L"[Version]", L"stray\n[Version]", L"line 1"},
        {"name Windows would cut short", L"Tovamet.dll,,,0", L"...,,,0", L"folder"},
        {"destination climbing out", L"= 0,%CE2%", L"= 0,%CE2%\\..\\..\\escape_dest",
         L"not inside"},
        {"destination elsewhere", L"= 0,%CE2%", L"= 0,Z:\\tmp", L"not inside"},
        {"destination beside its folder", L"= 0,%CE2%", L"= 0,%CE2%x", L"not inside"},
        {"device folder redefined", L"AppName =", L"CE2 = \"Z:\\tmp\"\nAppName =", L"not inside"},
        {"install folder elsewhere", L"InstallDir = %CE1%", L"InstallDir = Z:\\tmp", L"not inside"},
        {"version not major.minor", L"[DefaultInstall]",
         L"[CEDevice]\nVersionMin = 4.x\n[DefaultInstall]", L"CEDevice"},
        {"install folder climbing out", L"InstallDir = %CE1%", L"InstallDir = %CE1%\\..",
         L"not inside"},
        {"build not a number", L"[DefaultInstall]",
         L"[CEDevice]\nBuildMax = 0xE0000000 SE\n[DefaultInstall]", L"BuildMax"},
        // Keys that the setup file cannot carry are refused, never dropped.
        {"processor in the .inf", L"[DefaultInstall]",
         L"[CEDevice]\nProcessorType = 2577\n[DefaultInstall]", L"ProcessorType is not carried"},
        {"unsupported platforms", L"[DefaultInstall]",
         L"[CEDevice]\nUnsupportedPlatforms = HPC\n[DefaultInstall]",
         L"UnsupportedPlatforms is not"},
        {"shortcuts", L"AddReg =", L"CEShortcuts = Links\nAddReg =", L"CEShortcuts is not carried"},
    };
    for (const auto& c : cases) {
        std::wstring text = Replaced(BasePackage, c.from, c.to);
        ASSERT_FALSE(text.empty()) << c.what << ": the variant does not apply";
        error.clear();
        EXPECT_FALSE(ReadPackage(text, Folders, package, error)) << c.what;
        EXPECT_NE(std::wstring::npos, error.find(c.reason)) << c.what << ": " << Narrow(error);
    }
}

TEST(Package, FoldersInsideTheDeviceFoldersAndRepeatedSectionsAreTakenOnce) {
    std::wstring text = Replaced(BasePackage, L"= 0,%CE2%", L"= 0,c:\\WINDOWS\\Sub Folder");
    text = Replaced(text, L"= Files.Windows", L"= Files.Windows, files.windows,Files.Windows");
    text = Replaced(text, L"= Reg.Item", L"= Reg.Item,REG.ITEM");
    ASSERT_FALSE(text.empty());
    Package package;
    std::wstring error;
    ASSERT_TRUE(ReadPackage(text, Folders, package, error)) << Narrow(error);
    ASSERT_EQ(1u, package.files.size()) << "the file section is read once";
    EXPECT_EQ(L"c:\\WINDOWS\\Sub Folder", package.files[0].directory);
    EXPECT_EQ(2u, package.values.size()) << "the registry section is read once";
}

TEST(InstallRecordLists, RoundTripThroughTheirFlatForm) {
    const std::vector<std::wstring> files = {L"C:\\windows\\Tovamet.dll", L"C:\\x y\\z.dll"};
    EXPECT_EQ(files, SplitMultiString(JoinMultiString(files)));
    EXPECT_EQ(std::wstring(1, L'\0'), JoinMultiString({}));
    EXPECT_TRUE(SplitMultiString(JoinMultiString({})).empty());
    EXPECT_EQ((std::vector<std::wstring>{L"a"}), SplitMultiString(std::wstring(L"a")))
        << "a block that lost its closing nulls";

    const std::vector<RecordedValue> values = {
        {L"HKLM\\Software\\A", L"DLL"}, {L"HKLM\\Software\\A", L""}, {L"HKCU\\B", L"odd\\name=1"}};
    std::vector<RecordedValue> decoded;
    ASSERT_TRUE(DecodeValues(SplitMultiString(JoinMultiString(EncodeValues(values))), decoded));
    ASSERT_EQ(values.size(), decoded.size());
    for (size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(values[i].keyPath, decoded[i].keyPath) << i;
        EXPECT_EQ(values[i].name, decoded[i].name) << i;
    }
    EXPECT_FALSE(DecodeValues({L"HKLM\\A"}, decoded)) << "a key without its value";
    EXPECT_FALSE(DecodeValues({L"HKLM\\A", L"DLL"}, decoded)) << "a name without its marker";
}

TEST(InstallRecordLists, AReinstallationTakesOverWhatTheEarlierOneMade) {
    InstallRecord earlier;
    earlier.setupDll = L"C:\\Old\\TovametSetup.dll";
    earlier.files = {L"C:\\windows\\Tovamet.dll", L"C:\\windows\\Old.dll"};
    earlier.directories = {L"C:\\Old"};
    earlier.keys = {L"HKLM\\Software\\Microsoft\\Today",
                    L"HKLM\\Software\\Microsoft\\Today\\Items"};
    earlier.values = {{L"HKLM\\Software\\A", L"DLL"}};
    InstallRecord record;
    record.setupDll = L"C:\\New\\TovametSetup.dll";
    record.files = {L"C:\\windows\\Tovamet.dll"};
    record.directories = {L"C:\\New"};
    // The item key was deleted by the hooks and made anew; its parents were not.
    record.keys = {L"HKLM\\Software\\Microsoft\\Today\\Items\\Tovamet"};
    record.values = {{L"HKLM\\Software\\A", L"DLL"}, {L"HKLM\\Software\\A", L"Type"}};
    CarryOver(earlier, record);

    std::vector<std::wstring> files = record.files;
    std::sort(files.begin(), files.end());
    EXPECT_EQ((std::vector<std::wstring>{L"C:\\Old\\TovametSetup.dll", L"C:\\windows\\Old.dll",
                                         L"C:\\windows\\Tovamet.dll"}),
              files)
        << "each file once, the old kept setup library among them";
    EXPECT_EQ((std::vector<std::wstring>{L"C:\\Old", L"C:\\New"}), record.directories);
    EXPECT_EQ((std::vector<std::wstring>{L"HKLM\\Software\\Microsoft\\Today",
                                         L"HKLM\\Software\\Microsoft\\Today\\Items",
                                         L"HKLM\\Software\\Microsoft\\Today\\Items\\Tovamet"}),
              record.keys)
        << "outermost first, so the removal can go innermost first";
    ASSERT_EQ(2u, record.values.size()) << "no value twice";
    EXPECT_EQ(L"Type", record.values[1].name);
    EXPECT_EQ(L"C:\\New\\TovametSetup.dll", record.setupDll);
}

TEST(InstallRecordLists, KeyPathsNameTheirRoot) {
    EXPECT_EQ(L"HKLM\\Software\\Apps", KeyPath(RegistryRoot::LocalMachine, L"Software\\Apps"));
    EXPECT_EQ(L"HKCR\\.x", KeyPath(RegistryRoot::ClassesRoot, L".x"));
    RegistryRoot root = RegistryRoot::LocalMachine;
    std::wstring subkey;
    ASSERT_TRUE(SplitKeyPath(L"hkcu\\Software\\X", root, subkey));
    EXPECT_TRUE(root == RegistryRoot::CurrentUser);
    EXPECT_EQ(L"Software\\X", subkey);
    EXPECT_FALSE(SplitKeyPath(L"HKXX\\Software", root, subkey));
    EXPECT_FALSE(SplitKeyPath(L"HKLM", root, subkey));
    EXPECT_FALSE(SplitKeyPath(L"HKLM\\", root, subkey));
}

} // namespace

// The cabinet-installer stand-in under Wine, run as its own process on the
// Tovamet package: install and uninstall round trips, and every refusal
// (missing or malformed .inf, missing payload) changing nothing.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "narrow_text.h"
#include "package_install.h"

namespace {

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file) << Narrow(path);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

bool ReadDword(const wchar_t* path, const wchar_t* name, DWORD& value) {
    DWORD size = sizeof(value);
    return RegGetValueW(HKEY_LOCAL_MACHINE, path, name, RRF_RT_REG_DWORD, nullptr, &value, &size) ==
           ERROR_SUCCESS;
}

std::wstring ReadString(const wchar_t* path, const wchar_t* name) {
    wchar_t text[MAX_PATH] = L"";
    DWORD size = sizeof(text);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, path, name, RRF_RT_REG_SZ, nullptr, text, &size) !=
        ERROR_SUCCESS) {
        return L"<absent>";
    }
    return text;
}

void StoreDwordAt(const wchar_t* path, const wchar_t* name, DWORD value) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_SET_VALUE,
                                             nullptr, &key, nullptr));
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    RegCloseKey(key);
}

class Installer : public testing::Test {
  protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        work = std::wstring(temp) + L"tovamet_installer_test";
        RemoveWork();
        CreateDirectoryW(work.c_str(), nullptr);
        todayKeyBefore = KeyExists(TodayKey);
        appsKeyBefore = KeyExists(AppsKey);
        ASSERT_TRUE(Exists(PackageInf())) << "the package folder beside the test is missing";
        ASSERT_FALSE(Exists(InstalledItem()));
    }
    void TearDown() override {
        RunInstaller(L"uninstall " + Quoted(PackageInf()));
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, ItemKey);
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, AppKey);
        RemoveWork();
    }

    void RemoveWork() {
        for (const wchar_t* name : {L"Tovamet.inf", L"Tovamet.dll", L"TovametSetup.dll"}) {
            DeleteFileW((work + L"\\" + name).c_str());
        }
        RemoveDirectoryW(work.c_str());
    }

    // A source folder of the package's files in the work folder, with the
    // .inf text given (the package's own if empty) and one file left out.
    std::wstring MakeSource(const std::string& inf, const wchar_t* leftOut) {
        for (const wchar_t* name : {L"Tovamet.dll", L"TovametSetup.dll"}) {
            if (leftOut == nullptr || std::wstring(name) != leftOut) {
                CopyFileW((PackageFolder() + L"\\" + name).c_str(), (work + L"\\" + name).c_str(),
                          FALSE);
            }
        }
        WriteFileBytes(work + L"\\Tovamet.inf", inf.empty() ? ReadFileBytes(PackageInf()) : inf);
        return work;
    }

    void ExpectInstalled() {
        EXPECT_EQ(ReadFileBytes(PackageFolder() + L"\\Tovamet.dll"), ReadFileBytes(InstalledItem()))
            << "the item in the Windows folder";
        EXPECT_EQ(Narrow(InstalledItem()), Narrow(ReadString(ItemKey, L"DLL")));
        DWORD value = 0;
        EXPECT_TRUE(ReadDword(ItemKey, L"Type", value) && value == 4) << "custom item type";
        EXPECT_TRUE(ReadDword(ItemKey, L"Enabled", value) && value == 1);
        EXPECT_TRUE(ReadDword(ItemKey, L"Order", value));
        EXPECT_FALSE(ReadDword(ItemKey, L"Options", value)) << "no options flag";
        EXPECT_EQ(Narrow(InstallFolder()), Narrow(ReadString(AppKey, L"InstallDir")));
        EXPECT_TRUE(ReadDword(AppKey, L"Instl", value) && value == 1);
        EXPECT_TRUE(Exists(InstallFolder() + L"\\TovametSetup.dll")) << "kept for the removal";
    }

    void ExpectNothingLeft(const char* after) {
        EXPECT_FALSE(Exists(InstalledItem())) << after;
        EXPECT_FALSE(Exists(InstallFolder())) << after;
        EXPECT_FALSE(KeyExists(ItemKey)) << after;
        EXPECT_FALSE(KeyExists(AppKey)) << after;
        EXPECT_EQ(todayKeyBefore, KeyExists(TodayKey)) << after << ": keys made for the item";
        EXPECT_EQ(appsKeyBefore, KeyExists(AppsKey)) << after << ": the applications key";
    }

    std::wstring work;
    bool todayKeyBefore = false;
    bool appsKeyBefore = false;
};

TEST_F(Installer, InstallThenUninstallLeavesNoKeyOrFile) {
    InstallerRun install = RunInstaller(InstallArguments(PackageInf(), PackageFolder()));
    ASSERT_EQ(0u, install.exitCode) << install.output;
    ExpectInstalled();

    InstallerRun uninstall = RunInstaller(L"uninstall " + Quoted(PackageInf()));
    EXPECT_EQ(0u, uninstall.exitCode) << uninstall.output;
    ExpectNothingLeft("after the round trip");
}

TEST_F(Installer, InstallingOverAnInstallationStartsFromDefaults) {
    ASSERT_EQ(0u, RunInstaller(InstallArguments(PackageInf(), PackageFolder())).exitCode);
    StoreDwordAt(ItemKey, L"WindowSize", 0);
    InstallerRun again = RunInstaller(InstallArguments(PackageInf(), PackageFolder()));
    ASSERT_EQ(0u, again.exitCode) << again.output;
    DWORD value = 0;
    EXPECT_FALSE(ReadDword(ItemKey, L"WindowSize", value)) << "Install_Init removed the settings";
    ExpectInstalled();

    EXPECT_EQ(0u, RunInstaller(L"uninstall " + Quoted(PackageInf())).exitCode);
    ExpectNothingLeft("after installing twice and removing once");
}

TEST_F(Installer, UninstallWithoutItsInfChangesNothing) {
    ASSERT_EQ(0u, RunInstaller(InstallArguments(PackageInf(), PackageFolder())).exitCode);
    InstallerRun refused = RunInstaller(L"uninstall " + Quoted(work + L"\\missing.inf"));
    EXPECT_NE(0u, refused.exitCode);
    EXPECT_NE(std::string::npos, refused.output.find("missing.inf")) << refused.output;
    ExpectInstalled();
}

TEST_F(Installer, RefusalsChangeNothing) {
    const std::string inf = ReadFileBytes(PackageInf());
    // The package's own .inf with one piece of it replaced, installed.
    auto installWith = [&](const std::string& from, const std::string& to) {
        std::string text = inf;
        size_t at = text.find(from);
        if (at != std::string::npos) {
            text.replace(at, from.size(), to);
        }
        return InstallArguments(MakeSource(text, nullptr) + L"\\Tovamet.inf", work);
    };
    struct Refusal {
        const char* what;
        std::function<std::wstring()> arguments;
        const char* reason; // a fragment of the report
    };
    const Refusal refusals[] = {
        {"missing .inf", [&] { return InstallArguments(work + L"\\none.inf", PackageFolder()); },
         "none.inf"},
        {"no provider", [&] { return installWith("Provider    = \"Brisvale\"", ""); }, "Provider"},
        {"DWORD flags with a string",
         [&] { return installWith(",Type,0x00010001,4", ",Type,0x00010001,four"); }, "DWORD"},
        {"destination climbing out of its folder",
         [&] { return installWith("0,%CE2%", "0,%CE2%\\..\\..\\escape_dest"); }, "not inside"},
        {"binary file as .inf",
         [&] {
             return InstallArguments(
                 MakeSource(std::string("MZ\0\0\x90\x01", 6), nullptr) + L"\\Tovamet.inf", work);
         },
         "Tovamet.inf"},
        {"missing item library",
         [&] { return InstallArguments(MakeSource("", L"Tovamet.dll") + L"\\Tovamet.inf", work); },
         "Tovamet.dll"},
        {"missing setup library",
         [&] {
             return InstallArguments(MakeSource("", L"TovametSetup.dll") + L"\\Tovamet.inf", work);
         },
         "TovametSetup.dll"},
        {"missing source folder",
         [&] { return InstallArguments(PackageInf(), work + L"\\nowhere"); }, "nowhere"},
        {"uninstalling what is not installed", [&] { return L"uninstall " + Quoted(PackageInf()); },
         "not installed"},
        {"no command", [&] { return std::wstring(); }, "usage"},
    };
    for (const Refusal& refusal : refusals) {
        // An earlier configuration that a started installation would delete.
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, AppKey);
        StoreDwordAt(ItemKey, L"WindowSize", 1);
        RemoveWork();
        CreateDirectoryW(work.c_str(), nullptr);

        InstallerRun run = RunInstaller(refusal.arguments());
        EXPECT_NE(0u, run.exitCode) << refusal.what;
        EXPECT_NE(std::string::npos, run.output.find(refusal.reason))
            << refusal.what << ": " << run.output;
        DWORD value = 0;
        EXPECT_TRUE(ReadDword(ItemKey, L"WindowSize", value) && value == 1)
            << refusal.what << ": the item's settings were touched";
        EXPECT_FALSE(KeyExists(AppKey)) << refusal.what;
        EXPECT_FALSE(Exists(InstalledItem())) << refusal.what;
        EXPECT_FALSE(Exists(InstallFolder())) << refusal.what;
    }
}

// A registry write the machine refuses, after the files and the first values
// are in place, alone and over an earlier installation.
TEST_F(Installer, AFailedRegistryWriteUndoesTheInstallation) {
    const wchar_t TestKey[] = L"Software\\Tovamet Test";
    const struct {
        const char* what;
        std::string line;
        bool overEarlier;
    } cases[] = {
        {"300-character subkey",
         "HKLM," + Narrow(TestKey) + "\\" + std::string(300, 'k') + ",V,0x00010001,1\r\n", false},
        {"20,000-character value name",
         "HKLM," + Narrow(TestKey) + "," + std::string(20000, 'v') + ",0x00010001,1\r\n", true},
    };
    for (const auto& c : cases) {
        if (c.overEarlier) {
            ASSERT_EQ(0u, RunInstaller(InstallArguments(PackageInf(), PackageFolder())).exitCode);
        }
        const std::wstring inf = MakeSource(ReadFileBytes(PackageInf()) + c.line, nullptr);
        InstallerRun run = RunInstaller(InstallArguments(inf + L"\\Tovamet.inf", work));
        EXPECT_EQ(1u, run.exitCode) << c.what;
        EXPECT_NE(std::string::npos, run.output.find("undone")) << c.what << ": " << run.output;
        ExpectNothingLeft(c.what);
        EXPECT_FALSE(KeyExists(TestKey)) << c.what;
    }
}

} // namespace

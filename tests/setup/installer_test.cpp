// The cabinet-installer stand-in under Wine, run as its own process on the
// Tovamet package's cabinet: install and uninstall round trips, every refusal
// (missing or damaged cabinet, missing member) changing nothing, and a file
// that cannot be deleted staying on record.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "narrow_text.h"
#include "package_install.h"

namespace {

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
        todayKeyBefore = KeyExists(TodayKey);
        appsKeyBefore = KeyExists(AppsKey);
        ASSERT_TRUE(Exists(PackageCab())) << "the package folder beside the test is missing";
        ASSERT_FALSE(Exists(InstalledItem()));
    }
    void TearDown() override {
        RunInstaller(UninstallArguments());
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, ItemKey);
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, AppKey);
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

    bool todayKeyBefore = false;
    bool appsKeyBefore = false;
};

TEST_F(Installer, InstallThenUninstallByTheCabinetLeavesNoKeyOrFile) {
    InstallerRun install = RunInstaller(InstallArguments(PackageCab()));
    ASSERT_EQ(0u, install.exitCode) << install.output;
    ExpectInstalled();

    InstallerRun uninstall = RunInstaller(L"uninstall " + Quoted(PackageCab()));
    EXPECT_EQ(0u, uninstall.exitCode) << uninstall.output;
    ExpectNothingLeft("after the round trip");
}

TEST_F(Installer, InstallingOverAnInstallationStartsFromDefaults) {
    ASSERT_EQ(0u, RunInstaller(InstallArguments(PackageCab())).exitCode);
    StoreDwordAt(ItemKey, L"WindowSize", 0);
    InstallerRun again = RunInstaller(InstallArguments(PackageCab()));
    ASSERT_EQ(0u, again.exitCode) << again.output;
    DWORD value = 0;
    EXPECT_FALSE(ReadDword(ItemKey, L"WindowSize", value)) << "Install_Init removed the settings";
    ExpectInstalled();

    EXPECT_EQ(0u, RunInstaller(UninstallArguments()).exitCode);
    ExpectNothingLeft("after installing twice and removing once");
}

TEST_F(Installer, UninstallByAMissingCabinetChangesNothing) {
    ASSERT_EQ(0u, RunInstaller(InstallArguments(PackageCab())).exitCode);
    InstallerRun refused = RunInstaller(L"uninstall " + Quoted(PackageCab(L"missing")));
    EXPECT_NE(0u, refused.exitCode);
    EXPECT_NE(std::string::npos, refused.output.find("missing.cab")) << refused.output;
    ExpectInstalled();
}

// The host holds the item's library loaded while its options are open; here
// the test holds it. The removal and a reinstallation then cannot delete it,
// and the record keeps it until a later removal can.
TEST_F(Installer, AFileInUseStaysOnRecordUntilALaterUninstall) {
    ASSERT_EQ(0u, RunInstaller(InstallArguments(PackageCab())).exitCode);
    HMODULE held = LoadLibraryExW(InstalledItem().c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    ASSERT_NE(nullptr, held);
    InstallerRun removal = RunInstaller(UninstallArguments());
    EXPECT_EQ(1u, removal.exitCode) << removal.output;
    EXPECT_NE(std::string::npos, removal.output.find("keeps them")) << removal.output;
    EXPECT_TRUE(KeyExists(AppKey)) << "the record of the file left";
    InstallerRun reinstall = RunInstaller(InstallArguments(PackageCab()));
    EXPECT_TRUE(KeyExists(AppKey)) << reinstall.output;
    FreeLibrary(held);

    InstallerRun later = RunInstaller(UninstallArguments());
    EXPECT_EQ(0u, later.exitCode) << later.output;
    ExpectNothingLeft("after the later removal");
}

TEST_F(Installer, RefusalsChangeNothing) {
    const struct {
        const char* what;
        std::wstring arguments;
        const char* reason; // a fragment of the report
    } refusals[] = {
        {"missing cabinet", InstallArguments(PackageCab(L"none")), "none.cab: no such file"},
        {"a program for a cabinet", InstallArguments(PackageFolder() + L"\\cab_installer.exe"),
         "not a readable cabinet"},
        {"cabinet lacking the item library", InstallArguments(PackageCab(L"Lacking")),
         "FILES lists member 1 (Tovamet.dll), which the cabinet lacks"},
        {"cabinet for a later OS", InstallArguments(PackageCab(L"Newer")),
         "version range 6.0 to 6.99 leaves out this device's 5.2"},
        {"uninstalling what is not installed", UninstallArguments(), "not installed"},
        {"no command", L"", "usage"},
    };
    for (const auto& refusal : refusals) {
        // An earlier configuration that a started installation would delete.
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, AppKey);
        StoreDwordAt(ItemKey, L"WindowSize", 1);

        InstallerRun run = RunInstaller(refusal.arguments);
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
        const wchar_t* cab;
        bool overEarlier;
    } cases[] = {
        {"300-character subkey", L"LongSubkey", false},
        {"20,000-character value name", L"LongName", true},
    };
    for (const auto& c : cases) {
        if (c.overEarlier) {
            ASSERT_EQ(0u, RunInstaller(InstallArguments(PackageCab())).exitCode);
        }
        InstallerRun run = RunInstaller(InstallArguments(PackageCab(c.cab)));
        EXPECT_EQ(1u, run.exitCode) << c.what;
        EXPECT_NE(std::string::npos, run.output.find("undone")) << c.what << ": " << run.output;
        ExpectNothingLeft(c.what);
        EXPECT_FALSE(KeyExists(TestKey)) << c.what;
    }
}

} // namespace

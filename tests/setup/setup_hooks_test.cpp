// TovametSetup.dll under Wine: the keys its hooks remove and leave, their
// results for any arguments, its resources, and the Today refresh broadcast as
// a busy top-level window receives it and a hung one fails to hold it up.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "broadcast_receiver.h"
#include "ce_setup.h"
#include "package_install.h"
#include "today_refresh.h"

namespace {

const wchar_t ItemsKey[] = L"Software\\Microsoft\\Today\\Items";
const wchar_t NestedItemKey[] = L"Software\\Microsoft\\Today\\Items\\Tovamet\\Nested";
const wchar_t SiblingItemKey[] = L"Software\\Microsoft\\Today\\Items\\Sibling";
const wchar_t SiblingAppKey[] = L"Software\\Apps\\Brisvale Other";

const wchar_t* const SettingNames[] = {L"WindowSize", L"SampleInterval", L"BackgroundColor",
                                       L"GridColor",  L"SampleColor",    L"MemoryColor",
                                       L"TextColor",  L"DisplayMode",    L"DisplayMemory"};

constexpr WPARAM TodayRefresh = 0xF2;
constexpr DWORD BusyMilliseconds = 1000;
// Longer than any hook that does not wait could take, even on a busy machine.
constexpr DWORD SlowMilliseconds = 3000;
// A broadcast that meets a hung window lasts the time-out; this much more is
// enough to tell "gave up on it" from "waited for it again" or "hung with it".
constexpr DWORD HungBound = RefreshTimeoutMilliseconds + 5000;

std::wstring LibraryPath() {
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.rfind(L'\\') + 1) + L"TovametSetup.dll";
}

void StoreValue(const wchar_t* path, const wchar_t* name, DWORD value) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_SET_VALUE,
                                             nullptr, &key, nullptr));
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    RegCloseKey(key);
}

DWORD ReadValue(const wchar_t* path, const wchar_t* name) {
    DWORD value = 0xDEADBEEF;
    DWORD size = sizeof(value);
    RegGetValueW(HKEY_LOCAL_MACHINE, path, name, RRF_RT_REG_DWORD, nullptr, &value, &size);
    return value;
}

bool WaitUnloaded() {
    const std::wstring path = LibraryPath();
    for (DWORD waited = 0; waited < 10000; waited += 10) {
        if (GetModuleHandleW(path.c_str()) == nullptr) {
            return true;
        }
        Sleep(10);
    }
    return false;
}

void DeleteTree(const wchar_t* path) {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, path);
}

// An installation over an earlier one: the item's nine settings (and a subkey
// some other writer left), the application key, and keys of others beside them.
void StoreEarlierInstallation() {
    for (DWORD i = 0; i < 9; ++i) {
        StoreValue(ItemKey, SettingNames[i], i + 1);
    }
    StoreValue(NestedItemKey, L"Left", 7);
    StoreValue(AppKey, L"Instl", 1);
    StoreValue(SiblingItemKey, L"Type", 4);
    StoreValue(SiblingAppKey, L"Instl", 1);
    StoreValue(ItemsKey, L"Count", 2);
}

void ExpectOthersUntouched(const char* after) {
    EXPECT_EQ(4u, ReadValue(SiblingItemKey, L"Type")) << after;
    EXPECT_EQ(1u, ReadValue(SiblingAppKey, L"Instl")) << after;
    EXPECT_EQ(2u, ReadValue(ItemsKey, L"Count")) << after;
}

class SetupHooks : public testing::Test {
  protected:
    void SetUp() override {
        module = LoadLibraryW(LibraryPath().c_str());
        ASSERT_NE(nullptr, module) << "cannot load TovametSetup.dll beside the test";
        installInit = Find<pfnINSTALL_INIT>(szINSTALL_INIT);
        installExit = Find<pfnINSTALL_EXIT>(szINSTALL_EXIT);
        uninstallInit = Find<pfnUNINSTALL_INIT>(szUNINSTALL_INIT);
        uninstallExit = Find<pfnUNINSTALL_EXIT>(szUNINSTALL_EXIT);
        ASSERT_TRUE(installInit && installExit && uninstallInit && uninstallExit)
            << "the four hooks are exported under their plain names";
        DeleteTree(TodayKey);
        DeleteTree(AppsKey);
    }
    // Waits for the library to be really gone, so that no broadcast of an
    // earlier Install_Exit is still under way when the next test begins.
    void TearDown() override {
        if (module != nullptr) {
            FreeLibrary(module);
        }
        EXPECT_TRUE(WaitUnloaded()) << "the library stays loaded";
        DeleteTree(TodayKey);
        DeleteTree(AppsKey);
    }

    template <typename Hook> Hook Find(const char* name) {
        return reinterpret_cast<Hook>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
    }

    struct NamedHook {
        const char* name;
        std::function<int()> call;
    };
    std::vector<NamedHook> InitHooks() {
        return {{"Install_Init", [this] { return installInit(nullptr, TRUE, FALSE, nullptr); }},
                {"Uninstall_Init", [this] { return uninstallInit(nullptr, nullptr); }}};
    }
    std::vector<NamedHook> WaitingHooks() {
        std::vector<NamedHook> hooks = InitHooks();
        hooks.push_back({"Uninstall_Exit", [this] { return uninstallExit(nullptr); }});
        return hooks;
    }

    HMODULE module = nullptr;
    pfnINSTALL_INIT installInit = nullptr;
    pfnINSTALL_EXIT installExit = nullptr;
    pfnUNINSTALL_INIT uninstallInit = nullptr;
    pfnUNINSTALL_EXIT uninstallExit = nullptr;
};

TEST_F(SetupHooks, FirstInstallationWithoutAnyKeysContinues) {
    for (const NamedHook& hook : InitHooks()) {
        EXPECT_EQ(0, hook.call()) << hook.name << " with no parent keys at all";
        EXPECT_FALSE(KeyExists(ItemKey)) << hook.name << " must not create the item key";
        EXPECT_FALSE(KeyExists(AppKey)) << hook.name << " must not create the application key";
    }
    StoreValue(ItemsKey, L"Count", 2);
    StoreValue(SiblingAppKey, L"Instl", 1);
    for (const NamedHook& hook : InitHooks()) {
        EXPECT_EQ(0, hook.call()) << hook.name << " with the parents but not the keys";
        EXPECT_FALSE(KeyExists(ItemKey)) << hook.name;
        EXPECT_FALSE(KeyExists(AppKey)) << hook.name;
        EXPECT_EQ(2u, ReadValue(ItemsKey, L"Count")) << hook.name;
        EXPECT_EQ(1u, ReadValue(SiblingAppKey, L"Instl")) << hook.name;
    }
}

TEST_F(SetupHooks, InitHooksRemoveBothKeysWithTheStoredSettingsOnly) {
    for (const NamedHook& hook : InitHooks()) {
        StoreEarlierInstallation();
        ASSERT_EQ(9u, ReadValue(ItemKey, L"DisplayMemory"));
        EXPECT_EQ(0, hook.call()) << hook.name;
        EXPECT_FALSE(KeyExists(ItemKey)) << hook.name << " leaves the item key (or its subkey)";
        EXPECT_FALSE(KeyExists(AppKey)) << hook.name << " leaves the application key";
        ExpectOthersUntouched(hook.name);
    }
}

TEST_F(SetupHooks, ExitHooksLeaveTheKeys) {
    StoreEarlierInstallation();
    EXPECT_EQ(0, installExit(nullptr, nullptr, 0, 0, 0, 0, 0));
    EXPECT_EQ(0, uninstallExit(nullptr));
    for (DWORD i = 0; i < 9; ++i) {
        EXPECT_EQ(i + 1, ReadValue(ItemKey, SettingNames[i])) << "after the exit hooks";
    }
    EXPECT_EQ(1u, ReadValue(AppKey, L"Instl")) << "after the exit hooks";
    ExpectOthersUntouched("after the exit hooks");
}

TEST_F(SetupHooks, AnyArgumentsGiveTheSameResult) {
    const HWND bogusWindow = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x12345));
    const wchar_t folder[] = L"\\Program Files\\Tovamet";
    struct Call {
        const char* what;
        std::function<int()> call;
        bool removesKeys;
    };
    const Call calls[] = {
        {"Install_Init nulls", [&] { return installInit(nullptr, FALSE, FALSE, nullptr); }, true},
        {"Install_Init others", [&] { return installInit(bogusWindow, TRUE, TRUE, folder); }, true},
        {"Install_Init odd flags",
         [&] { return installInit(bogusWindow, static_cast<BOOL>(-7), 2, L""); }, true},
        {"Install_Exit zeros", [&] { return installExit(nullptr, nullptr, 0, 0, 0, 0, 0); }, false},
        {"Install_Exit failures",
         [&] { return installExit(bogusWindow, folder, 1, 0xFFFF, 2, 3, 0xFFFF); }, false},
        {"Uninstall_Init nulls", [&] { return uninstallInit(nullptr, nullptr); }, true},
        {"Uninstall_Init others", [&] { return uninstallInit(bogusWindow, folder); }, true},
        {"Uninstall_Exit null", [&] { return uninstallExit(nullptr); }, false},
        {"Uninstall_Exit other", [&] { return uninstallExit(bogusWindow); }, false},
    };
    for (int round = 0; round < 2; ++round) {
        for (const Call& c : calls) {
            StoreEarlierInstallation();
            EXPECT_EQ(0, c.call()) << c.what << ", round " << round;
            EXPECT_EQ(!c.removesKeys, KeyExists(ItemKey)) << c.what << ", round " << round;
            EXPECT_EQ(!c.removesKeys, KeyExists(AppKey)) << c.what << ", round " << round;
        }
    }
}

TEST_F(SetupHooks, CarriesVersionAndHighResolutionMarker) {
    HRSRC marker = FindResourceW(module, L"HI_RES_AWARE", L"CEUX");
    ASSERT_NE(nullptr, marker);
    ASSERT_EQ(2u, SizeofResource(module, marker)) << "one 16-bit value";
    const WORD* value = static_cast<const WORD*>(LockResource(LoadResource(module, marker)));
    ASSERT_NE(nullptr, value);
    EXPECT_EQ(1, *value);

    std::wstring path = LibraryPath();
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), nullptr);
    ASSERT_NE(0u, size);
    std::vector<BYTE> info(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, info.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(MAKELONG(0, 1), fixed->dwFileVersionMS) << "1.0";
    EXPECT_EQ(MAKELONG(1, 0), fixed->dwFileVersionLS) << ".0.1";
    EXPECT_EQ(MAKELONG(0, 1), fixed->dwProductVersionMS);
    EXPECT_EQ(MAKELONG(1, 0), fixed->dwProductVersionLS);
}

TEST_F(SetupHooks, WaitingHooksReturnOnlyAfterTheReceiverHandledTheBroadcast) {
    for (const NamedHook& hook : WaitingHooks()) {
        BroadcastReceiver receiver(BusyMilliseconds);
        ASSERT_TRUE(receiver.Ready());
        DWORD start = GetTickCount();
        EXPECT_EQ(0, hook.call()) << hook.name;
        DWORD elapsed = GetTickCount() - start;
        EXPECT_EQ(1, receiver.Handled()) << hook.name << " returned before the receiver was done";
        EXPECT_GE(elapsed, BusyMilliseconds - 100) << hook.name;
        EXPECT_EQ(TodayRefresh, receiver.LastWParam()) << hook.name;
        EXPECT_EQ(0, receiver.LastLParam()) << hook.name;
    }
}

TEST_F(SetupHooks, InstallExitReturnsWhileTheReceiverIsBusyAndStillDelivers) {
    BroadcastReceiver receiver(SlowMilliseconds);
    ASSERT_TRUE(receiver.Ready());
    EXPECT_EQ(0, installExit(nullptr, nullptr, 0, 0, 0, 0, 0));
    EXPECT_EQ(0, receiver.Handled()) << "Install_Exit waited for the receiver";
    ASSERT_TRUE(receiver.WaitHandled(10000)) << "the broadcast never arrived";
    EXPECT_EQ(1, receiver.Handled());
    EXPECT_EQ(TodayRefresh, receiver.LastWParam());
    EXPECT_EQ(0, receiver.LastLParam());
}

TEST_F(SetupHooks, InstallExitDeliversAfterTheInstallerUnloadsTheLibrary) {
    BroadcastReceiver receiver(SlowMilliseconds);
    ASSERT_TRUE(receiver.Ready());
    EXPECT_EQ(0, installExit(nullptr, nullptr, 0, 0, 0, 0, 0));
    // As the installer does: the library goes the moment the last hook returns.
    FreeLibrary(module);
    module = nullptr;
    EXPECT_EQ(0, receiver.Handled());
    ASSERT_TRUE(receiver.WaitHandled(10000)) << "the broadcast never arrived";
    EXPECT_EQ(TodayRefresh, receiver.LastWParam());
    EXPECT_EQ(0, receiver.LastLParam());
    // Once the delivery is over, the library lets go of itself (TearDown waits
    // for that and fails if it does not happen).
}

// The waiting hooks meet a window that has just stopped reading messages, and
// Install_Exit's own delivery meets another. One broadcast at a time: Wine
// takes a window that has idled for 5 s for hung while it wakes for another.
TEST_F(SetupHooks, AHungWindowHoldsNoHookLongerThanTheTimeOut) {
    BroadcastReceiver answering(0);
    BroadcastReceiver hung(INFINITE);
    ASSERT_TRUE(answering.Ready() && hung.Ready());
    for (const NamedHook& hook : WaitingHooks()) {
        DWORD start = GetTickCount();
        EXPECT_EQ(0, hook.call()) << hook.name;
        EXPECT_LE(GetTickCount() - start, HungBound) << hook.name << " waited for the hung window";
    }
    BroadcastReceiver hungLater(INFINITE);
    ASSERT_TRUE(hungLater.Ready());
    DWORD start = GetTickCount();
    EXPECT_EQ(0, installExit(nullptr, nullptr, 0, 0, 0, 0, 0));
    FreeLibrary(module);
    module = nullptr;
    EXPECT_TRUE(WaitUnloaded());
    EXPECT_LE(GetTickCount() - start, HungBound) << "Install_Exit's delivery kept the library";
    EXPECT_EQ(4, answering.Handled()) << "the answering window missed a broadcast";
}

TEST_F(SetupHooks, AHungWindowHoldsAnInstallationAndRemovalNoLongerThanTheTimeOut) {
    BroadcastReceiver answering(0);
    BroadcastReceiver hung(INFINITE);
    ASSERT_TRUE(answering.Ready() && hung.Ready());
    DWORD start = GetTickCount();
    InstallerRun install = RunInstaller(InstallArguments(PackageCab()));
    InstallerRun uninstall = RunInstaller(UninstallArguments());
    DWORD elapsed = GetTickCount() - start;
    EXPECT_EQ(0u, install.exitCode) << install.output;
    EXPECT_EQ(0u, uninstall.exitCode) << uninstall.output;
    EXPECT_LE(elapsed, HungBound) << "installing and removing waited for the hung window";
    EXPECT_EQ(4, answering.Handled()) << "the answering window missed a broadcast";
}

} // namespace

// Installing and removing a package the way the device's cabinet installer
// does: the setup library's hooks around copying the files and writing the
// registry, and an application record that the removal works from.
#include "commands.h"

#include <windows.h>

#include <algorithm>

#include "app_record.h"
#include "cabinet_members.h"
#include "installed_files.h"
#include "installed_registry.h"
#include "package_source.h"
#include "report.h"
#include "setup_file.h"
#include "setup_library.h"

namespace {

int Refuse(const std::wstring& message) {
    ReportError(message + L"; nothing was changed");
    return 1;
}

std::wstring FullPath(const std::wstring& path) {
    wchar_t full[MAX_PATH];
    DWORD length = GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
    return length > 0 && length < MAX_PATH ? std::wstring(full) : path;
}

bool EndsWithCab(const std::wstring& path) {
    return path.size() > 4 && LowerCase(path.substr(path.size() - 4)) == L".cab";
}

WORD Count(unsigned failures) {
    return static_cast<WORD>(std::min(failures, 0xFFFFu));
}

// The simulated device: Windows CE 5.2 (Windows Mobile 6) on x86-64, a
// processor the setup file's own list has no number for; it takes the
// platform's, as the list does for the others.
constexpr CeVersion DeviceVersion{5, 2};

bool Below(const CeVersion& a, const CeVersion& b) {
    return a.major < b.major || (a.major == b.major && a.minor < b.minor);
}

bool IsNoLimit(const CeVersion& version) {
    return version.major == 0 && version.minor == 0;
}

bool FitsThisDevice(const Package& package, std::wstring& error) {
    if (package.processor != ProcessorAny && package.processor != ProcessorX8664) {
        error = L"setup file: the processor " + std::to_wstring(package.processor) +
                L" is not this device's (" + std::to_wstring(ProcessorX8664) + L", x86-64)";
        return false;
    }
    if ((!IsNoLimit(package.versionMin) && Below(DeviceVersion, package.versionMin)) ||
        (!IsNoLimit(package.versionMax) && Below(package.versionMax, DeviceVersion))) {
        error = L"setup file: the OS version range " + std::to_wstring(package.versionMin.major) +
                L"." + std::to_wstring(package.versionMin.minor) + L" to " +
                std::to_wstring(package.versionMax.major) + L"." +
                std::to_wstring(package.versionMax.minor) + L" leaves out this device's 5.2";
        return false;
    }
    return true;
}

// What a removal could not delete stays in the application record, which
// the hooks have deleted with the item's keys: without it, a later removal
// would find nothing installed and the files would stay for good. False
// when something is left.
bool KeepWhatIsLeft(const std::wstring& recordName, const InstallRecord& record) {
    InstallRecord left = RemainingItems(record);
    if (left.files.empty() && left.setupDll.empty()) {
        DeleteAppRecord(recordName);
        return true;
    }
    std::wstring names;
    for (const std::wstring& file : left.files) {
        names += L" " + file;
    }
    names += left.setupDll.empty() ? L"" : L" " + left.setupDll;
    // Writing the record may make the applications key again; the keys the
    // installation made go with the rest once nothing is left.
    left.keys = record.keys;
    if (!WriteAppRecord(recordName, left)) {
        ReportError(L"could not be deleted, and the record of them could not be kept:" + names);
        return false;
    }
    ReportError(L"could not be deleted:" + names + L"; HKLM\\" + ApplicationsKey + L"\\" +
                recordName + L" keeps them for a later uninstall");
    return false;
}

// Everything but the kept setup library and the folders, which may only go
// once that library is unloaded. The record goes before the keys, so that
// the applications key may go too; what stays is written back afterwards.
void RemoveInstalledItems(const std::wstring& recordName, const InstallRecord& record) {
    RemoveRecordedFiles(record);
    DeleteAppRecord(recordName);
    RemoveRecordedRegistry(record);
}

void RemoveKeptLibrary(const InstallRecord& record) {
    if (!record.setupDll.empty()) {
        RemoveFile(record.setupDll);
    }
    RemoveRecordedFolders(record);
}

// What the record holds goes, the earlier installation's part with it: this
// record has taken over from the earlier one, which the hooks delete with the
// item's settings, so what stayed of it would have nothing to remove it by.
void UndoInstallation(const std::wstring& recordName, const InstallRecord& record) {
    RemoveInstalledItems(recordName, record);
    RemoveKeptLibrary(record);
    KeepWhatIsLeft(recordName, record);
}

bool Unload(SetupLibrary& library) {
    if (library.module == nullptr) {
        return true;
    }
    if (!UnloadSetupLibrary(library)) {
        ReportError(library.path + L" is still loaded after its last hook");
        return false;
    }
    return true;
}

// Copies the files, keeps a copy of the setup library for the removal and
// writes the registry values, noting all of it in the record.
FailureCounts InstallItems(const Package& package, InstallRecord& record) {
    FailureCounts failures;
    for (const PackageFile& file : package.files) {
        if (!MakeFolders(file.directory, record)) {
            ++failures.folders;
            ++failures.files;
        } else if (!CopyPackageFile(file.source, JoinPath(file.directory, file.name), record)) {
            ++failures.files;
        }
    }
    if (!MakeFolders(package.installDir, record)) {
        ++failures.folders;
    } else if (!package.setupDll.empty()) {
        // The setup file keeps no name for member 999.
        std::wstring kept = JoinPath(package.installDir, package.appName + L"Setup.dll");
        if (CopyFileW(package.setupDll.c_str(), kept.c_str(), FALSE)) {
            record.setupDll = kept;
        } else {
            ++failures.files;
        }
    }
    for (const PackageValue& value : package.values) {
        WritePackageValue(value, record, failures);
    }
    return failures;
}

} // namespace

int RunInstall(const std::wstring& cabinet) {
    Package package;
    std::wstring error;
    StagingFolder staging;
    if (!LoadCabinet(FullPath(cabinet), staging.Path(), package, error)) {
        return Refuse(error);
    }
    if (!FitsThisDevice(package, error)) {
        return Refuse(FullPath(cabinet) + L": " + error);
    }
    SetupLibrary library;
    if (!package.setupDll.empty() && !LoadSetupLibrary(package.setupDll, library, error)) {
        return Refuse(error);
    }

    // Install_Init deletes an earlier installation's record, so it is read first.
    const std::wstring recordName = AppRecordName(package);
    const BOOL previouslyInstalled = AppRecordExists(recordName);
    InstallRecord earlier;
    if (previouslyInstalled && !ReadAppRecord(recordName, earlier, error)) {
        ReportError(error + L"; what the earlier installation made stays when this one is removed");
    }
    if (library.module != nullptr &&
        library.installInit(nullptr, TRUE, previouslyInstalled, package.installDir.c_str()) !=
            codeINSTALL_INIT_CONTINUE) {
        Unload(library);
        ReportError(L"Install_Init cancelled the installation");
        return 1;
    }

    InstallRecord record;
    record.installDir = package.installDir;
    FailureCounts failures = InstallItems(package, record);
    HKEY applications = MakeKey(RegistryRoot::LocalMachine, ApplicationsKey, record);
    if (applications != nullptr) {
        RegCloseKey(applications);
    }
    CarryOver(earlier, record);
    if (failures.Total() == 0 && !WriteAppRecord(recordName, record)) {
        ++failures.keys;
    }
    // Half an installation is undone before Install_Exit, so that its refresh
    // shows the Today screen what stays. The library in use is the staged
    // member, so its kept copy may go too.
    if (failures.Total() != 0) {
        UndoInstallation(recordName, record);
    }

    codeINSTALL_EXIT verdict = codeINSTALL_EXIT_DONE;
    if (library.module != nullptr) {
        verdict = library.installExit(nullptr, package.installDir.c_str(), Count(failures.folders),
                                      Count(failures.files), Count(failures.keys),
                                      Count(failures.values), 0);
    }
    bool unloaded = Unload(library);
    if (failures.Total() != 0) {
        ReportError(std::to_wstring(failures.folders) + L" folder(s), " +
                    std::to_wstring(failures.files) + L" file(s), " +
                    std::to_wstring(failures.keys) + L" key(s) and " +
                    std::to_wstring(failures.values) +
                    L" value(s) could not be installed; the installation was undone");
        return 1;
    }
    if (verdict == codeINSTALL_EXIT_UNINSTALL) {
        UndoInstallation(recordName, record);
        ReportError(L"Install_Exit asked to undo the installation; it was removed again");
        return 1;
    }
    if (!unloaded) {
        return 1;
    }
    ReportProgress(L"installed " + recordName + L" (" + std::to_wstring(record.files.size()) +
                   L" file(s), " + std::to_wstring(record.values.size()) + L" registry value(s))");
    return 0;
}

int RunUninstall(const std::wstring& target) {
    InstallRecord record;
    std::wstring error;
    std::wstring recordName = target;
    if (EndsWithCab(target)) {
        Package package;
        StagingFolder staging;
        if (!LoadCabinet(FullPath(target), staging.Path(), package, error)) {
            return Refuse(error);
        }
        recordName = AppRecordName(package);
    }
    // Uninstall_Init deletes the record, so it is read first.
    if (!ReadAppRecord(recordName, record, error)) {
        return Refuse(error);
    }
    SetupLibrary library;
    if (!record.setupDll.empty() && !LoadSetupLibrary(record.setupDll, library, error)) {
        return Refuse(error);
    }
    if (library.module != nullptr &&
        library.uninstallInit(nullptr, record.installDir.c_str()) != codeUNINSTALL_INIT_CONTINUE) {
        Unload(library);
        ReportError(L"Uninstall_Init cancelled the removal");
        return 1;
    }
    RemoveInstalledItems(recordName, record);
    if (library.module != nullptr) {
        library.uninstallExit(nullptr);
    }
    bool unloaded = Unload(library);
    // The kept library can go only now that it is no longer loaded.
    RemoveKeptLibrary(record);
    if (!KeepWhatIsLeft(recordName, record) || !unloaded) {
        return 1;
    }
    ReportProgress(L"removed " + recordName);
    return 0;
}

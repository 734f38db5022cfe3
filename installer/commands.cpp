// Installing and removing a package the way the device's cabinet installer
// does: the setup library's hooks around copying the files and writing the
// registry, and an application record that the removal works from.
#include "commands.h"

#include <windows.h>

#include <algorithm>

#include "app_record.h"
#include "installed_files.h"
#include "installed_registry.h"
#include "package_source.h"
#include "report.h"
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

bool IsFile(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

WORD Count(unsigned failures) {
    return static_cast<WORD>(std::min(failures, 0xFFFFu));
}

// Everything but the kept setup library and the folders, which may only go
// once that library is unloaded. False if a file stays.
bool RemoveInstalledItems(const std::wstring& recordName, const InstallRecord& record) {
    unsigned remaining = RemoveRecordedFiles(record);
    DeleteAppRecord(recordName);
    RemoveRecordedRegistry(record);
    if (remaining != 0) {
        ReportError(std::to_wstring(remaining) + L" installed file(s) could not be deleted");
    }
    return remaining == 0;
}

bool RemoveKeptLibrary(const InstallRecord& record) {
    bool removed = record.setupDll.empty() || RemoveFile(record.setupDll);
    if (!removed) {
        ReportError(record.setupDll + L" could not be deleted");
    }
    RemoveRecordedFolders(record);
    return removed;
}

// What the record holds goes, the earlier installation's part with it: this
// record has taken over from the earlier one, which the hooks delete with the
// item's settings, so what stayed of it would have nothing to remove it by.
void UndoInstallation(const std::wstring& recordName, const InstallRecord& record) {
    RemoveInstalledItems(recordName, record);
    RemoveKeptLibrary(record);
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
FailureCounts InstallItems(const Package& package, const std::wstring& source,
                           InstallRecord& record) {
    FailureCounts failures;
    for (const PackageFile& file : package.files) {
        if (!MakeFolders(file.directory, record)) {
            ++failures.folders;
            ++failures.files;
        } else if (!CopyPackageFile(JoinPath(source, file.source),
                                    JoinPath(file.directory, file.name), record)) {
            ++failures.files;
        }
    }
    if (!MakeFolders(package.installDir, record)) {
        ++failures.folders;
    } else if (!package.setupDll.empty()) {
        std::wstring kept = JoinPath(package.installDir, package.setupDll);
        if (CopyFileW(JoinPath(source, package.setupDll).c_str(), kept.c_str(), FALSE)) {
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

int RunInstall(const std::wstring& infPath, const std::wstring& sourceFolder) {
    Package package;
    std::wstring error;
    if (!LoadPackage(infPath, package, error)) {
        return Refuse(error);
    }
    const std::wstring source = FullPath(sourceFolder);
    DWORD attributes = GetFileAttributesW(source.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return Refuse(source + L": no such folder");
    }
    for (const PackageFile& file : package.files) {
        if (!IsFile(JoinPath(source, file.source))) {
            return Refuse(JoinPath(source, file.source) + L": file of the package is missing");
        }
    }
    SetupLibrary library;
    if (!package.setupDll.empty()) {
        if (!IsFile(JoinPath(source, package.setupDll))) {
            return Refuse(JoinPath(source, package.setupDll) + L": setup library is missing");
        }
        if (!LoadSetupLibrary(JoinPath(source, package.setupDll), library, error)) {
            return Refuse(error);
        }
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
    FailureCounts failures = InstallItems(package, source, record);
    HKEY applications = MakeKey(RegistryRoot::LocalMachine, ApplicationsKey, record);
    if (applications != nullptr) {
        RegCloseKey(applications);
    }
    CarryOver(earlier, record);
    if (failures.Total() == 0 && !WriteAppRecord(recordName, record)) {
        ++failures.keys;
    }
    // Half an installation is undone before Install_Exit, so that its refresh
    // shows the Today screen what stays. The library in use is the source's,
    // so its kept copy may go too.
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

int RunUninstall(const std::wstring& infPath) {
    Package package;
    InstallRecord record;
    std::wstring error;
    if (!LoadPackage(infPath, package, error)) {
        return Refuse(error);
    }
    // Uninstall_Init deletes the record, so it is read first.
    const std::wstring recordName = AppRecordName(package);
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
    bool removed = RemoveInstalledItems(recordName, record);
    if (library.module != nullptr) {
        library.uninstallExit(nullptr);
    }
    bool unloaded = Unload(library);
    // The kept library can go only now that it is no longer loaded.
    removed = RemoveKeptLibrary(record) && removed;
    if (!removed || !unloaded) {
        return 1;
    }
    ReportProgress(L"removed " + recordName);
    return 0;
}

// The cabinet on disk: its members, its setup file, and the machine's folders.
#include "package_source.h"

#include <windows.h>

#include <set>

#include "cabinet_members.h"
#include "setup_file.h"

namespace {

// Anything larger is not a setup file.
constexpr DWORD MaxSetupFileSize = 1 << 20;

bool ReadBytes(const std::wstring& path, std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    LARGE_INTEGER size{};
    bool ok = GetFileSizeEx(file, &size) && size.QuadPart <= MaxSetupFileSize;
    DWORD read = 0;
    if (ok) {
        bytes.assign(static_cast<size_t>(size.QuadPart), '\0');
        ok = bytes.empty() ||
             (ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr) &&
              read == bytes.size());
    }
    CloseHandle(file);
    return ok;
}

bool MachineFolders(InfStrings& folders) {
    wchar_t windows[MAX_PATH];
    wchar_t programs[MAX_PATH];
    UINT windowsLength = GetWindowsDirectoryW(windows, MAX_PATH);
    DWORD programsLength = GetEnvironmentVariableW(L"ProgramFiles", programs, MAX_PATH);
    if (windowsLength == 0 || windowsLength >= MAX_PATH || programsLength == 0 ||
        programsLength >= MAX_PATH) {
        return false;
    }
    folders[L"ce1"] = programs;
    folders[L"ce2"] = windows;
    return true;
}

} // namespace

bool LoadCabinet(const std::wstring& cabinet, const std::wstring& staging, Package& package,
                 std::wstring& error) {
    std::set<unsigned> members;
    std::string setupFile;
    InfStrings folders;
    DWORD attributes = GetFileAttributesW(cabinet.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        error = cabinet + L": no such file";
        return false;
    }
    if (staging.empty()) {
        error = L"no staging folder for the cabinet's members";
        return false;
    }
    if (!ExtractMembers(cabinet, staging, members, error)) {
        error = cabinet + L": " + error;
        return false;
    }
    if (members.count(SetupFileMember) == 0 ||
        !ReadBytes(StagedMember(staging, SetupFileMember), setupFile)) {
        error = cabinet + L": member 000, the setup file, is missing or larger than 1 MiB";
        return false;
    }
    if (!MachineFolders(folders)) {
        error = L"cannot find this machine's Windows and Program Files folders";
        return false;
    }
    if (!ReadSetupFile(setupFile, folders, package, error)) {
        error = cabinet + L": setup file: " + error;
        return false;
    }
    for (PackageFile& file : package.files) {
        if (members.count(file.member) == 0) {
            error = cabinet + L": FILES lists member " + std::to_wstring(file.member) + L" (" +
                    file.name + L"), which the cabinet lacks";
            return false;
        }
        file.source = StagedMember(staging, file.member);
    }
    if (members.count(SetupLibraryMember) != 0) {
        package.setupDll = StagedMember(staging, SetupLibraryMember);
    }
    return true;
}

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name) {
    if (!folder.empty() && folder.back() == L'\\') {
        return folder + name;
    }
    return folder + L"\\" + name;
}

// Files and folders of an installation.
#include "installed_files.h"

#include <windows.h>

bool MakeFolders(const std::wstring& path, InstallRecord& record) {
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != L'\\') {
            continue;
        }
        std::wstring folder = path.substr(0, i);
        // The root of a drive ("C:") or of the path ("") is there already.
        if (folder.empty() || folder.back() == L':') {
            continue;
        }
        if (CreateDirectoryW(folder.c_str(), nullptr)) {
            record.directories.push_back(folder);
        } else if (GetLastError() != ERROR_ALREADY_EXISTS) {
            return false;
        }
    }
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool CopyPackageFile(const std::wstring& source, const std::wstring& destination,
                     InstallRecord& record) {
    if (!CopyFileW(source.c_str(), destination.c_str(), FALSE)) {
        return false;
    }
    record.files.push_back(destination);
    return true;
}

bool RemoveFile(const std::wstring& path) {
    DeleteFileW(path.c_str());
    return GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES;
}

void RemoveRecordedFiles(const InstallRecord& record) {
    for (const std::wstring& file : record.files) {
        RemoveFile(file);
    }
}

void RemoveRecordedFolders(const InstallRecord& record) {
    for (auto folder = record.directories.rbegin(); folder != record.directories.rend(); ++folder) {
        RemoveDirectoryW(folder->c_str());
    }
}

InstallRecord RemainingItems(const InstallRecord& record) {
    auto exists = [](const std::wstring& path) {
        return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    };
    InstallRecord left;
    left.installDir = record.installDir;
    if (!record.setupDll.empty() && exists(record.setupDll)) {
        left.setupDll = record.setupDll;
    }
    for (const std::wstring& file : record.files) {
        if (exists(file)) {
            left.files.push_back(file);
        }
    }
    for (const std::wstring& folder : record.directories) {
        if (exists(folder)) {
            left.directories.push_back(folder);
        }
    }
    return left;
}

// The .inf on disk: its bytes, their decoding, and the machine's folders.
#include "package_source.h"

#include <windows.h>

namespace {

// Anything larger is not a package description.
constexpr DWORD MaxInfSize = 1 << 20;

bool ReadBytes(const std::wstring& path, std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    LARGE_INTEGER size{};
    bool ok = GetFileSizeEx(file, &size) && size.QuadPart <= MaxInfSize;
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

// UTF-16 with its byte-order mark, else UTF-8, else the ANSI code page the
// cabinet tool itself reads.
bool Decode(const std::string& bytes, std::wstring& text) {
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        if (bytes.size() % 2 != 0) {
            return false;
        }
        text.assign((bytes.size() - 2) / 2, L'\0');
        for (size_t i = 0; i < text.size(); ++i) {
            text[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[2 + 2 * i]) |
                                           (static_cast<unsigned char>(bytes[3 + 2 * i]) << 8));
        }
    } else {
        size_t skip = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
        const char* data = bytes.data() + skip;
        int length = static_cast<int>(bytes.size() - skip);
        UINT codePage = CP_UTF8;
        int size = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, data, length, nullptr, 0);
        if (size <= 0 && length > 0) {
            codePage = CP_ACP;
            size = MultiByteToWideChar(codePage, 0, data, length, nullptr, 0);
        }
        text.assign(static_cast<size_t>(size > 0 ? size : 0), L'\0');
        if (size > 0) {
            MultiByteToWideChar(codePage, 0, data, length, &text[0], size);
        }
    }
    // A null inside is a binary file, not a description.
    return text.find(L'\0') == std::wstring::npos;
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

bool LoadPackage(const std::wstring& infPath, Package& package, std::wstring& error) {
    std::string bytes;
    std::wstring text;
    InfStrings folders;
    if (GetFileAttributesW(infPath.c_str()) == INVALID_FILE_ATTRIBUTES) {
        error = infPath + L": no such file";
        return false;
    }
    if (!ReadBytes(infPath, bytes) || !Decode(bytes, text)) {
        error = infPath + L": cannot be read as package text";
        return false;
    }
    if (!MachineFolders(folders)) {
        error = L"cannot find this machine's Windows and Program Files folders";
        return false;
    }
    if (!ReadPackage(text, folders, package, error)) {
        error = infPath + L": " + error;
        return false;
    }
    return true;
}

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name) {
    if (!folder.empty() && folder.back() == L'\\') {
        return folder + name;
    }
    return folder + L"\\" + name;
}

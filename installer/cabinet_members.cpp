// Cabinet members through FDI: its file callbacks on Win32 handles, and a
// notification that names each member's staged file.
#include "cabinet_members.h"

#include <windows.h>

#include <fcntl.h>
#include <fdi.h>

#include <cstdlib>
#include <cstring>

namespace {

// Anything larger is not part of a Today item's package.
constexpr ULONG MaxMemberSize = 64 << 20;

struct Extraction {
    std::wstring folder;
    std::set<unsigned> members;
    std::wstring error;
};

std::wstring Widen(const char* text) {
    int size = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    std::wstring out(size > 0 ? static_cast<size_t>(size) : 1, L'\0');
    if (size > 0) {
        MultiByteToWideChar(CP_ACP, 0, text, -1, &out[0], size);
    }
    out.resize(out.size() - 1);
    return out;
}

// The number after the name's last dot: exactly three digits.
bool MemberNumber(const char* name, unsigned& number) {
    const char* dot = strrchr(name, '.');
    if (dot == nullptr || strlen(dot) != 4) {
        return false;
    }
    number = 0;
    for (const char* c = dot + 1; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9') {
            return false;
        }
        number = number * 10 + static_cast<unsigned>(*c - '0');
    }
    return true;
}

FNALLOC(Allocate) {
    return std::malloc(cb);
}

FNFREE(Free) {
    std::free(pv);
}

// FDI opens only the cabinet itself; members are opened by the notification.
FNOPEN(Open) {
    (void)pmode;
    if ((oflag & (_O_WRONLY | _O_RDWR | _O_CREAT)) != 0) {
        return -1;
    }
    HANDLE file = CreateFileA(pszFile, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    return file == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<INT_PTR>(file);
}

FNREAD(Read) {
    DWORD read = 0;
    return ReadFile(reinterpret_cast<HANDLE>(hf), pv, cb, &read, nullptr) ? read
                                                                          : static_cast<UINT>(-1);
}

FNWRITE(Write) {
    DWORD written = 0;
    return WriteFile(reinterpret_cast<HANDLE>(hf), pv, cb, &written, nullptr)
               ? written
               : static_cast<UINT>(-1);
}

FNCLOSE(Close) {
    return CloseHandle(reinterpret_cast<HANDLE>(hf)) ? 0 : -1;
}

FNSEEK(Seek) {
    DWORD moved = SetFilePointer(reinterpret_cast<HANDLE>(hf), dist, nullptr,
                                 seektype == SEEK_SET   ? FILE_BEGIN
                                 : seektype == SEEK_CUR ? FILE_CURRENT
                                                        : FILE_END);
    return moved == INVALID_SET_FILE_POINTER ? -1 : static_cast<__LONG32>(moved);
}

INT_PTR CopyMember(FDINOTIFICATION* note) {
    Extraction& extraction = *static_cast<Extraction*>(note->pv);
    unsigned number = 0;
    if (!MemberNumber(note->psz1, number)) {
        extraction.error = L"member \"" + Widen(note->psz1) + L"\" does not end in three digits";
        return -1;
    }
    if (!extraction.members.insert(number).second) {
        extraction.error = L"two members end in ." + Widen(strrchr(note->psz1, '.') + 1);
        return -1;
    }
    if (static_cast<ULONG>(note->cb) > MaxMemberSize) {
        extraction.error = L"member \"" + Widen(note->psz1) + L"\" is larger than 64 MiB";
        return -1;
    }
    HANDLE file = CreateFileW(StagedMember(extraction.folder, number).c_str(), GENERIC_WRITE, 0,
                              nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        extraction.error = L"member \"" + Widen(note->psz1) + L"\" cannot be staged";
        return -1;
    }
    return reinterpret_cast<INT_PTR>(file);
}

FNFDINOTIFY(Notify) {
    switch (fdint) {
    case fdintCOPY_FILE:
        return CopyMember(pfdin);
    case fdintCLOSE_FILE_INFO:
        CloseHandle(reinterpret_cast<HANDLE>(pfdin->hf));
        return TRUE;
    case fdintNEXT_CABINET:
        static_cast<Extraction*>(pfdin->pv)->error = L"the package spans several cabinets";
        return -1;
    default:
        return 0;
    }
}

} // namespace

StagingFolder::StagingFolder() {
    wchar_t temp[MAX_PATH];
    DWORD length = GetTempPathW(MAX_PATH, temp);
    if (length == 0 || length >= MAX_PATH) {
        return;
    }
    for (unsigned attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
        std::wstring path = std::wstring(temp) + L"cab_installer." +
                            std::to_wstring(GetCurrentProcessId()) + L"." +
                            std::to_wstring(attempt);
        if (CreateDirectoryW(path.c_str(), nullptr)) {
            path_ = path;
        }
    }
}

StagingFolder::~StagingFolder() {
    if (path_.empty()) {
        return;
    }
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((path_ + L"\\member.*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            DeleteFileW((path_ + L"\\" + found.cFileName).c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(path_.c_str());
}

std::wstring StagedMember(const std::wstring& folder, unsigned number) {
    std::wstring digits = std::to_wstring(number % 1000);
    return folder + L"\\member." + std::wstring(3 - digits.size(), L'0') + digits;
}

bool ExtractMembers(const std::wstring& cabinet, const std::wstring& folder,
                    std::set<unsigned>& members, std::wstring& error) {
    // FDI takes the cabinet's folder, with its closing backslash, and its name
    // apart, in the ANSI code page.
    size_t slash = cabinet.find_last_of(L"\\/");
    std::wstring parts[2] = {slash == std::wstring::npos ? L"" : cabinet.substr(0, slash + 1),
                             cabinet.substr(slash == std::wstring::npos ? 0 : slash + 1)};
    std::string ansi[2];
    for (int i = 0; i < 2; ++i) {
        int size =
            WideCharToMultiByte(CP_ACP, 0, parts[i].c_str(), -1, nullptr, 0, nullptr, nullptr);
        ansi[i].assign(size > 0 ? static_cast<size_t>(size) : 1, '\0');
        if (size > 0) {
            WideCharToMultiByte(CP_ACP, 0, parts[i].c_str(), -1, &ansi[i][0], size, nullptr,
                                nullptr);
        }
    }
    ERF status = {};
    HFDI fdi = FDICreate(Allocate, Free, Open, Read, Write, Close, Seek, cpuUNKNOWN, &status);
    if (fdi == nullptr) {
        error = L"the cabinet library cannot be started";
        return false;
    }
    Extraction extraction{folder, {}, L""};
    BOOL copied = FDICopy(fdi, &ansi[1][0], &ansi[0][0], 0, Notify, nullptr, &extraction);
    FDIDestroy(fdi);
    members = extraction.members;
    if (!copied || !extraction.error.empty()) {
        error = extraction.error.empty() ? L"not a readable cabinet (cabinet library error " +
                                               std::to_wstring(status.erfOper) + L")"
                                         : extraction.error;
        return false;
    }
    return true;
}

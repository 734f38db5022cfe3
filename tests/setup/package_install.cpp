// Running the cabinet-installer stand-in on the package folder beside the
// test program, and looking at what it left in the prefix.
#include "package_install.h"

const wchar_t ItemKey[] = L"Software\\Microsoft\\Today\\Items\\Tovamet";
const wchar_t TodayKey[] = L"Software\\Microsoft\\Today";
const wchar_t AppsKey[] = L"Software\\Apps";
const wchar_t AppKey[] = L"Software\\Apps\\Brisvale Tovamet";

namespace {

std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH];
    std::wstring folder(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
    return folder.substr(0, folder.rfind(L'\\'));
}

} // namespace

std::wstring PackageFolder() {
    return ProgramFolder() + L"\\package";
}

std::wstring WindowsFolder() {
    wchar_t path[MAX_PATH];
    return std::wstring(path, GetWindowsDirectoryW(path, MAX_PATH));
}

std::wstring InstallFolder() {
    wchar_t path[MAX_PATH];
    return std::wstring(path, GetEnvironmentVariableW(L"ProgramFiles", path, MAX_PATH)) +
           L"\\Tovamet";
}

std::wstring InstalledItem() {
    return WindowsFolder() + L"\\Tovamet.dll";
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadFileBytes(const std::wstring& path) {
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return bytes;
    }
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) {
        bytes.append(buffer, read);
    }
    CloseHandle(file);
    return bytes;
}

InstallerRun RunInstaller(const std::wstring& arguments) {
    InstallerRun run{0xDEADBEEF, ""};
    // A log of its own for each run: one name for all was at times still held
    // open after the installer had exited, by a process Wine had started for
    // it and that inherited the installer's output.
    wchar_t temp[MAX_PATH];
    wchar_t name[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    if (GetTempFileNameW(temp, L"cab", 0, name) == 0) {
        return run;
    }
    const std::wstring log = name;
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE output = CreateFileW(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                CREATE_ALWAYS, 0, nullptr);
    if (output == INVALID_HANDLE_VALUE) {
        return run;
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = output;
    startup.hStdError = output;
    std::wstring command = L"\"" + PackageFolder() + L"\\cab_installer.exe\" " + arguments;
    PROCESS_INFORMATION process = {};
    if (CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                       &process)) {
        if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) {
            GetExitCodeProcess(process.hProcess, &run.exitCode);
        }
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(output);
    run.output = ReadFileBytes(log);
    DeleteFileW(log.c_str());
    return run;
}

std::wstring Quoted(const std::wstring& text) {
    return L"\"" + text + L"\"";
}

std::wstring PackageCab(const wchar_t* name) {
    return PackageFolder() + L"\\" + name + L".cab";
}

std::wstring InstallArguments(const std::wstring& cab) {
    return L"install " + Quoted(cab);
}

std::wstring UninstallArguments() {
    return L"uninstall \"Brisvale Tovamet\"";
}

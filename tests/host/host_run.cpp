// Starting the host stand-in with its stdout on a pipe, and reading its log.
#include "host_run.h"

HostRun::HostRun(const std::wstring& arguments) {
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&output, &writeEnd, &inherit, 0)) {
        lines.push_back("the host did not start: CreatePipe error " +
                        std::to_string(GetLastError()));
        return;
    }
    SetHandleInformation(output, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    std::wstring command = L"\"" + WindowsPath(TODAY_HOST_EXE) + L"\" " + arguments;
    // Wine has been seen to fail a start just after the previous host ended
    // (about once in 250 runs); a second try is logged, so it stays visible.
    for (int attempt = 1; attempt <= 2 && process == nullptr; ++attempt) {
        PROCESS_INFORMATION info{};
        if (CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                           &startup, &info)) {
            process = info.hProcess;
            CloseHandle(info.hThread);
        } else {
            lines.push_back("the host did not start (attempt " + std::to_string(attempt) +
                            "): CreateProcess error " + std::to_string(GetLastError()));
            Sleep(500);
        }
    }
    CloseHandle(writeEnd);
}

HostRun::~HostRun() {
    if (process != nullptr) {
        if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process, 1);
        }
        CloseHandle(process);
    }
    if (output != nullptr) {
        CloseHandle(output);
    }
}

bool HostRun::ReadAvailable() {
    DWORD available = 0;
    if (!PeekNamedPipe(output, nullptr, 0, nullptr, &available, nullptr)) {
        return false;
    }
    while (available > 0) {
        char buffer[4096];
        DWORD read = 0;
        if (!ReadFile(output, buffer, available < sizeof(buffer) ? available : sizeof(buffer),
                      &read, nullptr) ||
            read == 0) {
            return false;
        }
        available -= read;
        pending.append(buffer, read);
        std::string::size_type end;
        while ((end = pending.find('\n')) != std::string::npos) {
            std::string line = pending.substr(0, end);
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            lines.push_back(line);
            pending.erase(0, end + 1);
        }
    }
    return true;
}

bool HostRun::WaitForLine(const std::string& text, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        const bool open = ReadAvailable();
        if (Find(text) >= 0) {
            return true;
        }
        if (!open || GetTickCount() - start > timeoutMs) {
            return false;
        }
        Sleep(20);
    }
}

bool HostRun::WaitForExit(DWORD timeoutMs, DWORD& exitCode) {
    const DWORD start = GetTickCount();
    while (ReadAvailable()) {
        if (GetTickCount() - start > timeoutMs) {
            return false;
        }
        Sleep(20);
    }
    if (WaitForSingleObject(process, timeoutMs) != WAIT_OBJECT_0) {
        return false;
    }
    GetExitCodeProcess(process, &exitCode);
    return true;
}

int HostRun::Find(const std::string& text) const {
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].find(text) != std::string::npos) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int HostRun::Count(const std::string& text) const {
    int count = 0;
    for (const std::string& line : lines) {
        if (line.find(text) != std::string::npos) {
            ++count;
        }
    }
    return count;
}

std::string HostRun::Log() const {
    std::string log;
    for (const std::string& line : lines) {
        log += line + "\n";
    }
    return log;
}

std::wstring WindowsPath(const char* unixPath) {
    std::wstring path = L"Z:";
    for (const char* c = unixPath; *c != '\0'; ++c) {
        path += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
    }
    return path;
}

std::wstring ShotPath(const wchar_t* name) {
    wchar_t directory[MAX_PATH];
    GetTempPathW(MAX_PATH, directory);
    std::wstring path = std::wstring(directory) + L"today_host_" + name + L".png";
    DeleteFileW(path.c_str());
    return path;
}

// One run of the Today host stand-in from a test: started with arguments,
// its stdout log collected line by line while it runs.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "narrow_text.h"

class HostRun {
  public:
    explicit HostRun(const std::wstring& arguments);
    ~HostRun();
    HostRun(const HostRun&) = delete;
    HostRun& operator=(const HostRun&) = delete;

    bool Started() const { return process != nullptr; }
    // Reads the log until a line holds text; false when the host exits or the
    // time runs out first.
    bool WaitForLine(const std::string& text, DWORD timeoutMs);
    // Reads the log to its end; false when the host still runs after the time.
    bool WaitForExit(DWORD timeoutMs, DWORD& exitCode);

    const std::vector<std::string>& Lines() const { return lines; }
    // Index of the first line holding text, or -1.
    int Find(const std::string& text) const;
    int Count(const std::string& text) const;
    std::string Log() const;

  private:
    // Moves what the pipe holds into lines; false once the pipe is closed.
    bool ReadAvailable();

    HANDLE process = nullptr;
    HANDLE output = nullptr;
    std::string pending;
    std::vector<std::string> lines;
};

// The Windows form of a path of the build tree (Wine maps / to Z:).
std::wstring WindowsPath(const char* unixPath);
// A fresh path in the temporary directory for a screenshot of this name.
std::wstring ShotPath(const wchar_t* name);

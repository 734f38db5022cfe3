// Messages as UTF-8 lines on the standard handles.
#include "report.h"

#include <windows.h>

namespace {

void WriteLine(DWORD handleId, const std::wstring& message) {
    std::wstring line = L"cab_installer: " + message + L"\n";
    int size = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), nullptr,
                                   0, nullptr, nullptr);
    if (size <= 0) {
        return;
    }
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), &bytes[0], size,
                        nullptr, nullptr);
    DWORD written = 0;
    WriteFile(GetStdHandle(handleId), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
              nullptr);
}

} // namespace

void ReportError(const std::wstring& message) {
    WriteLine(STD_ERROR_HANDLE, message);
}

void ReportProgress(const std::wstring& message) {
    WriteLine(STD_OUTPUT_HANDLE, message);
}

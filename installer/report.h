// The installer's messages: errors to stderr, progress to stdout, UTF-8.
#pragma once

#include <string>

void ReportError(const std::wstring& message);
void ReportProgress(const std::wstring& message);

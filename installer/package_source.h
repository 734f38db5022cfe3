// Reading a package's .inf from disk, with this machine's folders filled in.
#pragma once

#include <string>

#include "package.h"

// Reads and checks the package; fails with a message naming the file.
bool LoadPackage(const std::wstring& infPath, Package& package, std::wstring& error);

// Joins a folder and a name with one backslash.
std::wstring JoinPath(const std::wstring& folder, const std::wstring& name);

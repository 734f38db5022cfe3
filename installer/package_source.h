// A package's cabinet on disk, read as the device's installer reads it, with
// this machine's folders filled in.
#pragma once

#include <string>

#include "package.h"

// Takes the cabinet's members into the staging folder and reads its setup
// file. Each file's source and the setup library (member 999, if the cabinet
// has one) then name their staged members. Fails with a message naming the
// cabinet and the field on anything damaged or missing; only the staging
// folder is written to.
bool LoadCabinet(const std::wstring& cabinet, const std::wstring& staging, Package& package,
                 std::wstring& error);

// Joins a folder and a name with one backslash.
std::wstring JoinPath(const std::wstring& folder, const std::wstring& name);

// The installed application's record under HKLM "Software\Apps\<name>": flat
// values holding the installation folder, the installed flag and the lists
// the removal needs.
#pragma once

#include <string>

#include "install_record.h"

extern const wchar_t ApplicationsKey[];

bool AppRecordExists(const std::wstring& name);
bool WriteAppRecord(const std::wstring& name, const InstallRecord& record);
// Fails with a message when the record is missing or unreadable.
bool ReadAppRecord(const std::wstring& name, InstallRecord& record, std::wstring& error);
void DeleteAppRecord(const std::wstring& name);

// The package's files and folders on disk: made and copied with a note in the
// installation record, and removed again from that record.
#pragma once

#include <string>

#include "install_record.h"

// Makes each missing folder of the path, outermost first, noting those made.
bool MakeFolders(const std::wstring& path, InstallRecord& record);

// Copies over any older file of that name; notes the copy.
bool CopyPackageFile(const std::wstring& source, const std::wstring& destination,
                     InstallRecord& record);

// Deletes the recorded files, the kept setup library aside.
void RemoveRecordedFiles(const InstallRecord& record);

// Deletes one file; true when it is gone, also when it never was there.
bool RemoveFile(const std::wstring& path);

// Removes the recorded folders innermost first, each only if it is empty.
void RemoveRecordedFolders(const InstallRecord& record);

// The part of the record still on disk after a removal: the files, the kept
// setup library and the recorded folders that are still there.
InstallRecord RemainingItems(const InstallRecord& record);

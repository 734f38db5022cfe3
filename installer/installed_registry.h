// The package's registry keys and values: written with a note in the
// installation record, and removed again from that record.
#pragma once

#include <windows.h>

#include "install_record.h"
#include "package.h"

HKEY RootKey(RegistryRoot root);

// Opens the key for setting values, making each missing key of its path,
// outermost first, and noting those made. Null on failure.
HKEY MakeKey(RegistryRoot root, const std::wstring& subkey, InstallRecord& record);

// Writes one value of the package, counting a key or value that failed.
void WritePackageValue(const PackageValue& value, InstallRecord& record, FailureCounts& failures);

// Deletes the recorded values, then the recorded keys innermost first. A key
// is deleted with its values but not over subkeys: one the package made but
// that others have since put keys under stays.
void RemoveRecordedRegistry(const InstallRecord& record);

// A package as its .inf describes it: who provides it, where it installs, the
// files it copies, the registry values it writes and its setup library.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "inf_file.h"

enum class RegistryRoot { LocalMachine, CurrentUser, ClassesRoot };

struct PackageFile {
    std::wstring name;      // in the destination folder
    std::wstring source;    // in the package's source folder
    std::wstring directory; // destination folder
    uint32_t flags = 0;     // the .inf's copy flags, as the setup file carries them
    unsigned member = 0;    // the cabinet member holding it, 0 before it is packed
};

struct PackageValue {
    RegistryRoot root;
    std::wstring subkey;
    std::wstring name;
    bool isDword;
    uint32_t number;
    std::wstring text;
};

// A Windows CE version, major.minor; 0.0 in a range means no limit.
struct CeVersion {
    uint32_t major = 0;
    uint32_t minor = 0;
};

struct Package {
    std::wstring provider;
    std::wstring appName;
    std::wstring installDir;
    std::wstring setupDll; // empty when the package has no setup library
    std::vector<PackageFile> files;
    std::vector<PackageValue> values;
    CeVersion versionMin; // [CEDevice]
    CeVersion versionMax;
    // [CEDevice] build numbers, 0 for no limit. Windows Mobile reads a
    // BuildMax of 0xA0000000 as "supports square screens", 0xC0000000 as
    // "supports rotation" and 0xE0000000 as both.
    uint32_t buildMin = 0;
    uint32_t buildMax = 0;
    uint32_t processor = 0; // the setup file's processor number, 0 for any
};

// Reads and checks the whole package description. `folders` holds the
// installing machine's folder strings (CE1, CE2, ...), names in lower case.
// Fails with a message on anything the installer could not carry out whole,
// on a key of [Version], [CEDevice] or [DefaultInstall] that the setup file
// cannot carry (naming it), and on any folder, InstallDir among them, outside
// the machine's folders.
bool ReadPackage(const std::wstring& text, const InfStrings& folders, Package& package,
                 std::wstring& error);

// A name that stays in the folder it is copied to: no folder, no "." or
// "..", nothing Windows cuts off or refuses.
bool IsPlainFileName(const std::wstring& name);

// The package's key under the installer's applications key: "<provider> <name>".
std::wstring AppRecordName(const Package& package);

// "HKLM\<subkey>" and back.
std::wstring KeyPath(RegistryRoot root, const std::wstring& subkey);
bool SplitKeyPath(const std::wstring& path, RegistryRoot& root, std::wstring& subkey);

// Decimal or 0x-hexadecimal, 32 bits.
bool ParseNumber(const std::wstring& text, uint32_t& value);

// The setup file of a Windows CE installation cabinet: its member 000, which
// begins "MSCE" and holds the names, the processor, the OS version range and
// the tables of strings, folders, files, registry keys and shortcuts that the
// device's installer works from. Written from a package description and read
// back into one.
#pragma once

#include <cstdint>
#include <string>

#include "package.h"

// Processor numbers as the setup file's header holds them: the platform's
// PROCESSOR_ values. The format's own list has no number for x86-64; the
// platform's is 8664.
constexpr uint32_t ProcessorAny = 0;
constexpr uint32_t ProcessorStrongArm = 2577;
constexpr uint32_t ProcessorX8664 = 8664;

// Members are numbered 000 to 999: 000 is the setup file, 999 the setup
// library, which the setup file does not list; the package's files take the
// numbers between.
constexpr unsigned SetupFileMember = 0;
constexpr unsigned SetupLibraryMember = 999;

// A Pocket PC's folders under the names %CE1% to %CE17% (lower case, without
// the percent signs) as far as it has them.
InfStrings PocketPcFolders();

// The setup file for the package, read from its .inf against
// PocketPcFolders(): folders and registry texts under a Pocket PC folder are
// written with its %CEn% name, for the device to put in its own. Numbers the
// package's files 1, 2, ... in `package`. Fails on anything the setup file
// cannot hold: text outside ASCII, an InstallDir other than %CE1%\<AppName>
// (the file has no field for it), more files or longer texts than it counts.
bool WriteSetupFile(Package& package, std::string& bytes, std::wstring& error);

// Reads and checks the setup file, every offset, count and length against its
// size, and puts the installing device's folders (as ReadPackage takes them)
// for the %CEn% names. The package's install folder is %CE1%\<AppName>; each
// file names its member; setupDll stays empty. Fails with a message naming
// the field on anything damaged or that would land outside those folders.
bool ReadSetupFile(const std::string& bytes, const InfStrings& folders, Package& package,
                   std::wstring& error);

// A member's name in the cabinet: eight characters of the name (padded on
// the left with '0'), a dot and the three digits of its number.
std::string MemberName(const std::wstring& name, unsigned member);

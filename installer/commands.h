// The installer's two commands. Each returns the process exit code: 0 when
// everything was done, 1 when something failed (reported on stderr).
#pragma once

#include <string>

// Installs the package in the cabinet. Changes nothing unless the cabinet,
// its setup file and every member it lists are sound and meant for this
// device, and undoes an installation that fails part-way: the package is then
// not installed, though Install_Init has deleted the item's stored settings.
int RunInstall(const std::wstring& cabinet);

// Removes the package named by its application record ("<provider> <name>")
// or by its cabinet, as the record lists it. What cannot be deleted stays
// listed in the record for a later removal.
int RunUninstall(const std::wstring& target);

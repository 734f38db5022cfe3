// The installer's two commands. Each returns the process exit code: 0 when
// everything was done, 1 when something failed (reported on stderr).
#pragma once

#include <string>

// Installs the package described by the .inf from the files in the source
// folder. Changes nothing unless the description and every file are sound,
// and undoes an installation that fails part-way: the package is then not
// installed, though Install_Init has deleted the item's stored settings.
int RunInstall(const std::wstring& infPath, const std::wstring& sourceFolder);

// Removes the package the .inf describes, as its application record lists it.
int RunUninstall(const std::wstring& infPath);

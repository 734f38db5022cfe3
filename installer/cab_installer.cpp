// The cabinet-installer stand-in: installs a package described by a .inf into
// this machine, calling its setup library's hooks as the device's installer
// does, and removes it again.
//
//   cab_installer install <package.inf> <source folder>
//   cab_installer uninstall <package.inf>
#include <string>

#include "commands.h"
#include "report.h"

int wmain(int argc, wchar_t** argv) {
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"install" && argc == 4) {
        return RunInstall(argv[2], argv[3]);
    }
    if (command == L"uninstall" && argc == 3) {
        return RunUninstall(argv[2]);
    }
    ReportError(L"usage: cab_installer install <package.inf> <source folder>\n"
                L"       cab_installer uninstall <package.inf>");
    return 2;
}

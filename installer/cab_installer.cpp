// The cabinet-installer stand-in: installs a package from its Windows CE
// cabinet into this machine as the device's installer does (the setup file,
// the setup library from member 999 and its hooks, the files, the registry),
// and removes it again.
//
//   cab_installer install <package.cab>
//   cab_installer uninstall <"provider name" | package.cab>
#include <string>

#include "commands.h"
#include "report.h"

int wmain(int argc, wchar_t** argv) {
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"install" && argc == 3) {
        return RunInstall(argv[2]);
    }
    if (command == L"uninstall" && argc == 3) {
        return RunUninstall(argv[2]);
    }
    ReportError(L"usage: cab_installer install <package.cab>\n"
                L"       cab_installer uninstall <\"provider name\" | package.cab>");
    return 2;
}

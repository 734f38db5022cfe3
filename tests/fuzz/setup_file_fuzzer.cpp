// Fuzz target for the setup-file reader: any bytes are refused or read
// without leaving their bounds, and what it accepts lands inside the
// device's folders.
#include <cstddef>
#include <cstdint>
#include <string>

#include "setup_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const InfStrings folders = PocketPcFolders();
    Package package;
    std::wstring error;
    if (!ReadSetupFile(std::string(reinterpret_cast<const char*>(data), size), folders, package,
                       error)) {
        return 0;
    }
    for (const PackageFile& file : package.files) {
        bool inside = false;
        for (const auto& folder : folders) {
            inside = inside || file.directory.compare(0, folder.second.size(), folder.second) == 0;
        }
        if (!inside || !IsPlainFileName(file.name)) {
            __builtin_trap();
        }
    }
    return 0;
}

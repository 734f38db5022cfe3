// The Windows CE cabinets that scripts/build packs, read back against the
// .inf they come from, and the setup-file reader on damaged setup files:
// natively, under the sanitizers.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "package.h"
#include "setup_file.h"

namespace {

namespace fs = std::filesystem;

std::string ReadBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string Narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

// The package as the .inf describes it, with a Pocket PC's folders.
Package InfPackage() {
    const std::string text = ReadBytes(TOVAMET_PACKAGE_INF);
    Package package;
    std::wstring error;
    EXPECT_TRUE(
        ReadPackage(std::wstring(text.begin(), text.end()), PocketPcFolders(), package, error))
        << Narrow(error);
    return package;
}

uint32_t Le(const std::string& bytes, size_t at, size_t size) {
    uint32_t value = 0;
    for (size_t i = 0; i < size && at + i < bytes.size(); ++i) {
        value |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    }
    return value;
}

std::string WithLe(std::string bytes, size_t at, size_t size, uint32_t value) {
    for (size_t i = 0; i < size; ++i) {
        bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
    return bytes;
}

std::string Patched(std::string bytes, const std::string& from, const std::string& to) {
    bytes.replace(bytes.find(from), from.size(), to);
    return bytes;
}

TEST(SetupFile, DamagedSetupFilesAreRefusedNamingTheField) {
    Package package = InfPackage();
    std::string good;
    std::wstring error;
    ASSERT_TRUE(WriteSetupFile(package, good, error)) << Narrow(error);
    ASSERT_TRUE(ReadSetupFile(good, PocketPcFolders(), package, error)) << Narrow(error);
    const struct {
        const char* what;
        std::string bytes;
        const char* field;
    } cases[] = {
        {"truncated header", good.substr(0, 60), "header: truncated"},
        {"truncated file", good.substr(0, good.size() - 3), "header: the length says"},
        {"wrong signature", Patched(good, "MSCE", "MSCF"), "header: the signature"},
        {"REGKEYS count past the end", WithLe(good, 56, 2, Le(good, 56, 2) + 1),
         "REGKEYS entry 5: runs past the end"},
        {"FILES offset past the end", WithLe(good, 68, 4, 0x10000), "offset of FILES is past"},
        {"APPNAME length past the end", WithLe(good, 86, 2, 0x4000), "APPNAME runs past the end"},
        {"string without its terminator", Patched(good, std::string("Today\0", 6), "Todayx"),
         "STRINGS entry 4: the string has no terminating null"},
        {"unknown directory macro", Patched(good, "%CE2%", "%CE0%"),
         "DIRS entry 1: unknown directory macro \"%CE0%\""},
        {"folder the device lacks", Patched(good, "%CE2%", "%CE3%"),
         "DIRS entry 1: %CE3% is not a folder of this device"},
        {"destination escaping its folder", Patched(good, "Tovamet.dll", "..\\evil.dll"),
         "FILES entry 1: the name \"..\\evil.dll\" would leave its folder"},
        {"DWORD of two bytes", WithLe(good, good.size() - 12, 2, 8),
         "REGKEYS entry 4: a DWORD takes 4 bytes, not 2"},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(ReadSetupFile(c.bytes, PocketPcFolders(), package, error)) << c.what;
        EXPECT_NE(std::string::npos, Narrow(error).find(c.field))
            << c.what << ": " << Narrow(error);
    }
}

struct Cabinet {
    const char* path;      // in the build folder
    std::string libraries; // the folder it was packed from
    uint32_t processor;
    uint32_t machine; // of every library in it
};

// cabextract lists, tests and extracts every member; the setup file reads
// back as the .inf; each member is the library it stands for, built for the
// cabinet's processor; 999 is the setup library.
void CheckCabinet(const Cabinet& cabinet) {
    const std::string path = std::string(TOVAMET_BUILD_ROOT) + "/" + cabinet.path;
    const fs::path members =
        fs::temp_directory_path() / ("cabinet_test." + std::to_string(getpid()));
    fs::remove_all(members);
    for (const std::string& options :
         {std::string("-q -l"), std::string("-q -t"), "-q -d '" + members.string() + "'"}) {
        ASSERT_EQ(0, std::system(("cabextract " + options + " '" + path + "' >/dev/null").c_str()))
            << "cabextract " << options << " " << path;
    }
    std::map<unsigned, std::string> numbered;
    for (const auto& entry : fs::directory_iterator(members)) {
        const std::string name = entry.path().filename().string();
        ASSERT_TRUE(name.size() == 12 && name[8] == '.' &&
                    name.find_first_not_of("0123456789", 9) == std::string::npos)
            << name << ": eight characters, a dot and three digits";
        numbered[static_cast<unsigned>(std::stoul(name.substr(9)))] = ReadBytes(entry.path());
    }
    fs::remove_all(members);

    const Package expected = InfPackage();
    Package read;
    std::wstring error;
    ASSERT_TRUE(ReadSetupFile(numbered[SetupFileMember], PocketPcFolders(), read, error))
        << Narrow(error);
    EXPECT_EQ(cabinet.processor, read.processor);
    EXPECT_EQ(Narrow(AppRecordName(expected)), Narrow(AppRecordName(read)));
    EXPECT_EQ(Narrow(expected.installDir), Narrow(read.installDir));
    EXPECT_TRUE(expected.versionMin.major == read.versionMin.major &&
                expected.versionMin.minor == read.versionMin.minor &&
                expected.versionMax.major == read.versionMax.major &&
                expected.versionMax.minor == read.versionMax.minor &&
                expected.buildMin == read.buildMin && expected.buildMax == read.buildMax)
        << "version range " << read.versionMin.major << "." << read.versionMin.minor << " to "
        << read.versionMax.major << "." << read.versionMax.minor << ", builds " << read.buildMin
        << " to " << read.buildMax;
    // The header's device fields where the format puts them, read here and not
    // by the reader: processor, Windows CE 4.20 to 6.99, builds from 0 to
    // BuildMax 0xE0000000 (square screens and rotation supported).
    const uint32_t golden[] = {cabinet.processor, 4, 20, 6, 99, 0, 0xE0000000};
    for (size_t i = 0; i < sizeof(golden) / sizeof(golden[0]); ++i) {
        EXPECT_EQ(golden[i], Le(numbered[SetupFileMember], 20 + 4 * i, 4)) << "at " << 20 + 4 * i;
    }
    ASSERT_EQ(expected.files.size(), read.files.size());
    ASSERT_EQ(expected.values.size(), read.values.size());
    EXPECT_EQ(expected.files.size() + 2, numbered.size()) << "000, 999 and one per file";
    auto library = [&](const std::wstring& name) {
        return ReadBytes(cabinet.libraries + "/" + Narrow(name));
    };
    // Whole libraries compared, reported by name: their bytes say nothing.
    EXPECT_TRUE(library(expected.setupDll) == numbered[SetupLibraryMember])
        << "member 999 is not " << Narrow(expected.setupDll);
    for (size_t i = 0; i < read.files.size(); ++i) {
        const PackageFile& file = read.files[i];
        EXPECT_EQ(Narrow(expected.files[i].name + L" in " + expected.files[i].directory),
                  Narrow(file.name + L" in " + file.directory));
        EXPECT_EQ(expected.files[i].flags, file.flags) << Narrow(file.name);
        EXPECT_TRUE(library(expected.files[i].source) == numbered[file.member])
            << "member " << file.member << " is not " << Narrow(expected.files[i].source);
    }
    for (const auto& member : numbered) {
        const std::string& bytes = member.second;
        if (member.first != SetupFileMember) {
            EXPECT_EQ(cabinet.machine, Le(bytes, Le(bytes, 0x3C, 4) + 4, 2))
                << "PE machine of member " << member.first;
        }
    }
    for (size_t i = 0; i < read.values.size(); ++i) {
        const PackageValue& want = expected.values[i];
        const PackageValue& got = read.values[i];
        EXPECT_EQ(Narrow(KeyPath(want.root, want.subkey) + L"," + want.name),
                  Narrow(KeyPath(got.root, got.subkey) + L"," + got.name));
        EXPECT_TRUE(want.isDword == got.isDword && want.number == got.number &&
                    want.text == got.text)
            << Narrow(want.name) << ": " << (got.isDword ? "DWORD " : "string ") << got.number
            << " \"" << Narrow(got.text) << "\"";
    }
}

TEST(Cabinets, TheSimulatedDevicesReadsBackAsTheInf) {
    CheckCabinet(
        {"cab/Tovamet.X64.cab", TOVAMET_BUILD_ROOT "/win/shipped", ProcessorX8664, 0x8664});
}

TEST(Cabinets, TheArmCabinetReadsBackAsTheInf) {
    // Packed from where scripts/build took the ARM libraries.
    const char* shipped = std::getenv("TOVAMET_ARM_SHIPPED");
    const Cabinet arm = {"cab/Tovamet.ARM.cab",
                         shipped != nullptr ? shipped : TOVAMET_BUILD_ROOT "/arm/shipped",
                         ProcessorStrongArm, 0x01C0};
    if (!fs::exists(std::string(TOVAMET_BUILD_ROOT) + "/" + arm.path)) {
        GTEST_SKIP() << "no " << arm.path << ": the ARM libraries are not built";
    }
    CheckCabinet(arm);
}

} // namespace

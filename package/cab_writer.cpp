// Packs a package into a Windows CE installation cabinet on the build
// machine: the setup file made from the .inf, the setup library as member
// 999, the package's files as 001, 002, ..., in an uncompressed Microsoft
// Cabinet written by gcab.
//
//   cab_writer <package.inf> <arm|x86-64> <library folder> <out.cab>
//   cab_writer <package.inf> <arm|x86-64> <out.000>     (the setup file alone)
//
// Every library must be a PE file for the processor named, so an ARM
// cabinet never carries x86-64 code or the other way round.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "package.h"
#include "setup_file.h"

namespace {

struct Processor {
    const char* name;
    uint32_t number;
    uint32_t machine; // the PE machine value of its code
};
// The format's StrongARM number stands for ARM code the StrongARM and its
// successors run.
const Processor Processors[] = {
    {"arm", ProcessorStrongArm, 0x01C0},
    {"x86-64", ProcessorX8664, 0x8664},
};

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) {
        out += c > 0 && c < 0x80 ? static_cast<char>(c) : '?';
    }
    return out;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "cab_writer: %s\n", message.c_str());
    return 1;
}

bool ReadBytes(const std::string& path, std::string& bytes) {
    std::ifstream file(path, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return file.good() || file.eof();
}

bool WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return file.good();
}

// The PE machine value, 0 if the bytes are no PE file.
uint32_t PeMachine(const std::string& bytes) {
    auto get = [&](size_t at, size_t size) {
        uint32_t value = 0;
        for (size_t i = 0; i < size; ++i) {
            value |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
        }
        return value;
    };
    if (bytes.size() < 0x40 || bytes.compare(0, 2, "MZ") != 0) {
        return 0;
    }
    size_t pe = get(0x3C, 4);
    if (pe > bytes.size() || bytes.size() - pe < 6 ||
        bytes.compare(pe, 4, std::string("PE\0\0", 4))) {
        return 0;
    }
    return get(pe + 4, 2);
}

int Run(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    pid_t child = fork();
    if (child == 0) {
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child) {
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4 && argc != 5) {
        return Fail("usage: cab_writer <package.inf> <arm|x86-64> <library folder> <out.cab>\n"
                    "       cab_writer <package.inf> <arm|x86-64> <out.000>");
    }
    const std::string infPath = argv[1];
    const std::string processorName = argv[2];
    const std::string out = argv[argc - 1];
    const Processor* processor = nullptr;
    for (const Processor& entry : Processors) {
        processor = processorName == entry.name ? &entry : processor;
    }
    if (processor == nullptr) {
        return Fail("unknown processor " + processorName + " (arm or x86-64)");
    }

    std::string text;
    if (!ReadBytes(infPath, text) || text.empty()) {
        return Fail(infPath + ": cannot be read");
    }
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        text.erase(0, 3);
    }
    Package package;
    std::wstring error;
    std::string setupFile;
    for (unsigned char c : text) {
        if (c >= 0x80) {
            return Fail(infPath + ": the package description must be ASCII");
        }
    }
    if (!ReadPackage(std::wstring(text.begin(), text.end()), PocketPcFolders(), package, error)) {
        return Fail(infPath + ": " + Narrow(error));
    }
    package.processor = processor->number;
    if (!WriteSetupFile(package, setupFile, error)) {
        return Fail(infPath + ": " + Narrow(error));
    }
    if (argc == 4) {
        return WriteBytes(out, setupFile) ? 0 : Fail(out + ": cannot be written");
    }

    // Members in the order the format asks for: 000, then descending.
    struct Member {
        std::wstring source;
        unsigned number;
    };
    std::vector<Member> members;
    if (!package.setupDll.empty()) {
        members.push_back(Member{package.setupDll, SetupLibraryMember});
    }
    for (auto file = package.files.rbegin(); file != package.files.rend(); ++file) {
        members.push_back(Member{file->source, file->member});
    }
    const std::string staging = out + ".members";
    std::error_code failure;
    std::filesystem::remove_all(staging, failure);
    if (!std::filesystem::create_directory(staging, failure)) {
        return Fail(staging + ": cannot be made");
    }
    std::vector<std::string> gcab = {"gcab", "--create", "--nopath", out + ".part"};
    gcab.push_back(staging + "/" + MemberName(package.appName, SetupFileMember));
    bool written = WriteBytes(gcab.back(), setupFile);
    for (const Member& member : members) {
        std::string bytes;
        const std::string source = std::string(argv[3]) + "/" + Narrow(member.source);
        if (!ReadBytes(source, bytes) || bytes.empty()) {
            return Fail(source + ": cannot be read");
        }
        uint32_t machine = PeMachine(bytes);
        if (machine != processor->machine) {
            char found[32];
            std::snprintf(found, sizeof(found), "0x%04X", machine);
            return Fail(source + ": PE machine " + found + " is not " + processorName);
        }
        gcab.push_back(staging + "/" + MemberName(member.source, member.number));
        written = written && WriteBytes(gcab.back(), bytes);
    }
    if (!written) {
        return Fail(staging + ": the members cannot be written");
    }
    int status = Run(gcab);
    std::filesystem::remove_all(staging, failure);
    if (status != 0 || std::rename((out + ".part").c_str(), out.c_str()) != 0) {
        return Fail(out + ": gcab failed (status " + std::to_string(status) + ")");
    }
    std::printf("cab_writer: %s: %zu member(s) for %s\n", out.c_str(), members.size() + 1,
                processorName.c_str());
    return 0;
}

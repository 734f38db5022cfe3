#!/usr/bin/env python3
"""The C++ compiler and linker of the ARM Windows CE build, as CMake calls them.

No compiler targets Windows CE any more. This drives the bare ARM compiler
(gcc-arm-none-eabi) to assembly in the CE calling standard, turns that into
COFF assembly, and assembles and links it with binutils built for
arm-mingw32ce (build-binutils beside this file). Every ARM object gets the
same options, the ones below.

    compile.py --bin DIR [compiler options] -c SOURCE -o OBJECT
    compile.py --bin DIR --link -o DLL [-Wl,options] [x.def] OBJECTS LIBRARIES
    compile.py --bin DIR --version     the checked compilers' GCC version
"""
import os
import re
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
TRANSLATE = os.path.join(HERE, "elf_to_coff_asm.py")
RUNTIME = os.path.join(ROOT, "device_runtime")

# The one GCC release of the device build: the ARM compiler compiles the C++
# headers of mingw-w64's compiler, so both must be of this release.
GCC_RELEASE = "12"
ARM_GCC = ("arm-none-eabi-gcc", "gcc-arm-none-eabi")
MINGW_GXX = ("x86_64-w64-mingw32-g++", "g++-mingw-w64-x86-64-posix")

# The device's ABI: ARMv4T ARM code in the APCS variant with structures
# returned in memory, as CE's own compiler does; signed char, 16-bit wchar_t,
# enums of 4 bytes, structures rounded to their members' alignment only (APCS
# rounds every structure to 4 bytes; CE's a three-WORD one to 6). APCS is not
# an EABI, so GCC puts static constructors in .ctors, not .init_array: the
# start-up (device_runtime/dll_startup.cpp) walks the linker's __CTOR_LIST__.
# No exceptions, type information, unwind tables or guard variables: the
# library carries no C or C++ runtime. Small code, each function and datum in
# its own section, so the link keeps only what is used.
DEVICE_FLAGS = [
    "-marm", "-march=armv4t", "-mabi=apcs-gnu", "-mstructure-size-boundary=8",
    "-mfloat-abi=soft", "-fpcc-struct-return", "-fno-short-enums", "-fshort-wchar",
    "-fsigned-char", "-fno-exceptions", "-fno-rtti", "-fno-unwind-tables",
    "-fno-asynchronous-unwind-tables", "-fno-threadsafe-statics", "-ffreestanding",
    "-Os", "-ffunction-sections", "-fdata-sections", "-std=c++17",
]
# GCC 12 calls the structure boundary deprecated, in a warning no -Wno-
# option names; it is the only way to CE's structure sizes under APCS, so that
# one line passes while every other warning stays an error.
DEPRECATED_BOUNDARY = re.compile(r"warning: option .-mstructure-size-boundary. is deprecated")
# A CE DLL: the CE GUI subsystem and OS version 4.20 (Pocket PC 2003, the
# oldest device served), the project's start-up as entry, base relocations
# kept, and none of the desktop loader's flags CE does not know.
LINK_FLAGS = [
    "--shared", "--subsystem", "wince:4.20",
    "--major-os-version", "4", "--minor-os-version", "20",
    "--entry", "DllStartup", "--disable-dynamicbase", "--disable-nxcompat",
    "--disable-tsaware", "--enable-reloc-section", "--disable-auto-import",
    "--disable-runtime-pseudo-reloc",
]


def ask(tool, option):
    name, package = tool
    try:
        result = subprocess.run([name, option], capture_output=True, text=True)
    except OSError:
        sys.exit(f"compile.py: {name} is missing (Debian package {package})")
    if result.returncode != 0:
        sys.exit(f"compile.py: {name} {option} failed: {result.stderr.strip()}")
    return result.stdout.strip()


def release(tool):
    version = ask(tool, "-dumpversion")
    if re.split(r"[.-]", version)[0] != GCC_RELEASE:
        sys.exit(f"compile.py: {tool[0]} is GCC {version}; the device build takes GCC "
                 f"{GCC_RELEASE} (Debian package {tool[1]})")
    return version


def header_folder(tool, name, header):
    """The folder the compiler knows as name, holding header; the build stops
    naming the compiler and its package when it is not there."""
    folder = os.path.normpath(ask(tool, "-print-file-name=" + name))
    if not os.path.isfile(os.path.join(folder, header)):
        sys.exit(f"compile.py: {tool[0]} has no {name} with {header} "
                 f"(Debian package {tool[1]})")
    return folder


def header_flags():
    """mingw-w64's Windows headers and the same GCC release's C++ headers; the
    ARM compiler's own headers last, for what mingw leaves to the compiler."""
    release(ARM_GCC)
    release(MINGW_GXX)
    cxx = header_folder(MINGW_GXX, "include/c++", "atomic")
    windows = header_folder(MINGW_GXX, "../include", "windows.h")
    folders = [os.path.join(RUNTIME, "include"), cxx, os.path.join(cxx, "x86_64-w64-mingw32"),
               windows, header_folder(ARM_GCC, "include", "stddef.h")]
    flags = ["-nostdinc"]
    for folder in folders:
        flags += ["-isystem", folder]
    return flags + ["-include", os.path.join(RUNTIME, "compiler_names.h")]


def run(command):
    result = subprocess.run(command)
    if result.returncode != 0:
        sys.exit(result.returncode)


def split_output(args):
    """The file after -o, and the other arguments."""
    at = args.index("-o")
    return args[at + 1], args[:at] + args[at + 2:]


def compile_source(binary, args):
    output, given = split_output(args)
    rest = []
    for arg in given:
        if arg.startswith("-g") and arg != "-g0":
            sys.exit(f"compile.py: {arg}: the device build carries no debug information; "
                     "the translation to COFF assembly cannot carry its directives")
        elif arg.startswith("-O"):
            sys.exit(f"compile.py: {arg}: every device object is built with the options "
                     "of this driver (-Os)")
        elif arg != "-c":
            rest.append(arg)
    werror = "-Werror" in rest
    rest = [arg for arg in rest if arg != "-Werror"]
    with tempfile.TemporaryDirectory() as work:
        elf = os.path.join(work, "elf.s")
        coff = os.path.join(work, "coff.s")
        compiled = subprocess.run(["arm-none-eabi-g++"] + DEVICE_FLAGS + header_flags() + rest +
                                  ["-S", "-o", elf], stderr=subprocess.PIPE, text=True)
        told = [line for line in compiled.stderr.splitlines()
                if not DEPRECATED_BOUNDARY.search(line)]
        if told:
            print("\n".join(told), file=sys.stderr)
        if compiled.returncode != 0:
            sys.exit(compiled.returncode)
        if werror and any("warning:" in line for line in told):
            sys.exit("compile.py: warnings are errors (-Werror)")
        run([sys.executable, TRANSLATE, elf, coff])
        run([os.path.join(binary, "arm-mingw32ce-as"), "-march=armv4t", "-o", output, coff])


def link(binary, args):
    output, given = split_output(args)
    command = [os.path.join(binary, "arm-mingw32ce-ld")] + LINK_FLAGS + ["-o", output]
    inputs, archives = [], []
    for arg in given:
        if arg.startswith("--def-file="):
            inputs.append(arg[len("--def-file=") :])
        elif arg.startswith("-Wl,"):
            command += arg[4:].split(",")
        elif arg.endswith((".a", ".lib")):
            archives.append(arg)
        elif arg.endswith((".obj", ".o", ".res", ".def")):
            inputs.append(arg)
        else:
            sys.exit("compile.py: the link does not carry " + arg)
    run(command + inputs + ["--start-group"] + archives + ["--end-group"])


def main(argv):
    if len(argv) < 3 or argv[1] != "--bin":
        sys.exit(__doc__)
    binary, args = argv[2], []
    for arg in argv[3:]:
        # Long object lists come in a response file.
        if arg.startswith("@"):
            with open(arg[1:], encoding="utf-8") as listing:
                args += listing.read().split()
        else:
            args.append(arg)
    if args == ["--version"]:
        header_flags()
        print(release(ARM_GCC))
    elif args and args[0] == "--link":
        link(binary, args[1:])
    elif "-c" in args:
        compile_source(binary, args)
    else:
        sys.exit("compile.py: neither a compile (-c) nor a link (--link)")


if __name__ == "__main__":
    main(sys.argv)

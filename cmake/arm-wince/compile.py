#!/usr/bin/env python3
"""The C++ compiler and linker of the ARM Windows CE build, as CMake calls them.

No compiler targets Windows CE any more. This drives the bare ARM compiler
(gcc-arm-none-eabi) to assembly in the CE calling standard, turns that into
COFF assembly, and assembles and links it with binutils built for
arm-mingw32ce (scripts/toolchain/build-binutils).

    compile.py --bin DIR [compiler options] -c SOURCE -o OBJECT
    compile.py --bin DIR --link -o DLL [-Wl,options] [x.def] OBJECTS LIBRARIES
"""
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
TRANSLATE = os.path.join(HERE, "elf_to_coff_asm.py")
MINGW_CXX = "/usr/lib/gcc/x86_64-w64-mingw32/12-posix/include/c++"

# The device's ABI: ARMv4T ARM code in the APCS variant with structures
# returned in memory, as CE's own compiler does; signed char, 16-bit wchar_t,
# enums of 4 bytes. No exceptions, type information, unwind tables or guard
# variables: the library carries no C or C++ runtime.
DEVICE_FLAGS = [
    "-marm", "-march=armv4t", "-mabi=apcs-gnu", "-mfloat-abi=soft",
    "-fpcc-struct-return", "-fno-short-enums", "-fshort-wchar", "-fsigned-char",
    "-fno-exceptions", "-fno-rtti", "-fno-unwind-tables",
    "-fno-asynchronous-unwind-tables", "-fno-threadsafe-statics", "-ffreestanding",
    "-std=c++17",
]
# mingw-w64's Windows headers and the same GCC release's C++ headers; the
# compiler's own headers last, for what mingw leaves to the compiler.
HEADER_FLAGS = [
    "-nostdinc",
    "-isystem", os.path.join(ROOT, "device_runtime", "include"),
    "-isystem", MINGW_CXX,
    "-isystem", os.path.join(MINGW_CXX, "x86_64-w64-mingw32"),
    "-isystem", "/usr/share/mingw-w64/include",
    "-isystem", "/usr/lib/gcc/arm-none-eabi/12.2.1/include",
    "-include", os.path.join(ROOT, "device_runtime", "compiler_names.h"),
]
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


def run(command):
    result = subprocess.run(command)
    if result.returncode != 0:
        sys.exit(result.returncode)


def compile_source(binary, args):
    output = args[args.index("-o") + 1]
    rest = []
    skip = False
    for i, arg in enumerate(args):
        if skip:
            skip = False
        elif arg == "-o":
            skip = True
        elif arg != "-c":
            rest.append(arg)
    with tempfile.TemporaryDirectory() as work:
        elf = os.path.join(work, "elf.s")
        coff = os.path.join(work, "coff.s")
        run(["arm-none-eabi-g++"] + DEVICE_FLAGS + HEADER_FLAGS + rest + ["-S", "-o", elf])
        run([sys.executable, TRANSLATE, elf, coff])
        run([os.path.join(binary, "arm-mingw32ce-as"), "-march=armv4t", "-o", output, coff])


def link(binary, args):
    output = args[args.index("-o") + 1]
    command = [os.path.join(binary, "arm-mingw32ce-ld")] + LINK_FLAGS + ["-o", output]
    inputs, archives = [], []
    skip = False
    for arg in args:
        if skip:
            skip = False
        elif arg == "-o":
            skip = True
        elif arg.startswith("--def-file="):
            inputs.append(arg[len("--def-file=") :])
        elif arg.startswith("-Wl,"):
            command += arg[4:].split(",")
        elif arg.endswith((".a", ".lib")):
            archives.append(arg)
        elif arg.endswith((".obj", ".o", ".res", ".def")):
            inputs.append(arg)
        elif arg.startswith("-"):
            # Compiler options CMake repeats at the link (-Os, -static ...)
            # mean nothing to the linker.
            continue
        else:
            sys.exit("compile.py: unknown link input " + arg)
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
    if args and args[0] == "--link":
        link(binary, args[1:])
    elif "-c" in args:
        compile_source(binary, args)
    else:
        sys.exit("compile.py: neither a compile (-c) nor a link (--link)")


if __name__ == "__main__":
    main(sys.argv)

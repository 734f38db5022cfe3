#!/usr/bin/env python3
"""The two shipped libraries as the device sees them: every function they
import against the list of functions Windows CE offers, and their sizes. The
test suite checks both builds with these rules in tests/device
(check_device_dlls.py); this program reports them for the benchmarks.

  shipped_dlls.py rows --api LIST --dir SHIPPED
      prints the benchmark report's rows: each library's size beside its
      floor, and the number of imports outside the device's list; with
      --arm-dir, the same rows (named shipped.arm_*) for the ARM libraries.

SHIPPED holds <name>.dll as the package ships it (stripped) and the link map
<name>.map that says which input gave each byte of the image.
"""

import argparse
import os
import re
import struct
import sys

# The shipped libraries and the most bytes each may take.
LIMITS = {"Tovamet.dll": 40960, "TovametSetup.dll": 16384}

# What the toolchain's own DLL start-up (mingw-w64's dllcrt2.o with the
# pieces it pulls in) imports from its C runtime, msvcrt.dll, although Windows
# CE's list lacks it. The device's toolchain links its start-up into the
# library instead, so there none of these is an import.
STARTUP_NAMES = {
    "_initterm",  # runs the static initialisers at load (the history lock)
    "_amsg_exit",  # stops a start-up entered again while it runs
    "_lock",  # guards the table of what to run at unload (static destructors)
    "_unlock",  # and releases it
    "__iob_func",  # standard error, for the report of a failed pseudo-relocation
    "abort",  # ends the process after that report
}
RUNTIME_DLL = "msvcrt.dll"

# Desktop names of functions that Windows CE exports under another name. CE
# has no ANSI forms, and exports some wide functions without the W; each such
# name is listed here one by one, so that no other W-less name passes.
ALIASES = {
    "SendMessageTimeoutW": "SendMessageTimeout",
}


def device_names(path):
    """The names on the list: one a line, "#" comments and "[section]" lines aside."""
    names = set()
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.strip()
            if line and not line.startswith("#") and not line.startswith("["):
                names.add(line)
    return names


class PeFile:
    """The parts of a PE image this check reads: sections and imports."""

    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = f.read()
        d = self.data
        if d[:2] != b"MZ":
            raise ValueError(f"{path}: not a PE image")
        pe = struct.unpack_from("<I", d, 0x3C)[0]
        if d[pe:pe + 4] != b"PE\0\0":
            raise ValueError(f"{path}: not a PE image")
        count, = struct.unpack_from("<H", d, pe + 6)
        optional_size, = struct.unpack_from("<H", d, pe + 20)
        optional = pe + 24
        magic, = struct.unpack_from("<H", d, optional)
        # Data directories follow the optional header's fixed part, which is
        # 16 bytes longer in the 64-bit form.
        directories = optional + (112 if magic == 0x20B else 96)
        self.wide_thunks = magic == 0x20B
        self.import_rva, = struct.unpack_from("<I", d, directories + 8)
        self.sections = []
        table = optional + optional_size
        for i in range(count):
            at = table + 40 * i
            name = d[at:at + 8].rstrip(b"\0").decode("ascii", "replace")
            vsize, rva, raw_size, raw = struct.unpack_from("<IIII", d, at + 8)
            self.sections.append((name, rva, max(vsize, raw_size), raw, vsize))

    def section_size(self, name):
        """The section's size in memory, or 0 when the image has none."""
        return next((s[4] for s in self.sections if s[0] == name), 0)

    def offset(self, rva):
        for _, start, size, raw, _ in self.sections:
            if start <= rva < start + size:
                return raw + rva - start
        raise ValueError(f"address {rva:#x} lies in no section")

    def text(self, rva):
        at = self.offset(rva)
        return self.data[at:self.data.index(b"\0", at)].decode("ascii", "replace")

    def imports(self):
        """(library, function) pairs; a function imported by number is "#n"."""
        found = []
        if self.import_rva == 0:
            return found
        at = self.offset(self.import_rva)
        thunk_size, ordinal_flag = (8, 1 << 63) if self.wide_thunks else (4, 1 << 31)
        while True:
            lookup, _, _, name_rva, address = struct.unpack_from("<IIIII", self.data, at)
            if name_rva == 0:
                return found
            library = self.text(name_rva)
            thunk = self.offset(lookup or address)
            while True:
                entry = int.from_bytes(self.data[thunk:thunk + thunk_size], "little")
                if entry == 0:
                    break
                if entry & ordinal_flag:
                    found.append((library, f"#{entry & 0xFFFF}"))
                else:
                    found.append((library, self.text((entry & 0x7FFFFFFF) + 2)))
                thunk += thunk_size
            at += 20


def outside_device(imports, names, excused=STARTUP_NAMES):
    """The imports that the device lacks and that no rule above excuses."""
    faults = []
    for library, function in imports:
        if function in names or ALIASES.get(function) in names:
            continue
        if function in excused and library.lower() == RUNTIME_DLL:
            continue
        faults.append((library, function))
    return faults


# Output sections that hold code, constants, data and unwind tables in the
# file; .bss takes no bytes there.
IMAGE_SECTIONS = {".text", ".data", ".rdata", ".pdata", ".xdata"}
# An input section: its name (on a line of its own when it is long), address,
# size and the object file it came from. Fill, symbol and linker-script data
# lines (LONG 0x0) name no object file.
INPUT_LINE = re.compile(r"^ \S*\s+0x[0-9a-f]+\s+0x([0-9a-f]+) (\S+\.(?:o|obj)\)?)$")


def own_code_bytes(map_path):
    """Bytes that the project's own object files put into the image.

    Inputs named by an absolute path come from the toolchain (start-up, C
    runtime, the platform's import libraries); the import libraries of our
    own stand-ins (*.dll.a) are not code of the library either. The compiled
    resources are no object file; they count apart, as the .rsrc section.
    """
    total = 0
    in_image = False
    with open(map_path, encoding="utf-8", errors="replace") as f:
        lines = iter(f)
        # What comes before the memory map lists inputs, discarded ones too.
        for line in lines:
            if line.startswith("Linker script and memory map"):
                break
        for line in lines:
            line = line.rstrip("\n")
            if line and not line[0].isspace():
                in_image = line.split()[0] in IMAGE_SECTIONS
                continue
            match = INPUT_LINE.match(line) if in_image else None
            if match is None:
                continue
            source = match.group(2)
            if source.startswith("/") or ".dll.a(" in source:
                continue
            total += int(match.group(1), 16)
    return total


def rows(api, folder, prefix=""):
    names = device_names(api)
    # The device build has no desktop start-up to excuse.
    excused = STARTUP_NAMES if not prefix else set()
    outside = []
    for library, limit in LIMITS.items():
        path = os.path.join(folder, library)
        image = PeFile(path)
        outside += [f"{library}: {function} ({source})"
                    for source, function in outside_device(image.imports(), names, excused)]
        size = os.path.getsize(path)
        code = own_code_bytes(os.path.splitext(path)[0] + ".map")
        resources = image.section_size(".rsrc")
        floor = code + resources
        row(f"shipped.{prefix}{library.lower().replace('.', '_')}_bytes", size, "bytes",
            f"floor {floor}: own code {code} + resources {resources}",
            f"<= {limit}", "pass" if size <= limit else "fail",
            f"{size / floor:.2f} times its floor; stripped, as the package ships it")
    row(f"shipped.{prefix}imports_outside_device", len(outside), "functions",
        "the functions Windows CE offers (sdk/windows-ce-api.txt)", "0",
        "pass" if not outside else "fail",
        "; ".join(outside) or ("start-up names of the C runtime aside: "
                               + ", ".join(sorted(excused)) if excused else "none excused"))
    return 0


def row(name, value, unit, compared, target, status, note):
    print("\t".join(["ROW", name, str(value), unit, compared, target, status, note]))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("mode", choices=["rows"])
    parser.add_argument("--api", required=True, help="the device's list of functions")
    parser.add_argument("--dir", required=True, help="the folder of the shipped libraries")
    parser.add_argument("--arm-dir", help="the folder of the shipped ARM libraries (rows)")
    args = parser.parse_args()
    rows(args.api, args.dir)
    if args.arm_dir:
        rows(args.api, args.arm_dir, "arm_")
    return 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""The shipped libraries read as a Windows CE device's loader would read them,
one table of cases over both: the ARM build's headers, imports, instructions,
exports and resources (against the x86-64 build); both builds' imports
against the device's list and their sizes.

  check_device_dlls.py --arm ARM_SHIPPED --x64 X64_SHIPPED --api LIST

Instructions are read by Debian's arm-none-eabi-objdump from the raw code
sections; words that are data (targets of base relocations, literals loaded
pc-relative, the linker's constructor and destructor lists) are not read as
instructions.
"""

import argparse
import collections
import os
import re
import subprocess
import sys
import tempfile

from pe_image import PeImage, map_symbols
from shipped_dlls import LIMITS, STARTUP_NAMES, outside_device

OBJDUMP = "arm-none-eabi-objdump"
IMAGE_FILE_RELOCS_STRIPPED, IMAGE_FILE_DLL = 0x0001, 0x2000
IMAGE_SCN_MEM_EXECUTE = 0x20000000
COND = "(?:eq|ne|cs|hs|cc|lo|mi|pl|vs|vc|hi|ls|ge|lt|gt|le|al)?"
# Every ARM-state mnemonic of ARMv4T as objdump spells it (aliases included);
# anything else (blx, clz, ldrd, movw, ldrex, dmb, VFP, coprocessors) is newer
# or not for user code.
ARMV4T = re.compile(
    rf"^(?:(?:and|eor|sub|rsb|add|adc|sbc|rsc|orr|mov|bic|mvn|lsl|lsr|asr|ror|rrx)s?{COND}s?"
    rf"|(?:tst|teq|cmp|cmn){COND}p?|(?:mul|mla|umull|umlal|smull|smlal)s?{COND}s?"
    rf"|(?:ldr|str){COND}(?:b|h|sb|sh|t|bt)?{COND}"
    rf"|(?:ldm|stm){COND}(?:ia|ib|da|db|fd|ed|fa|ea)?{COND}"
    rf"|(?:push|pop|b|bl|bx|svc|swi|mrs|msr){COND}|swp{COND}b?{COND}|nop)$")
LINE = re.compile(r"^\s*([0-9a-f]+):\s+([0-9a-f]{8})\s+(\S+)\s*([^@;]*)(?:[@;]\s*(.*))?$")


def api_sections(path):
    """{section: names} of the device's list."""
    sections, current = {}, None
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.strip()
            if line.startswith("["):
                current = sections.setdefault(line.strip("[]"), set())
            elif line and not line.startswith("#") and current is not None:
                current.add(line)
    return sections


def linker_lists(image):
    """The words of the constructor and destructor lists: -1, entries, 0."""
    symbols = map_symbols(os.path.splitext(image.path)[0] + ".map")
    words = set()
    for name in ("__CTOR_LIST__", "__DTOR_LIST__"):
        at = symbols.get(name, 0) - image.preferred_base
        if at > 0:
            words.add(at)
            while int.from_bytes(image.bytes_at(at, 4), "little") != 0:
                at += 4
                words.add(at)
    return words


def disassembly(image):
    """[(rva, mnemonic, operands)] of the code sections, data words left out."""
    lines = []
    for name in [n for n, flags in image.flags.items() if flags & IMAGE_SCN_MEM_EXECUTE]:
        rva, code = image.section_data(name)
        with tempfile.NamedTemporaryFile(suffix=".bin") as f:
            f.write(code)
            f.flush()
            command = [OBJDUMP, "-D", "-b", "binary", "-marm", f"--adjust-vma={rva:#x}", f.name]
            out = subprocess.run(command, capture_output=True, text=True, check=True).stdout
        lines += [(int(m.group(1), 16), m.group(3), m.group(4).strip(), m.group(5) or "")
                  for m in map(LINE.match, out.splitlines()) if m]
    data = {r for r, _ in image.relocations()} | linker_lists(image)
    for at, mnemonic, operands, comment in lines:
        if "[pc" in operands and mnemonic.startswith("ldr") and comment.startswith("0x"):
            data.add(int(comment.split()[0], 16))
    return [(at, m, o) for at, m, o, _ in lines if at not in data]


def return_kind(mnemonic, operands):
    """How an instruction returns: "bx lr", "pc load", "mov pc, lr", or None."""
    if re.match(rf"bx{COND}$", mnemonic) and operands == "lr":
        return "bx lr"
    if re.match(r"(pop|ldm)", mnemonic) and "pc}" in operands or \
            mnemonic.startswith("ldr") and operands.startswith("pc, [sp]"):
        return "pc load"
    if re.match(rf"mov{COND}s?$", mnemonic) and operands == "pc, lr":
        return "mov pc, lr"
    return None


def instruction_faults(image):
    faults = []
    for at, mnemonic, operands in disassembly(image):
        if not ARMV4T.match(mnemonic):
            faults.append(f"{at:#x}: {mnemonic} {operands} is not ARMv4T")
        elif return_kind(mnemonic, operands) in ("mov pc, lr", "pc load"):
            # An ARMV4I device may call us from Thumb code, and on ARMv4T only
            # bx switches back to the caller's state.
            faults.append(f"{at:#x}: {mnemonic} {operands} returns without interworking on ARMv4T")
    return faults


def import_faults(image, expected, api):
    faults = []
    found = {library.upper() for library, _ in image.imports()}
    if found != expected["imports"]:
        faults.append(f"imports from {sorted(found)}, expected {sorted(expected['imports'])}")
    for library, function in image.imports():
        section = library.upper().replace(".DLL", "").lower()
        if function not in api.get(section, set()):
            faults.append(f"{function} ({library}) is not an export of {section} on Windows CE")
        if function in STARTUP_NAMES:
            faults.append(f"{function} ({library}) is C-runtime start-up")
    return faults


def export_faults(arm, x64, expected):
    """Named exports by name (the installer asks by name), the rest by ordinal."""
    def exported(image):
        return {name or f"#{ordinal}" for ordinal, name in image.exports().items()}
    mine, theirs = exported(arm), exported(x64)
    if mine == theirs == expected["exports"]:
        return []
    return [f"exports {sorted(mine)}, x86-64 {sorted(theirs)}, expected {sorted(expected['exports'])}"]


def resource_faults(arm, x64, expected):
    faults = []
    mine, theirs = arm.resources(), x64.resources()
    if set(mine) != set(theirs):
        faults.append(f"resources {sorted(map(str, set(mine) ^ set(theirs)))} "
                      "differ from the x86-64 build")
    faults += [f"resource {key} differs from the x86-64 build" for key in mine
               if key in theirs and mine[key] != theirs[key]]
    faults += [f"resource {key} is missing" for key in expected["resources"] if key not in mine]
    if mine.get(("CEUX", "HI_RES_AWARE")) != [b"\x01\x00"]:
        faults.append("CEUX/HI_RES_AWARE does not hold the 16-bit value 1")
    return faults


def header_faults(image):
    subsystem = (image.subsystem_major, image.subsystem_minor)
    system = (image.os_major, image.os_minor)
    return [fault for ok, fault in [
        (image.machine == 0x1C0, f"machine {image.machine:#x}, not ARM (0x1c0)"),
        (image.subsystem == 9, f"subsystem {image.subsystem}, not Windows CE GUI (9)"),
        (subsystem == (4, 20), "subsystem version %d.%d, not 4.20" % subsystem),
        (system == (4, 20), "OS version %d.%d, not 4.20" % system),
        (image.characteristics & IMAGE_FILE_DLL, "not marked as a DLL"),
        (not image.characteristics & IMAGE_FILE_RELOCS_STRIPPED and image.directories[5][1] > 0
         and ".reloc" in image.flags and image.relocations(), "no base relocations"),
        (image.dll_characteristics == 0,
         f"DllCharacteristics {image.dll_characteristics:#x}: flags Windows CE does not know"),
    ] if not ok]


def desktop_import_faults(image, api):
    """The x86-64 build, which the simulated device runs: its C runtime's
    start-up names excused, desktop aliases of CE's names allowed."""
    names = set().union(*api.values())
    return [f"x86-64: {function} ({library}) is not offered by Windows CE"
            for library, function in outside_device(image.imports(), names)]


def size_faults(images, name):
    limit = LIMITS[name + ".dll"]
    return [f"{build}: {len(image.data):,} bytes, more than {limit:,}"
            for build, image in zip(("ARM", "x86-64"), images) if len(image.data) > limit]


# What each library must hold: where its imports come from, its exports and
# the resources it needs whatever the x86-64 build has.
EXPECTED = {
    "Tovamet": {"imports": {"COREDLL.DLL", "AYGSHELL.DLL"}, "exports": {"#240"},
                "resources": [(5, 500), (5, 501), (5, 502), (5, 503),
                              (14, 130), (14, 138), (14, 139)]},
    "TovametSetup": {"imports": {"COREDLL.DLL"},
                     "exports": {"Install_Init", "Install_Exit", "Uninstall_Init", "Uninstall_Exit"},
                     "resources": [(16, 1)]},
}
# what is checked, the faults found (library, ARM image, x86-64 image, device list)
CASES = [
    ("header", lambda name, arm, x64, api: header_faults(arm)),
    ("imports", lambda name, arm, x64, api: import_faults(arm, EXPECTED[name], api)
     + desktop_import_faults(x64, api)),
    ("instructions", lambda name, arm, x64, api: instruction_faults(arm)),
    ("exports", lambda name, arm, x64, api: export_faults(arm, x64, EXPECTED[name])),
    ("resources", lambda name, arm, x64, api: resource_faults(arm, x64, EXPECTED[name])),
    ("size", lambda name, arm, x64, api: size_faults((arm, x64), name)),
]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--arm", required=True, help="folder of the shipped ARM libraries")
    parser.add_argument("--x64", required=True, help="folder of the shipped x86-64 libraries")
    parser.add_argument("--api", required=True, help="the device's list of functions")
    args = parser.parse_args()
    for folder in (args.arm, args.x64):
        if not os.path.isfile(os.path.join(folder, "Tovamet.dll")):
            sys.exit(f"no shipped libraries in {folder}: scripts/build makes them")
    api = api_sections(args.api)
    images = {name: (PeImage(os.path.join(args.arm, name + ".dll")),
                     PeImage(os.path.join(args.x64, name + ".dll"))) for name in EXPECTED}
    failed = 0
    for name, (arm, x64) in images.items():
        for what, check in CASES:
            faults = check(name, arm, x64, api)
            failed += bool(faults)
            print(f"{'FAIL' if faults else 'ok  '} {name} {what}"
                  + "".join(f"\n     {f}" for f in faults))
        kinds = collections.Counter(return_kind(m, o) for _, m, o in disassembly(arm))
        print(f"{name}: {len(arm.data):,} bytes; {kinds['bx lr']} returns, each a bx lr")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())

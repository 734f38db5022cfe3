#!/usr/bin/env python3
"""The shipped ARM libraries read as a Windows CE device's loader would read
them, one table of cases over both: headers, imports, instructions, exports
and resources (against the x86-64 build), sizes.

  check_device_dlls.py --arm ARM_SHIPPED --x64 X64_SHIPPED --api LIST

Instructions are read by Debian's arm-none-eabi-objdump from the raw code
section; words that are data (targets of base relocations, literals loaded
pc-relative, the linker's constructor and destructor lists) are not read as
instructions.
"""

import argparse
import os
import re
import subprocess
import sys
import tempfile

from pe_image import PeImage, map_symbols
from shipped_dlls import LIMITS, STARTUP_NAMES

OBJDUMP = "arm-none-eabi-objdump"
IMAGE_FILE_RELOCS_STRIPPED, IMAGE_FILE_DLL = 0x0001, 0x2000
COND = "(?:eq|ne|cs|hs|cc|lo|mi|pl|vs|vc|hi|ls|ge|lt|gt|le|al)?"
# Every ARM-state mnemonic of ARMv4T as objdump spells it (aliases included);
# anything else (blx, clz, ldrd, movw, ldrex, dmb, VFP, coprocessors) is newer
# or not for user code.
ARMV4T = re.compile(
    rf"^(?:(?:and|eor|sub|rsb|add|adc|sbc|rsc|orr|mov|bic|mvn|lsl|lsr|asr|ror|rrx)s?{COND}s?"
    rf"|(?:tst|teq|cmp|cmn){COND}p?|(?:mul|mla|umull|umlal|smull|smlal)s?{COND}s?"
    rf"|(?:ldr|str){COND}(?:b|h|sb|sh|t|bt)?{COND}|(?:ldm|stm){COND}(?:ia|ib|da|db|fd|ed|fa|ea)?{COND}"
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


def linker_lists(image, symbols):
    """The words of the constructor and destructor lists: -1, entries, 0."""
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
    """[(rva, mnemonic, operands)] of the code section, data words left out."""
    rva, code = image.section_data(".text")
    with tempfile.NamedTemporaryFile(suffix=".bin") as f:
        f.write(code)
        f.flush()
        out = subprocess.run([OBJDUMP, "-D", "-b", "binary", "-marm", f"--adjust-vma={rva:#x}", f.name],
                             capture_output=True, text=True, check=True).stdout
    lines = [(int(m.group(1), 16), m.group(3), m.group(4).strip(), m.group(5) or "")
             for m in map(LINE.match, out.splitlines()) if m]
    data = {r for r, _ in image.relocations() if rva <= r < rva + len(code)} | image.lists
    for at, mnemonic, operands, comment in lines:
        if "[pc" in operands and mnemonic.startswith("ldr") and comment.startswith("0x"):
            data.add(int(comment.split()[0], 16))
    return [(at, m, o) for at, m, o, _ in lines if at not in data]


def instruction_faults(image):
    faults, returns = [], {"bx lr": 0, "pc load": 0}
    for at, mnemonic, operands in disassembly(image):
        if not ARMV4T.match(mnemonic):
            faults.append(f"{at:#x}: {mnemonic} {operands} is not ARMv4T")
        elif re.match(rf"bx{COND}$", mnemonic) and operands == "lr":
            returns["bx lr"] += 1
        elif re.match(r"(pop|ldm)", mnemonic) and "pc}" in operands or \
                mnemonic.startswith("ldr") and operands.startswith("pc, [sp]"):
            returns["pc load"] += 1
        elif re.match(rf"mov{COND}s?$", mnemonic) and operands == "pc, lr":
            faults.append(f"{at:#x}: mov pc, lr returns without interworking")
    image.returns = returns
    return faults


def import_faults(image, libraries, api):
    faults = []
    found = {library.upper() for library, _ in image.imports()}
    if found != libraries:
        faults.append(f"imports from {sorted(found)}, expected {sorted(libraries)}")
    for library, function in image.imports():
        section = library.upper().replace(".DLL", "").lower()
        if function not in api.get(section, set()):
            faults.append(f"{function} ({library}) is not an export of {section} on Windows CE")
        if function in STARTUP_NAMES:
            faults.append(f"{function} ({library}) is C-runtime start-up")
    return faults


def resource_faults(arm, x64, required):
    faults = []
    mine, theirs = arm.resources(), x64.resources()
    if set(mine) != set(theirs):
        faults.append(f"resources {sorted(map(str, set(mine) ^ set(theirs)))} differ from the x86-64 build")
    faults += [f"resource {key} differs from the x86-64 build" for key in mine
               if key in theirs and mine[key] != theirs[key]]
    faults += [f"resource {key} is missing" for key in required if key not in mine]
    if mine.get(("CEUX", "HI_RES_AWARE")) != [b"\x01\x00"]:
        faults.append("CEUX/HI_RES_AWARE does not hold the 16-bit value 1")
    return faults


def header_faults(image):
    return [fault for ok, fault in [
        (image.machine == 0x1C0, f"machine {image.machine:#x}, not ARM (0x1c0)"),
        (image.subsystem == 9, f"subsystem {image.subsystem}, not Windows CE GUI (9)"),
        ((image.subsystem_major, image.subsystem_minor) == (4, 20),
         f"subsystem version {image.subsystem_major}.{image.subsystem_minor}, not 4.20"),
        ((image.os_major, image.os_minor) == (4, 20), f"OS version {image.os_major}.{image.os_minor}, not 4.20"),
        (image.characteristics & IMAGE_FILE_DLL, "not marked as a DLL"),
        (not image.characteristics & IMAGE_FILE_RELOCS_STRIPPED and image.directories[5][1] > 0
         and ".reloc" in image.flags and image.relocations(), "no base relocations"),
        (image.dll_characteristics == 0,
         f"DllCharacteristics {image.dll_characteristics:#x}: flags Windows CE does not know"),
    ] if not ok]


TOVAMET_RESOURCES = [(5, 500), (5, 501), (5, 502), (5, 503), (14, 130), (14, 138), (14, 139)]
# library, what is checked, the faults found (arm image, x86-64 image, device list)
CASES = [
    ("Tovamet", "header", lambda a, x, api: header_faults(a)),
    ("TovametSetup", "header", lambda a, x, api: header_faults(a)),
    ("Tovamet", "imports", lambda a, x, api: import_faults(a, {"COREDLL.DLL", "AYGSHELL.DLL"}, api)),
    ("TovametSetup", "imports", lambda a, x, api: import_faults(a, {"COREDLL.DLL"}, api)),
    ("Tovamet", "instructions", lambda a, x, api: instruction_faults(a)),
    ("TovametSetup", "instructions", lambda a, x, api: instruction_faults(a)),
    ("Tovamet", "exports", lambda a, x, api: [] if a.exports() == x.exports() == {240: None}
     else [f"exports {a.exports()}, x86-64 {x.exports()}"]),
    ("TovametSetup", "exports", lambda a, x, api: [] if a.exports() == x.exports() and
     sorted(a.exports().values()) == ["Install_Exit", "Install_Init", "Uninstall_Exit", "Uninstall_Init"]
     else [f"exports {a.exports()}, x86-64 {x.exports()}"]),
    ("Tovamet", "resources", lambda a, x, api: resource_faults(a, x, TOVAMET_RESOURCES)),
    ("TovametSetup", "resources", lambda a, x, api: resource_faults(a, x, [(16, 1)])),
    ("Tovamet", "size", lambda a, x, api: [] if len(a.data) <= LIMITS["Tovamet.dll"]
     else [f"{len(a.data):,} bytes, more than {LIMITS['Tovamet.dll']:,}"]),
    ("TovametSetup", "size", lambda a, x, api: [] if len(a.data) <= LIMITS["TovametSetup.dll"]
     else [f"{len(a.data):,} bytes, more than {LIMITS['TovametSetup.dll']:,}"]),
]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--arm", required=True, help="folder of the shipped ARM libraries")
    parser.add_argument("--x64", required=True, help="folder of the shipped x86-64 libraries")
    parser.add_argument("--api", required=True, help="the device's list of functions")
    args = parser.parse_args()
    api = api_sections(args.api)
    images = {name: (PeImage(os.path.join(args.arm, name + ".dll")),
                     PeImage(os.path.join(args.x64, name + ".dll"))) for name in ("Tovamet", "TovametSetup")}
    for name, (arm, _) in images.items():
        arm.lists = linker_lists(arm, map_symbols(os.path.join(args.arm, name + ".map")))
    failed = 0
    for library, what, check in CASES:
        arm, x64 = images[library]
        faults = check(arm, x64, api)
        failed += bool(faults)
        print(f"{'FAIL' if faults else 'ok  '} {library} {what}" + "".join(f"\n     {f}" for f in faults))
    for library, (arm, _) in images.items():
        print(f"{library}: {len(arm.data):,} bytes; returns: {arm.returns['bx lr']} bx lr, "
              f"{arm.returns['pc load']} loads of pc (interworking there needs ARMv5T or an ARM caller)")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Writes the .def files the device build's import libraries are made from:
the core library's and the shell library's exports, from the list of what
Windows CE offers (sdk/windows-ce-api.txt). Names the list marks inline
are left out: CE has no export of that name (device_runtime/ supplies them).

    make_import_defs.py API_LIST OUTPUT_DIR
"""
import os
import sys

# Names the desktop headers give a W where CE's core library exports the
# function without one.
RENAMED = {"SendMessageTimeoutW": "SendMessageTimeout"}
DLL_NAMES = {"coredll": "COREDLL.dll", "aygshell": "AYGSHELL.dll"}


def main(argv):
    if len(argv) != 3:
        sys.exit(__doc__)
    sections, current = {}, None
    with open(argv[1], encoding="utf-8") as listing:
        for line in listing:
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            if line.startswith("["):
                current = sections.setdefault(line.strip("[]"), [])
            else:
                current.append(line)
    for section, dll in DLL_NAMES.items():
        names = sections[section]
        lines = ["LIBRARY " + dll, "EXPORTS"] + ["    " + n for n in names]
        lines += ["    %s == %s" % (alias, name) for alias, name in RENAMED.items() if name in names]
        with open(os.path.join(argv[2], section + ".def"), "w", encoding="utf-8") as out:
            out.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main(sys.argv)

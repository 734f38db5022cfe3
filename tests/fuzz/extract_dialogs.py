#!/usr/bin/env python3
"""Writes each RT_DIALOG resource of a compiled .res file to its own file.

usage: extract_dialogs.py input.res output_dir
"""
import os
import struct
import sys

RT_DIALOG = 5


def read_sz_or_ord(data, pos):
    """Returns (value, position after the field): an int for an ordinal."""
    (first,) = struct.unpack_from("<H", data, pos)
    if first == 0xFFFF:
        return struct.unpack_from("<H", data, pos + 2)[0], pos + 4
    end = pos
    while struct.unpack_from("<H", data, end)[0] != 0:
        end += 2
    return data[pos:end].decode("utf-16-le"), end + 2


def main():
    source, target = sys.argv[1], sys.argv[2]
    with open(source, "rb") as f:
        data = f.read()
    os.makedirs(target, exist_ok=True)
    found = 0
    pos = 0
    while pos + 8 <= len(data):
        data_size, header_size = struct.unpack_from("<II", data, pos)
        kind, after = read_sz_or_ord(data, pos + 8)
        name, _ = read_sz_or_ord(data, after)
        body = pos + header_size
        if kind == RT_DIALOG:
            with open(os.path.join(target, "dialog_%s.bin" % name), "wb") as out:
                out.write(data[body : body + data_size])
            found += 1
        pos = (body + data_size + 3) & ~3
    if found == 0:
        sys.exit("no dialog templates in " + source)


if __name__ == "__main__":
    main()

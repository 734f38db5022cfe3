"""A PE image as a Windows CE loader reads it: the shipped-library reader of
tests/shipped extended by the headers, exports, resources and base
relocations, and the symbols of the GNU ld link map beside it."""

import os
import re
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "shipped"))
from shipped_dlls import PeFile  # noqa: E402


class PeImage(PeFile):
    """Headers and directories of a 32-bit or 64-bit PE image, by rva."""

    def __init__(self, path):
        super().__init__(path)
        self.path = path
        d = self.data
        pe = struct.unpack_from("<I", d, 0x3C)[0]
        self.machine, _, _, _, _, _, self.characteristics = struct.unpack_from("<HHIIIHH", d, pe + 4)
        opt = pe + 24
        self.magic = struct.unpack_from("<H", d, opt)[0]
        self.entry_rva = struct.unpack_from("<I", d, opt + 16)[0]
        if self.magic == 0x20B:
            self.preferred_base = struct.unpack_from("<Q", d, opt + 24)[0]
        else:
            self.preferred_base = struct.unpack_from("<I", d, opt + 28)[0]
        self.image_size = struct.unpack_from("<I", d, opt + 56)[0]
        (self.os_major, self.os_minor, _, _, self.subsystem_major,
         self.subsystem_minor) = struct.unpack_from("<6H", d, opt + 40)
        self.subsystem, self.dll_characteristics = struct.unpack_from("<HH", d, opt + 68)
        dirs = opt + (112 if self.magic == 0x20B else 96)
        self.directories = [struct.unpack_from("<II", d, dirs + 8 * i) for i in range(16)]
        table = opt + struct.unpack_from("<H", d, pe + 20)[0]
        count = struct.unpack_from("<H", d, pe + 6)[0]
        self.flags, self.raw_sizes = {}, {}
        for i in range(count):
            at = table + 40 * i
            name = d[at:at + 8].rstrip(b"\0").decode("ascii", "replace")
            self.raw_sizes[name] = struct.unpack_from("<I", d, at + 16)[0]
            self.flags[name] = struct.unpack_from("<I", d, at + 36)[0]

    def bytes_at(self, rva, size):
        at = self.offset(rva)
        return self.data[at:at + size]

    def section_data(self, name):
        """(rva, the bytes the file holds for it) of one section; the rest of
        its size in memory is zeros."""
        for sname, rva, _, raw, vsize in self.sections:
            if sname == name:
                return rva, self.data[raw:raw + min(vsize, self.raw_sizes[name])]
        raise KeyError(name)

    def exports(self):
        """{ordinal: name or None}."""
        rva, _ = self.directories[0]
        if rva == 0:
            return {}
        _, _, _, _, _, base, functions, names, table, name_table, ordinal_table = \
            struct.unpack_from("<IIHHIIIIIII", self.data, self.offset(rva))
        named = {}
        for i in range(names):
            name_rva = struct.unpack_from("<I", self.data, self.offset(name_table) + 4 * i)[0]
            index = struct.unpack_from("<H", self.data, self.offset(ordinal_table) + 2 * i)[0]
            named[index] = self.text(name_rva)
        result = {}
        for i in range(functions):
            if struct.unpack_from("<I", self.data, self.offset(table) + 4 * i)[0]:
                result[base + i] = named.get(i)
        return result

    def export_rva(self, ordinal=None, name=None):
        rva, _ = self.directories[0]
        at = self.offset(rva)
        base = struct.unpack_from("<I", self.data, at + 16)[0]
        table = struct.unpack_from("<I", self.data, at + 28)[0]
        exports = self.exports()
        if ordinal is None:
            ordinal = next((o for o, n in exports.items() if n == name), None)
        if ordinal not in exports:
            raise KeyError(f"the library exports no {name or ordinal}")
        return struct.unpack_from("<I", self.data, self.offset(table) + 4 * (ordinal - base))[0]

    def import_slots(self):
        """[(library, function, rva of its address slot)]; 32-bit images only."""
        found = []
        at = self.offset(self.import_rva) if self.import_rva else None
        while at is not None:
            lookup, _, _, name_rva, address = struct.unpack_from("<IIIII", self.data, at)
            if name_rva == 0:
                break
            library = self.text(name_rva)
            thunks = self.offset(lookup or address)
            for i in range(0x10000):
                entry = struct.unpack_from("<I", self.data, thunks + 4 * i)[0]
                if entry == 0:
                    break
                function = f"#{entry & 0xFFFF}" if entry >> 31 else self.text(entry + 2)
                found.append((library, function, address + 4 * i))
            at += 20
        return found

    def resources(self):
        """{(type, name): [data bytes per language]}; ids as ints, names as text."""
        rva, _ = self.directories[2]
        found = {}
        if rva == 0:
            return found
        root = self.offset(rva)

        def entries(at):
            named, ids = struct.unpack_from("<HH", self.data, at + 12)
            for i in range(named + ids):
                key, target = struct.unpack_from("<II", self.data, at + 16 + 8 * i)
                if key & 0x80000000:
                    s = root + (key & 0x7FFFFFFF)
                    length = struct.unpack_from("<H", self.data, s)[0]
                    key = self.data[s + 2:s + 2 + 2 * length].decode("utf-16-le")
                yield key, target

        for kind, t in entries(root):
            for name, n in entries(root + (t & 0x7FFFFFFF)):
                for _, leaf in entries(root + (n & 0x7FFFFFFF)):
                    data_rva, size = struct.unpack_from("<II", self.data, root + leaf)
                    found.setdefault((kind, name), []).append(self.bytes_at(data_rva, size))
        return found

    def relocations(self):
        """[(rva, type)] of every base relocation but the padding ones."""
        rva, size = self.directories[5]
        found = []
        at, end = self.offset(rva), self.offset(rva) + size
        while at < end:
            page, block = struct.unpack_from("<II", self.data, at)
            if block < 8:
                break
            for i in range((block - 8) // 2):
                entry = struct.unpack_from("<H", self.data, at + 8 + 2 * i)[0]
                if entry >> 12:
                    found.append((page + (entry & 0xFFF), entry >> 12))
            at += block
        return found


# A symbol line of the memory map: address, then a name (demangled names hold
# spaces), or a linker-script symbol set to the location counter.
SYMBOL_LINE = re.compile(r"^\s+0x([0-9a-f]{8,16})\s+([A-Za-z_.$?@][^=]*?)(?:\s+= \.)?\s*$")


def map_symbols(path):
    """{name: address at the preferred base} of every symbol the map lists."""
    symbols = {}
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            if line.startswith("Linker script and memory map"):
                break
        for line in f:
            m = SYMBOL_LINE.match(line)
            if m:
                symbols.setdefault(m.group(2), int(m.group(1), 16))
    return symbols


def find_symbol(symbols, *prefixes):
    """The address of the one symbol starting with any prefix (mangled or not)."""
    found = {a for n, a in symbols.items() if n.startswith(prefixes)}
    if len(found) != 1:
        raise KeyError(f"{prefixes}: {len(found)} symbols in the link map")
    return found.pop()

#!/usr/bin/env python3
"""Turns the ELF-flavoured assembly of the bare ARM compiler into what the
ARM Windows CE (PE/COFF) assembler takes.

No compiler targets Windows CE any more; the one that builds for ARM writes
ELF directives. This keeps every instruction and data directive as it is and
rewrites only what COFF says differently: symbol types, sizes, build
attributes and unwind tables go (CE's loader has no use for them), sections
get COFF names and flags, link-once groups become COFF link-once sections, a
weak symbol defined here becomes global, a local common symbol becomes .lcomm.
Anything it does not know stops it with an error naming the directive, so a
new compiler habit cannot slip into the library unnoticed.

    elf_to_coff_asm.py INPUT.s OUTPUT.s
"""
import re
import sys

# Directives the COFF assembler takes exactly as the compiler writes them.
KEPT = {
    ".align", ".p2align", ".balign", ".space", ".zero", ".skip", ".ascii",
    ".asciz", ".string", ".word", ".4byte", ".long", ".short", ".2byte",
    ".hword", ".byte", ".set", ".equ", ".global", ".globl", ".syntax", ".arm",
    ".code", ".fpu", ".arch", ".cpu", ".text", ".data", ".ltorg", ".file",
}
# ELF-only: symbol types and sizes, visibility (a PE image exports only what
# its .def names), build attributes, unwind tables (built without exceptions,
# nothing unwinds), and the compiler's signature.
DROPPED = {
    ".type", ".size", ".hidden", ".internal", ".protected", ".eabi_attribute",
    ".ident", ".fnstart", ".fnend", ".cantunwind", ".personality",
    ".personalityindex", ".handlerdata", ".save", ".vsave", ".pad", ".setfp",
    ".movsp", ".unwind_raw",
}
# Sections whose contents every ELF object may carry but a PE image never needs.
DROPPED_SECTIONS = {".note.GNU-stack"}

DIRECTIVE = re.compile(r"^\s*(\.[A-Za-z_][\w.]*)\b\s*(.*)$")
LABEL = re.compile(r"^\s*([A-Za-z_.$][\w.$]*):")


class TranslationError(Exception):
    pass


def split_operands(text):
    """Splits a directive's operands at commas outside quotes."""
    parts, current, quoted = [], "", False
    for ch in text:
        if ch == '"':
            quoted = not quoted
        if ch == "," and not quoted:
            parts.append(current.strip())
            current = ""
        else:
            current += ch
    if current.strip():
        parts.append(current.strip())
    return parts


# ELF section name prefixes and the COFF sections the PE link script gathers.
SECTION_PLACES = (
    (".text", ".text"),
    (".rodata", ".rdata"),
    (".data.rel.ro", ".rdata"),
    (".data", ".data"),
    (".bss", ".bss"),
    (".ctors", ".ctors"),
)
COFF_FLAGS = {".text": "xr", ".rdata": "r", ".data": "w", ".ctors": "w"}


def coff_section(operands):
    """The COFF lines for an ELF .section: .text.f becomes .text$f, a comdat
    group a link-once section named after its group."""
    name = operands[0]
    flags = operands[1].strip('"') if len(operands) > 1 else ""
    for elf, base in SECTION_PLACES:
        if name == elf or name.startswith(elf + "."):
            suffix = name[len(elf) + 1 :]
            break
    else:
        raise TranslationError("section the device image has no place for: " + name)
    if "G" in flags:
        if len(operands) < 5 or operands[4] != "comdat" or base == ".bss":
            raise TranslationError("section group the translation does not know: " + name)
        # One copy is kept per image, the others are discarded by name.
        return ['\t.section\t%s$%s,"%s"' % (base, operands[3], COFF_FLAGS[base]),
                "\t.linkonce discard"]
    if base == ".bss":
        # The PE link script gathers only .bss itself into the image's bss.
        return ["\t.bss"]
    if base == ".ctors" or not suffix:
        return ['\t.section\t%s,"%s"' % (base, COFF_FLAGS[base])]
    return ['\t.section\t%s$%s,"%s"' % (base, suffix, COFF_FLAGS[base])]


def translate(lines):
    defined = set()
    for line in lines:
        label = LABEL.match(line)
        if label:
            defined.add(label.group(1))
        d = DIRECTIVE.match(line)
        if d and d.group(1) in (".set", ".equ"):
            defined.add(split_operands(d.group(2))[0])
    local = set()
    out = []
    for number, line in enumerate(lines, 1):
        d = DIRECTIVE.match(line)
        if not d or LABEL.match(line):
            out.append(line)
            continue
        directive, rest = d.group(1), d.group(2)
        # A trailing '@' comment is not an operand.
        operands = split_operands(rest.split("\t@")[0]) if rest else []
        try:
            if directive in KEPT:
                out.append(line)
            elif directive in DROPPED:
                continue
            elif directive == ".section":
                if operands[0] in DROPPED_SECTIONS:
                    continue
                out.extend(coff_section(operands))
            elif directive == ".weak":
                symbol = operands[0]
                if symbol not in defined:
                    raise TranslationError("weak reference to an undefined symbol: " + symbol)
                out.append("\t.global\t" + symbol)
            elif directive == ".local":
                local.add(operands[0])
            elif directive == ".comm":
                if operands[0] in local:
                    out.append("\t.lcomm\t" + ",".join(operands[:2]))
                else:
                    out.append("\t.comm\t" + ",".join(operands[:2]))
            elif directive == ".bss":
                out.append("\t.bss")
            else:
                raise TranslationError("unknown directive " + directive)
        except TranslationError as error:
            raise TranslationError("line %d: %s" % (number, error))
    return out


def main(argv):
    if len(argv) != 3:
        sys.stderr.write(__doc__)
        return 2
    with open(argv[1], encoding="utf-8") as source:
        lines = source.read().split("\n")
    try:
        out = translate(lines)
    except TranslationError as error:
        sys.stderr.write("%s: %s\n" % (argv[1], error))
        return 1
    with open(argv[2], "w", encoding="utf-8") as target:
        target.write("\n".join(out))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

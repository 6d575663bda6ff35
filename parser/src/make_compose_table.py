#!/usr/bin/python3
"""Writes compose_table.h: every pair of a base character below U+3000 and a
combining mark U+0300..U+036F that canonical composition (NFC) turns into one
character, sorted by base and mark.

usage: make_compose_table.py > compose_table.h
"""
import unicodedata

rows = []
for base in range(0x20, 0x3000):
    for mark in range(0x300, 0x370):
        s = unicodedata.normalize("NFC", chr(base) + chr(mark))
        if len(s) == 1:
            rows.append((base, mark, ord(s)))

print("// Canonical compositions of a base character and one combining mark")
print("// (Unicode %s), sorted by base and mark. Made by make_compose_table.py;"
      % unicodedata.unidata_version)
print("// do not edit.")
print("#pragma once")
print()
print("#include <cstdint>")
print()
print("namespace parser_detail {")
print()
print("struct Composition {")
print("    std::uint16_t base, mark, composed;")
print("};")
print()
print("inline constexpr Composition kCompositions[] = {")
line = "   "
for r in rows:
    item = " {0x%04X, 0x%04X, 0x%04X}," % r
    if len(line) + len(item) > 98:
        print(line)
        line = "   "
    line += item
print(line)
print("};")
print()
print("} // namespace parser_detail")

#!/usr/bin/env python3
"""Prints the upper-case ranges of tools/windows_name_key.cc.

Every character of the Basic Multilingual Plane beyond ASCII whose simple
upper-case mapping in Python's Unicode database is another character,
as runs {first, last, step, delta}: each character from `first` to `last`
in steps of `step` maps to itself plus `delta`.
"""
import unicodedata

mappings = []
for code in range(0x80, 0x10000):
    if 0xD800 <= code < 0xE000:
        continue
    # str.upper() gives the full mapping; where that is several characters
    # the simple one, when there is one, is the title case (U+1F80..1FF3:
    # iota subscript to prosgegrammeni), never for the letters whose simple
    # mapping is themselves (U+00DF, U+0149 give two characters either way).
    upper = chr(code).upper()
    if len(upper) != 1:
        upper = chr(code).title()
    if len(upper) == 1 and upper != chr(code):
        mappings.append((code, ord(upper) - code))

runs = []
for code, delta in mappings:
    if runs:
        first, last, step, run_delta = runs[-1]
        gap = code - last
        if run_delta == delta and (gap == step or (step == 0 and gap in (1, 2))):
            runs[-1] = (first, code, step or gap, delta)
            continue
    runs.append((code, code, 0, delta))

print(f"// Unicode {unicodedata.unidata_version}: {len(mappings)} characters in {len(runs)} runs.")
for first, last, step, delta in runs:
    print(f"    {{0x{first:04X}, 0x{last:04X}, {max(step, 1)}, {delta}}},")

#!/usr/bin/env python3
"""Writes src/base/case_fold_table.inc: Unicode simple case folding as runs of code points.

Python's own character data is the source: a character whose full folding is one character
folds to it; otherwise (the few full foldings that expand) its lower case, when that is one
character; otherwise it stays. Usage: python3 tools/unicode/make-case-fold.py > src/base/case_fold_table.inc
"""
import sys
import unicodedata


def simple_fold(c):
    folded = c.casefold()
    if len(folded) == 1:
        return folded
    lower = c.lower()
    return lower if len(lower) == 1 else c


def main():
    pairs = []
    for code in range(sys.maxunicode + 1):
        if 0xD800 <= code <= 0xDFFF:
            continue
        folded = ord(simple_fold(chr(code)))
        if folded != code:
            pairs.append((code, folded - code))
    # Runs of equal offset whose members are 1 or 2 apart (2: upper and lower case alternate).
    runs = []
    for code, delta in pairs:
        if runs:
            first, last, step, d = runs[-1]
            gap = code - last
            if d == delta and ((step == 0 and gap in (1, 2)) or gap == step):
                runs[-1] = (first, code, gap, d)
                continue
        runs.append((code, code, 0, delta))
    print(f"// Made by tools/unicode/make-case-fold.py from Unicode {unicodedata.unidata_version}; do not edit.")
    print("// {first, last, step between members, offset added}")
    for first, last, step, delta in runs:
        print(f"{{0x{first:04X}, 0x{last:04X}, {max(step, 1)}, {delta}}},")


main()

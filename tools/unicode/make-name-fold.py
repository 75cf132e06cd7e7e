#!/usr/bin/env python3
"""Writes src/base/name_fold_table.inc: what FoldName (src/base/name_fold.cpp) needs of Unicode.

Each code point's NFKC_Casefold mapping (DerivedNormalizationProps.txt) taken on to its full
canonical decomposition (UnicodeData.txt), and the canonical combining classes. Hangul syllables
are left out: the program decomposes them by arithmetic. So is U+0345 (see YPOGEGRAMMENI).

Both tables are runs of code points written as 6-bit symbols (A-Z a-z 0-9 - _), each carrying 5
bits of a number and a flag saying that more symbols of the same number follow (lowest bits
first). Signed numbers are zigzagged (0, -1, 1, -2 ... become 0, 1, 2, 3 ...).

A mapping run: gap from the previous run's last code point (the first run's from -1), members - 1,
the step between members (only when there are two or more), the length of each member's mapping,
then the first member's mapping (each code point as the difference from the one before it, the
first from the member itself), then (two or more members) how much each position grows per
member. Member k maps to first mapping + k * growth.
A combining class run: gap, length - 1, class.

Usage: python3 tools/unicode/make-name-fold.py [/usr/share/unicode] > src/base/name_fold_table.inc
(Debian's package unicode-data ships the files.)
"""
import re
import sys

HANGUL_FIRST, HANGUL_LAST = 0xAC00, 0xD7A3
# COMBINING GREEK YPOGEGRAMMENI is the one mark that folds to a letter (iota). It stays a mark
# here, so marks after it are still put in canonical order, and becomes iota after that.
YPOGEGRAMMENI, IOTA = 0x0345, 0x03B9
SYMBOLS = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_"


def read_unicode_data(folder):
    combining, decomposition = {}, {}
    with open(f"{folder}/UnicodeData.txt", encoding="utf-8") as data:
        for line in data:
            fields = line.split(";")
            code = int(fields[0], 16)
            if fields[3] != "0":
                combining[code] = int(fields[3])
            if fields[5] and not fields[5].startswith("<"):
                decomposition[code] = [int(x, 16) for x in fields[5].split()]
    return combining, decomposition


def read_nfkc_casefold(folder):
    mapping, version = {}, None
    with open(f"{folder}/DerivedNormalizationProps.txt", encoding="utf-8") as data:
        for line in data:
            if version is None:
                found = re.match(r"# DerivedNormalizationProps-([0-9.]+)\.txt", line)
                version = found.group(1) if found else None
            fields = [f.strip() for f in line.split("#")[0].split(";")]
            if len(fields) < 3 or fields[1] != "NFKC_CF":
                continue
            first, _, last = fields[0].partition("..")
            target = [int(x, 16) for x in fields[2].split()]
            for code in range(int(first, 16), int(last or first, 16) + 1):
                mapping[code] = target
    if version is None or not mapping:
        sys.exit("DerivedNormalizationProps.txt: no version line or no NFKC_CF mapping")
    return mapping, version


def decompose(codes, decomposition):
    out = []
    for code in codes:
        if HANGUL_FIRST <= code <= HANGUL_LAST:
            index = code - HANGUL_FIRST
            out += [0x1100 + index // 588, 0x1161 + index % 588 // 28]
            out += [0x11A7 + index % 28] if index % 28 else []
        elif code in decomposition:
            out += decompose(decomposition[code], decomposition)
        else:
            out.append(code)
    return out


def folded_mappings(casefold, decomposition):
    mappings = {}
    for code in range(0x110000):
        if 0xD800 <= code <= 0xDFFF or HANGUL_FIRST <= code <= HANGUL_LAST:
            if code in casefold:
                sys.exit(f"U+{code:04X} has a mapping the program does not look up")
            continue
        target = decompose(casefold.get(code, [code]), decomposition)
        if YPOGEGRAMMENI in decompose([code], decomposition):
            kept = []
            for part in decompose([code], decomposition):
                kept += [part] if part == YPOGEGRAMMENI else casefold.get(part, [part])
            kept = decompose(kept, decomposition)
            if [IOTA if part == YPOGEGRAMMENI else part for part in kept] != target:
                sys.exit(f"U+{code:04X}: keeping the ypogegrammeni a mark changes its folding")
            target = kept
        if target != [code]:
            mappings[code] = target
    # One pass must be enough: what a mapping gives is never mapped again.
    for code, target in mappings.items():
        for part in target:
            if part in mappings or HANGUL_FIRST <= part <= HANGUL_LAST:
                sys.exit(f"U+{code:04X} maps to U+{part:04X}, which maps on")
    return mappings


def mapping_runs(mappings):
    runs = []  # [first, last, step, first mapping, growth, members]
    for code in sorted(mappings):
        target = mappings[code]
        if runs:
            run = runs[-1]
            first, last, step, start, growth, members = run
            gap = code - last
            if len(target) == len(start):
                previous = [s + g * (members - 1) for s, g in zip(start, growth)]
                grows = [t - p for t, p in zip(target, previous)]
                if (members == 1 and gap <= 2) or (gap == step and grows == growth):
                    run[1], run[2], run[4], run[5] = code, gap, grows, members + 1
                    continue
        runs.append([code, code, 0, target, [0] * len(target), 1])
    return runs


def combining_runs(combining):
    runs = []  # [first, last, class]
    for code in sorted(combining):
        if runs and runs[-1][1] == code - 1 and runs[-1][2] == combining[code]:
            runs[-1][1] = code
        else:
            runs.append([code, code, combining[code]])
    return runs


def number(value):
    symbols = ""
    while True:
        low, value = value & 31, value >> 5
        symbols += SYMBOLS[low | (32 if value else 0)]
        if not value:
            return symbols


def signed(value):
    return number(value * 2 if value >= 0 else -value * 2 - 1)


def encode_mappings(runs):
    out, last = [], -1
    for first, end, step, start, growth, members in runs:
        out += [number(first - last), number(members - 1)]
        if members > 1:
            out.append(number(step))
        out.append(number(len(start)))
        before = first
        for part in start:
            out.append(signed(part - before))
            before = part
        if members > 1:
            out += [signed(g) for g in growth]
        last = end
    return "".join(out)


def encode_combining(runs):
    out, last = [], -1
    for first, end, value in runs:
        out += [number(first - last), number(end - first), number(value)]
        last = end
    return "".join(out)


def literal(name, text, width=100):
    lines = [f"constexpr std::string_view {name} ="]
    for at in range(0, len(text), width):
        lines.append(f'    "{text[at:at + width]}"')
    lines[-1] += ";"
    return "\n".join(lines)


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else "/usr/share/unicode"
    combining, decomposition = read_unicode_data(folder)
    casefold, version = read_nfkc_casefold(folder)
    runs = mapping_runs(folded_mappings(casefold, decomposition))
    marks = combining_runs(combining)
    print(f"// Made by tools/unicode/make-name-fold.py from Unicode {version}; do not edit.")
    print(f"// {len(runs)} mapping runs, {len(marks)} combining class runs; the script says how they are written.")
    print(f'constexpr std::string_view kUnicodeVersion = "{version}";')
    print(literal("kMappingRuns", encode_mappings(runs)))
    print(literal("kCombiningRuns", encode_combining(marks)))


main()

#!/usr/bin/env python3
"""Regenerates data/gbk-unicode.txt and data/gbk-strokes.txt from package data.

Sources (see data/README.md for versions and licences):
  - Python's own `gbk` and `gb18030` codecs;
  - /usr/share/fcitx5/pinyinhelper/py_stroke.mb  (Debian fcitx5-module-pinyinhelper)
  - /usr/share/rime-data/stroke.dict.yaml        (Debian rime-data-stroke)

Usage: tools/gbk_tables.py [OUTPUT_DIR]   (default: the data/ folder beside tools/)
       tools/gbk_tables.py --report        (also prints coverage figures)
"""

import os
import sys

PY_STROKE = "/usr/share/fcitx5/pinyinhelper/py_stroke.mb"
RIME_STROKE = "/usr/share/rime-data/stroke.dict.yaml"
UNIHAN_IRG_SOURCES = "/usr/share/unicode/Unihan_IRGSources.txt.bz2"  # only for --report

# Python's gbk codec has the two dashes the other way round from code page 936.
SWAPPED_DASHES = {(0xA1, 0xAA): 0x2015, (0xA8, 0x44): 0x2014}

# Codes the gbk codec leaves undefined which code page 936 gives Private Use
# code points.
def private_use_cells():
    cells = {(0xA8, 0xBC): 0xE7C7, (0xA8, 0xBF): 0xE7C8}
    for i, trail in enumerate(range(0x89, 0x96)):
        cells[(0xA9, trail)] = 0xE7E7 + i
    point = 0xE815
    for trail in range(0x50, 0xA1):
        if trail == 0x7F:
            continue
        cells[(0xFE, trail)] = point
        point += 1
    return cells

# The components at FE50..FEA0 that GB18030-2000 (Python's gb18030 codec)
# still leaves in the Private Use Area; GB18030-2005 gives them these
# ideographs (glibc's iconv agrees).
GB18030_2005_IDEOGRAPHS = {
    0xFE51: 0x20087, 0xFE52: 0x20089, 0xFE53: 0x200CC, 0xFE59: 0x9FB4,
    0xFE61: 0x9FB5, 0xFE66: 0x9FB6, 0xFE67: 0x9FB7, 0xFE6C: 0x215D7,
    0xFE6D: 0x9FB8, 0xFE76: 0x2298F, 0xFE7E: 0x9FB9, 0xFE90: 0x9FBA,
    0xFE91: 0x241FE, 0xFEA0: 0x9FBB,
}

# Components that no stroke source covers: each takes the strokes at
# [start, end) of a character that contains it in that form, as
# py_stroke.mb writes that character (listed in data/README.md).
DERIVED_COMPONENT_STROKES = {
    0xFE50: ("历", 0, 2),  # ⺁ from 历
    0xFE54: ("乙", 0, 1),  # ⺄ from 乙
    0xFE57: ("负", 0, 2),  # ⺈ from 负
    0xFE58: ("危", 4, 6),  # ⺋ from 危
    0xFE5D: ("尚", 0, 3),  # ⺌ from 尚
    0xFE5E: ("恭", 6, 10),  # ⺗ from 恭
    0xFE6B: ("告", 0, 4),  # ⺧ from 告
    0xFE6E: ("疏", 0, 5),  # ⺪ from 疏
    0xFE71: ("笔", 0, 6),  # ⺮ from 笔
    0xFE73: ("罗", 0, 5),  # ⺳ from 罗
    0xFE74: ("羚", 0, 6),  # ⺶ from 羚
    0xFE75: ("美", 0, 6),  # ⺷ from 美
    0xFE79: ("律", 3, 9),  # ⺻ from 律
    0xFE84: ("跑", 0, 7),  # ⻊ from 跑
}

# Hand-set sequences (listed in data/README.md).
HAND_SET_STROKES = {
    # 龘: three 龍 written with the mainland 17-stroke form of rime's
    # mainland section; py_stroke.mb counts 48.
    0xFD93: "41431251121515111" * 3,
}

RIME_DIGITS = str.maketrans("hspnz", "12345")


def gbk_codes():
    """Every GBK code (lead, trail) in GBK index order."""
    for lead in range(0x81, 0xFF):
        for trail in range(0x40, 0xFF):
            if trail != 0x7F:
                yield lead, trail


def is_user_defined(lead, trail):
    return ((0xAA <= lead <= 0xAF and trail >= 0xA1) or (lead >= 0xF8 and trail >= 0xA1)
            or (0xA1 <= lead <= 0xA7 and trail <= 0xA0))


def is_chinese(lead, trail):
    """The areas of GBK that hold Chinese characters (GBK/2, GBK/3, GBK/4)."""
    return ((0xB0 <= lead <= 0xF7 and trail >= 0xA1) or (0x81 <= lead <= 0xA0)
            or (lead >= 0xAA and trail <= 0xA0))


def unicode_table():
    table = {}
    for lead, trail in gbk_codes():
        try:
            table[(lead, trail)] = ord(bytes([lead, trail]).decode("gbk"))
        except UnicodeDecodeError:
            pass
    table.update(SWAPPED_DASHES)
    table.update(private_use_cells())
    return table


def real_code_point(lead, trail, table):
    """The character a GBK code stands for, with the components mapped to
    real code points through GB18030."""
    code = lead << 8 | trail
    if code in GB18030_2005_IDEOGRAPHS:
        return GB18030_2005_IDEOGRAPHS[code]
    point = table.get((lead, trail), 0)
    if 0xE000 <= point <= 0xF8FF:
        point = ord(bytes([lead, trail]).decode("gb18030"))
    return point


def read_py_stroke():
    strokes = {}
    with open(PY_STROKE, encoding="utf-8") as f:
        for line in f:
            digits, char = line.split()
            strokes[char] = digits
    return strokes


def read_rime_stroke():
    """Returns (mainland, taiwan): the first code of each character in the
    mainland section and in the CNS 11643 section."""
    mainland, taiwan = {}, {}
    section = None
    with open(RIME_STROKE, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if line == "...":
                section = taiwan
                continue
            if line.startswith("#The following entries"):
                section = mainland
                continue
            if section is None or not line or line.startswith("#"):
                continue
            fields = line.split("\t")
            if len(fields) < 2:
                continue
            section.setdefault(fields[0], fields[1].translate(RIME_DIGITS))
    return mainland, taiwan


def stroke_table(table, report):
    py_stroke = read_py_stroke()
    mainland, taiwan = read_rime_stroke()
    strokes = {}
    origin = {"py_stroke.mb": 0, "rime mainland": 0, "rime CNS 11643": 0,
              "derived": 0, "hand-set": 0}
    missing = []
    for lead, trail in gbk_codes():
        code = lead << 8 | trail
        if not (is_chinese(lead, trail) or code == 0xA996):
            continue
        point = real_code_point(lead, trail, table)
        if point == 0:
            continue  # D7FA..D7FE hold no character
        char = chr(point)
        if code in HAND_SET_STROKES:
            digits, source = HAND_SET_STROKES[code], "hand-set"
        elif char in py_stroke:
            digits, source = py_stroke[char], "py_stroke.mb"
        elif char in mainland:
            digits, source = mainland[char], "rime mainland"
        elif char in taiwan:
            digits, source = taiwan[char], "rime CNS 11643"
        elif code in DERIVED_COMPONENT_STROKES:
            whole, start, end = DERIVED_COMPONENT_STROKES[code]
            digits, source = py_stroke[whole][start:end], "derived"
        else:
            missing.append((code, point))
            continue
        strokes[(lead, trail)] = digits
        origin[source] += 1
    if report:
        report_stroke_counts(strokes, table)
        for source, count in origin.items():
            print(f"strokes from {source}: {count}", file=sys.stderr)
        for code, point in missing:
            print(f"no stroke data: {code:04X} U+{point:04X} {chr(point)}", file=sys.stderr)
    return strokes


def report_stroke_counts(strokes, table):
    """Compares the stroke counts with Unihan's kTotalStrokes (first value)."""
    import bz2
    total = {}
    with bz2.open(UNIHAN_IRG_SOURCES, "rt", encoding="utf-8") as f:
        for line in f:
            fields = line.rstrip("\n").split("\t")
            if len(fields) == 3 and fields[1] == "kTotalStrokes":
                total[chr(int(fields[0][2:], 16))] = int(fields[2].split()[0])
    known = agree = 0
    differ = []
    for (lead, trail), digits in sorted(strokes.items()):
        char = chr(real_code_point(lead, trail, table))
        if char in total:
            known += 1
            if total[char] == len(digits):
                agree += 1
            else:
                differ.append(f"{lead:02X}{trail:02X} {char} {len(digits)} vs {total[char]}")
    print(f"stroke counts equal to kTotalStrokes: {agree} of {known} "
          f"({100.0 * agree / known:.2f} %)", file=sys.stderr)
    for line in differ:
        print(f"stroke count differs: {line}", file=sys.stderr)


def write_lines(path, lines):
    with open(path, "w", encoding="ascii", newline="\n") as f:
        f.writelines(lines)


def main(argv):
    report = "--report" in argv
    args = [a for a in argv[1:] if a != "--report"]
    out_dir = args[0] if args else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data")
    table = unicode_table()
    strokes = stroke_table(table, report)
    write_lines(os.path.join(out_dir, "gbk-unicode.txt"),
                [f"{lead:02X}{trail:02X}\tU+{point:04X}\n"
                 for (lead, trail), point in sorted(table.items())])
    write_lines(os.path.join(out_dir, "gbk-strokes.txt"),
                [f"{lead:02X}{trail:02X}\t{digits}\n"
                 for (lead, trail), digits in sorted(strokes.items())])
    if report:
        print(f"unicode cells: {len(table)}; stroke entries: {len(strokes)}", file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

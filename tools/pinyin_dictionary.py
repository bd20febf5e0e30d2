#!/usr/bin/env python3
"""Regenerates data/GBK2py.inf, the pinyin dictionary, from package data.

Sources (see data/README.md for versions, licences and every rule):
  - Unihan kMandarin and kTGHZ2013 (/usr/share/unicode/Unihan_Readings.txt.bz2,
    Debian unicode-data);
  - the npm package pinyin-pro: its character dictionary (fallback) and its
    surname dictionary (surname readings, compound surnames);
  - the npm package pinyin: its one-character surname dictionary (surname
    readings, beside pinyin-pro's);
  - rime terra_pinyin (/usr/share/rime-data/terra_pinyin.dict.yaml, Debian
    rime-data-terra-pinyin) as the last fallback.

Usage: tools/pinyin_dictionary.py [--pinyin-pro DIR] [--pinyin DIR] [--report] [OUTPUT_FILE]
  The DIRs are the installed packages (default tools/node_modules/pinyin-pro and
  tools/node_modules/pinyin, or $PINYIN_PRO and $PINYIN); OUTPUT_FILE defaults
  to data/GBK2py.inf.
"""

import argparse
import bz2
import os
import subprocess
import sys
import unicodedata

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import gbk_tables  # noqa: E402

TOOLS = os.path.dirname(os.path.abspath(__file__))
UNIHAN_READINGS = "/usr/share/unicode/Unihan_Readings.txt.bz2"
TERRA_PINYIN = "/usr/share/rime-data/terra_pinyin.dict.yaml"
EQUIVALENT_IDEOGRAPHS = "/usr/share/unicode/EquivalentUnifiedIdeograph.txt"

# Surname readings that neither surname dictionary (pinyin-pro's, pinyin's)
# has; data/README.md gives the reason for each. Each must be a reading that
# Unihan gives the character from a published dictionary.
HAND_SET_SURNAMES = {
    "种": "chong2", "尉": "yu4", "长": "chang2",
    "秘": "bi4", "粘": "nian2", "祭": "zhai4", "角": "jue2", "蕃": "pi2",
    "藏": "zang4", "省": "xing3", "洗": "xian3", "适": "kuo4", "宓": "fu2",
}

# Hand-set readings that replace what a surname dictionary gives: both
# sources give 宓 its ordinary reading mi4, but 通用规范汉字字典 reads the
# surname fú (宓子贱), and a sort by it is what users of the surname ask for.
HAND_SET_OVER_SOURCES = {"宓"}

# The characters whose surname reading pinyin-pro and pinyin give differently,
# with the reading kept (data/README.md says why). The build stops on a
# disagreement that is not here, so that a new source version gets looked at.
SURNAME_DISAGREEMENTS = {"任": "ren2", "纪": "ji3", "訾": "zi1", "盖": "ge3", "隗": "wei3"}

# Compound surnames that pinyin-pro's list lacks, appended after it.
HAND_SET_COMPOUNDS = [("单于", "chan2", "yu2")]

TONE_MARKS = {"\u0304": "1", "\u0301": "2", "\u030C": "3", "\u0300": "4"}


def tone_digits(syllable):
    """zhāng -> zhang1, lǘ -> lv2, ḿ -> m2, ê̄ -> e1, ma -> ma5."""
    letters, tone = [], "5"
    for ch in unicodedata.normalize("NFD", syllable.strip().lower()):
        if ch in TONE_MARKS:
            tone = TONE_MARKS[ch]
        elif ch == "\u0308":  # the diaeresis of ü
            letters[-1] = "v"
        elif ch == "\u0302":  # ê is written e
            pass
        elif "a" <= ch <= "z":
            letters.append(ch)
        else:
            raise ValueError(f"unexpected letter {ch!r} in {syllable!r}")
    return "".join(letters) + tone


def toneless(reading):
    return reading.rstrip("12345")


def dictionary_readings(value):
    """The readings of a kTGHZ2013, kXHC1983 or kHanyuPinyin value
    ("019.040:bì 250.170:mì", "42601.070:mì,bì,bié"), in order."""
    readings = []
    for entry in value.split():
        for syllable in entry.split(":")[1].split(","):
            reading = tone_digits(syllable)
            if reading not in readings:
                readings.append(reading)
    return readings


def read_unihan():
    """Returns (kMandarin first readings, kTGHZ2013 readings, the readings of
    every published dictionary Unihan cites)."""
    mandarin, tghz, published = {}, {}, {}
    with bz2.open(UNIHAN_READINGS, "rt", encoding="utf-8") as f:
        for line in f:
            if line.startswith("#") or not line.strip():
                continue
            point, field, value = line.rstrip("\n").split("\t")
            char = chr(int(point[2:], 16))
            if field == "kMandarin":
                # The first value is the mainland reading.
                mandarin[char] = tone_digits(value.split()[0])
            elif field == "kTGHZ2013":
                tghz[char] = dictionary_readings(value)
            if field in ("kTGHZ2013", "kXHC1983", "kHanyuPinyin"):
                published.setdefault(char, set()).update(dictionary_readings(value))
    return mandarin, tghz, published


def read_pinyin_pro(package):
    """Returns (readings, surnames, compounds) of pinyin-pro."""
    script = os.path.join(TOOLS, "pinyin_pro_export.mjs")
    out = subprocess.run(["node", script, package], check=True, capture_output=True,
                         encoding="utf-8").stdout
    readings, surnames, compounds = {}, {}, []
    for line in out.splitlines():
        kind, word, value = line.split("\t")
        syllables = [tone_digits(s) for s in value.split()]
        if kind == "char":
            readings[word] = syllables[0]
        elif len(word) == 1:
            surnames[word] = syllables[0]
        else:
            compounds.append((word, syllables[0], syllables[1]))
    return readings, surnames, compounds


def read_pinyin_surnames(package):
    """Returns the one-character surname dictionary of the npm package pinyin."""
    script = os.path.join(TOOLS, "pinyin_surnames_export.mjs")
    out = subprocess.run(["node", script, package], check=True, capture_output=True,
                         encoding="utf-8").stdout
    surnames = {}
    for line in out.splitlines():
        _, name, reading = line.split("\t")
        surnames[name] = tone_digits(reading)
    return surnames


def surname_readings(pro_surnames, pinyin_surnames, published):
    """The one-character surname readings: pinyin-pro's and pinyin's where
    they agree or only one has the character, SURNAME_DISAGREEMENTS where
    they differ, then HAND_SET_SURNAMES. Returns (readings, the disagreements
    as (character, pinyin-pro's, pinyin's, kept))."""
    surnames = dict(pro_surnames)
    disagreements, problems = [], []
    for char, reading in pinyin_surnames.items():
        if char not in pro_surnames or pro_surnames[char] == reading:
            surnames[char] = reading
            continue
        kept = SURNAME_DISAGREEMENTS.get(char)
        if kept not in (pro_surnames[char], reading):
            problems.append(f"{char}: pinyin-pro reads {pro_surnames[char]}, pinyin {reading}, "
                            f"and SURNAME_DISAGREEMENTS keeps {kept}")
            continue
        surnames[char] = kept
        disagreements.append((char, pro_surnames[char], reading, kept))
    for char in SURNAME_DISAGREEMENTS:
        if pro_surnames.get(char, pinyin_surnames.get(char)) == pinyin_surnames.get(char, pro_surnames.get(char)):
            problems.append(f"{char}: in SURNAME_DISAGREEMENTS, but the sources do not disagree")
    for char, reading in HAND_SET_SURNAMES.items():
        in_sources = char in pro_surnames or char in pinyin_surnames
        if in_sources != (char in HAND_SET_OVER_SOURCES):
            problems.append(f"{char}: hand-set {reading}; a surname dictionary has it "
                            "unless HAND_SET_OVER_SOURCES lists it, and has it if it does")
        if reading not in published.get(char, ()):
            problems.append(f"{char}: hand-set {reading} is not among its dictionary readings "
                            f"{sorted(published.get(char, ()))}")
        surnames[char] = reading
    if problems:
        raise SystemExit("surname readings:\n  " + "\n  ".join(problems))
    return surnames, disagreements


def read_terra_pinyin():
    """The reading of each character with the largest weight (the first
    one when none is weighted)."""
    best = {}
    in_body = False
    with open(TERRA_PINYIN, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if line == "...":
                in_body = True
                continue
            if not in_body or not line or line.startswith("#"):
                continue
            fields = line.split("\t")
            if len(fields[0]) != 1 or len(fields) < 2:
                continue
            weight = float(fields[2].rstrip("%")) if len(fields) > 2 and fields[2] else -1.0
            if fields[0] not in best or weight > best[fields[0]][1]:
                best[fields[0]] = (fields[1], weight)
    return {char: reading for char, (reading, _) in best.items()}


def read_equivalent_ideographs():
    """Radicals and components -> the unified ideograph they stand for."""
    equivalents = {}
    with open(EQUIVALENT_IDEOGRAPHS, encoding="utf-8") as f:
        for line in f:
            line = line.split("#")[0].strip()
            if not line:
                continue
            points, ideograph = (field.strip() for field in line.split(";"))
            first, _, last = points.partition("..")
            for point in range(int(first, 16), int(last or first, 16) + 1):
                equivalents[chr(point)] = chr(int(ideograph, 16))
    return equivalents


# Radicals that EquivalentUnifiedIdeograph.txt maps to ideographs no source
# reads: they take the character that Unicode's NamesList cross-refers them to.
HAND_SET_EQUIVALENTS = {"\u2EAA": "\u758B", "\u2EAE": "\u7AF9", "\u2ECA": "\u8DB3"}  # ⺪ 疋, ⺮ 竹, ⻊ 足


def equivalent_ideograph(char, equivalents):
    """The unified ideograph a compatibility ideograph or a radical stands
    for, or None."""
    if char in HAND_SET_EQUIVALENTS:
        return HAND_SET_EQUIVALENTS[char]
    canonical = unicodedata.normalize("NFC", char)
    if canonical != char:
        return canonical
    return equivalents.get(char)


def ordinary_reading(char, mandarin, tghz, pinyin_pro, terra, equivalents):
    """Returns (reading, rule)."""
    reading, rule = direct_reading(char, mandarin, tghz, pinyin_pro, terra)
    if reading:
        return reading, rule
    equivalent = equivalent_ideograph(char, equivalents)
    if equivalent:
        reading, rule = direct_reading(equivalent, mandarin, tghz, pinyin_pro, terra)
        return reading, f"equivalent ideograph, then {rule}"
    return "", "none"


def direct_reading(char, mandarin, tghz, pinyin_pro, terra):
    if char in mandarin:
        reading = mandarin[char]
        standard = tghz.get(char)
        if not standard or reading in standard:
            return reading, "kMandarin"
        # kMandarin disagrees with the 2013 standard: take the standard
        # reading of the same syllable, else its first one.
        same = [r for r in standard if toneless(r) == toneless(reading)]
        return (same or standard)[0], "kTGHZ2013"
    if char in pinyin_pro:
        return pinyin_pro[char], "pinyin-pro"
    if char in terra:
        return terra[char], "terra_pinyin"
    return "", "none"


def build(package, pinyin_package, report):
    table = gbk_tables.unicode_table()
    mandarin, tghz, published = read_unihan()
    pinyin_pro, pro_surnames, pro_compounds = read_pinyin_pro(package)
    pinyin_surnames = read_pinyin_surnames(pinyin_package)
    terra = read_terra_pinyin()
    equivalents = read_equivalent_ideographs()
    surnames, disagreements = surname_readings(pro_surnames, pinyin_surnames, published)
    compounds = pro_compounds + HAND_SET_COMPOUNDS

    lines = []
    rules = {}
    stats = {"with reading": 0, "kMandarin known": 0, "kMandarin agrees": 0,
             "surname differs": 0}
    unread = []
    derived = []
    differing = []
    for lead, trail in gbk_tables.gbk_codes():
        code = bytes([lead, trail])
        point = gbk_tables.real_code_point(lead, trail, table)
        char = chr(point) if point else ""
        chinese = gbk_tables.is_chinese(lead, trail) or code == b"\xa9\x96"
        reading, rule = ordinary_reading(char, mandarin, tghz, pinyin_pro, terra, equivalents) if char else ("", "none")
        if not reading:
            if chinese and point:
                unread.append(f"{lead:02X}{trail:02X} U+{point:04X} {char}")
            lines.append(code + b"\n")
            continue
        surname = surnames.get(char, reading)
        rules[rule] = rules.get(rule, 0) + 1
        if rule.startswith("equivalent"):
            derived.append(f"{lead:02X}{trail:02X} U+{point:04X} {char} -> "
                           f"U+{ord(equivalent_ideograph(char, equivalents)):04X} {reading}")
        stats["with reading"] += 1
        if char in mandarin:
            stats["kMandarin known"] += 1
            stats["kMandarin agrees"] += toneless(reading) == toneless(mandarin[char])
        if surname != reading:
            stats["surname differs"] += 1
            differing.append(f"{char} {reading} {surname}")
        lines.append(code + f" {reading} {surname}\n".encode("ascii"))

    header = [
        "% GBK2py.inf: pinyin readings of every GBK code, for sorting Chinese names.",
        "% Generated by tools/pinyin_dictionary.py; data/README.md names the sources.",
        "% Character lines: the GBK code, the ordinary reading, the surname reading.",
        "% Readings are written with tone digits (5 for the neutral tone, v for u-umlaut).",
        "",
        f"[特殊复姓={len(compounds)}]",
    ]
    out = [l.encode("gbk") + b"\n" for l in header]
    for word, first, second in compounds:
        out.append(word.encode("gbk") + f" {first} {second}\n".encode("ascii"))
    out.append(b"\n" + "[GBK单字=]".encode("gbk") + b"\n")
    out.extend(lines)

    if report:
        for rule, count in sorted(rules.items()):
            print(f"ordinary readings by {rule}: {count}", file=sys.stderr)
        for name, value in stats.items():
            print(f"{name}: {value}", file=sys.stderr)
        if stats["kMandarin known"]:
            share = 100.0 * stats["kMandarin agrees"] / stats["kMandarin known"]
            print(f"agreement with kMandarin (tone-insensitive): {share:.2f} %", file=sys.stderr)
        print(f"compound surnames: {len(compounds)}", file=sys.stderr)
        print("surname reading differs (ordinary, surname): " + ", ".join(differing), file=sys.stderr)
        for char, pro, other, kept in disagreements:
            print(f"surname dictionaries disagree: {char} pinyin-pro {pro}, pinyin {other}, kept {kept}",
                  file=sys.stderr)
        for line in derived:
            print(f"reading of the equivalent ideograph: {line}", file=sys.stderr)
        for line in unread:
            print(f"no reading: {line}", file=sys.stderr)
    return b"".join(out)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--pinyin-pro", default=os.environ.get(
        "PINYIN_PRO", os.path.join(TOOLS, "node_modules", "pinyin-pro")))
    parser.add_argument("--pinyin", default=os.environ.get(
        "PINYIN", os.path.join(TOOLS, "node_modules", "pinyin")))
    parser.add_argument("--report", action="store_true")
    parser.add_argument("output", nargs="?", default=os.path.join(TOOLS, "..", "data", "GBK2py.inf"))
    args = parser.parse_args()
    data = build(args.pinyin_pro, args.pinyin, args.report)
    with open(args.output, "wb") as f:
        f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())

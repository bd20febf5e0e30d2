#!/usr/bin/env python3
"""Compares two GBK2py.inf files line by line: the character lines by GBK
code, the ordinary and the surname reading apart, and the compound surnames.

Usage: tools/compare_dictionaries.py OLD NEW
  e.g. git show HEAD:data/GBK2py.inf > /tmp/old.inf
       tools/compare_dictionaries.py /tmp/old.inf data/GBK2py.inf
Prints every change and exits 1 when an ordinary reading (the first reading
of a character line) differs or a code is missing from either file, else 0.
"""

import sys

CHARACTER_HEADER = "[GBK单字=".encode("gbk")
COMPOUND_HEADER = "[特殊复姓=".encode("gbk")


def read(path):
    """Returns ({code: [readings]}, {compound: [readings]})."""
    characters, compounds, section = {}, {}, None
    with open(path, "rb") as f:
        for line in f.read().split(b"\n"):
            if not line or line[:1] in (b"%", b"\r"):
                continue
            if line.startswith(CHARACTER_HEADER):
                section = characters
            elif line.startswith(COMPOUND_HEADER):
                section = compounds
            elif section is characters:
                characters[line[:2]] = line[2:].split()
            elif section is compounds:
                word, *readings = line.split()
                compounds[word] = readings
    return characters, compounds


def show(code):
    return f"{code.hex().upper()} {code.decode('gbk', 'replace')}"


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    old_chars, old_compounds = read(sys.argv[1])
    new_chars, new_compounds = read(sys.argv[2])
    bad = 0
    for code in sorted(old_chars.keys() | new_chars.keys()):
        if code not in old_chars or code not in new_chars:
            print(f"{show(code)}: only in {'NEW' if code not in old_chars else 'OLD'}")
            bad += 1
            continue
        old, new = old_chars[code] + [b""] * 2, new_chars[code] + [b""] * 2
        if old[0] != new[0]:
            print(f"{show(code)}: ordinary reading {old[0].decode()} -> {new[0].decode()}")
            bad += 1
        if old[1] != new[1]:
            print(f"{show(code)}: surname reading {old[1].decode()} -> {new[1].decode()}")
    for word in sorted(old_compounds.keys() | new_compounds.keys()):
        if old_compounds.get(word) != new_compounds.get(word):
            print(f"compound {word.decode('gbk', 'replace')}: {old_compounds.get(word)} -> {new_compounds.get(word)}")
    print(f"{len(old_chars)} and {len(new_chars)} character lines; "
          f"ordinary readings changed or codes missing: {bad}")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())

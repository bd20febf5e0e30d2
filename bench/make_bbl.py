#!/usr/bin/env python3
"""Writes a realistic GBK .bbl of about the given size (MB) to the given path.

Mixes Chinese entries (GBK labels, author lists joined by "and" and
"et al.", Chinese titles, InProceedings second blocks with editors, pages
and editions) with English ones, as BibTeX's author-year styles write them.
"""
import random
import sys


def gbk_char(rng):
    # GB2312 level-1 hanzi: lead B0..D7, trail A1..FE.
    return bytes((rng.randint(0xB0, 0xD7), rng.randint(0xA1, 0xFE)))


def gbk_text(rng, low, high):
    return b"".join(gbk_char(rng) for _ in range(rng.randint(low, high)))


def english_word(rng):
    return "".join(rng.choice("abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(3, 9))).encode()


def chinese_entry(rng, n):
    names = [gbk_text(rng, 2, 3) for _ in range(rng.randint(1, 4))]
    year = str(rng.randint(1980, 2024)).encode()
    label_names = names[0] + (b" and " + names[1] if len(names) == 2 else b" et al." if len(names) > 2 else b"")
    authors = b", ".join(names[:-1]) + (b", and " if len(names) > 2 else b" and ") + names[-1] if len(names) > 1 else names[0]
    lines = [
        b"\\bibitem[" + label_names + b"(" + year + b")]{zh" + str(n).encode() + b"}",
        authors + b".",
        b"\\newblock " + gbk_text(rng, 8, 30) + b".",
    ]
    if rng.random() < 0.5:
        lines.append(b"\\newblock In " + gbk_text(rng, 2, 3) + b", editor, {\\em " + gbk_text(rng, 6, 14) +
                     b"}, pages " + str(rng.randint(1, 500)).encode() + b"--" +
                     str(rng.randint(501, 900)).encode() + b", " + year + b".")
    else:
        lines.append(b"\\newblock " + gbk_text(rng, 4, 10) + b", " + gbk_text(rng, 2, 4) + b", 2nd edition, " + year + b".")
    return lines


def english_entry(rng, n):
    names = [english_word(rng).capitalize() + b" " + english_word(rng).capitalize()
             for _ in range(rng.randint(1, 4))]
    year = str(rng.randint(1980, 2024)).encode()
    title = b" ".join(english_word(rng) for _ in range(rng.randint(5, 12))).capitalize()
    return [
        b"\\bibitem[" + names[0].split()[1] + (b" et~al." if len(names) > 1 else b"") + b"(" + year + b")]{en" +
        str(n).encode() + b"}",
        b", ".join(names) + b".",
        b"\\newblock " + title + b".",
        b"\\newblock In {\\em Proceedings of " + english_word(rng).capitalize() + b"}, pages " +
        str(rng.randint(1, 500)).encode() + b"--" + str(rng.randint(501, 900)).encode() + b", " + year + b".",
    ]


def main():
    path, megabytes = sys.argv[1], float(sys.argv[2])
    rng = random.Random(2024)
    target = int(megabytes * 1024 * 1024)
    parts = [b"\\begin{thebibliography}{99}\n\n"]
    size = len(parts[0])
    n = 0
    while size < target:
        entry = chinese_entry(rng, n) if rng.random() < 0.6 else english_entry(rng, n)
        text = b"\n  ".join(entry) + b"\n\n"
        parts.append(text)
        size += len(text)
        n += 1
    parts.append(b"\\end{thebibliography}\n")
    with open(path, "wb") as f:
        f.write(b"".join(parts))


if __name__ == "__main__":
    main()

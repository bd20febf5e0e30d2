#!/usr/bin/env python3
"""End-to-end cases for UTF-8 documents: XeLaTeX/LuaLaTeX + ctex or xeCJK +
BibTeX through `tolvar -utf8`.

Usage: run_utf8_case.py TOLVAR CASE
       run_utf8_case.py --list

Each case works in a fresh temporary folder: the engine, bibtex, tolvar with
the case's options, the engine twice and pdftotext, then checks the LaTeX
log and the text of the PDF. Exit code 0: passed, 1: failed, 77: a tool or
package is missing.
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from run_case import SKIP, Failure, check_log, keep_failed_case, locate_entries  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
MARKER = b"%& This .bbl file has been processed by tolvar!\n"
BIBSTART = "ZZBIBSTARTZZ"

# Author and title of each entry of utf8.bib as the PDF shows them, lower
# case (gbt7714 writes English surnames in capitals), and whether the entry
# is Chinese. 𠮷 has no glyph in the Fandol fonts, so its entry is found by
# the rest of the name.
ENTRIES = {
    "an1990": ("安然", "安然文集", True),
    "ou2000": ("区家麟", "粤语研究", True),
    "shan2005": ("单田芳", "评书艺术", True),
    "zeng1876": ("曾国藩", "家书选编", True),
    "knuth1986": ("knuth", "texbook", False),
    "lamport1994": ("lamport", "bibliographies", False),
    "ji2010": ("新民", "说文新证", True),
}
CITED = ["lamport1994", "zeng1876", "an1990", "knuth1986", "shan2005", "ou2000"]
PINYIN = ["an1990", "ou2000", "shan2005", "zeng1876"]
ENGLISH = ["knuth1986", "lamport1994"]


def document(cls, style, natbib, keys):
    if natbib:
        cites = [(r"\citet{%s}" if i % 2 else r"\citep{%s}") % k for i, k in enumerate(keys)]
    else:
        cites = [r"\cite{%s}" % k for k in keys]
    if cls == "ctex":
        head = [r"\documentclass[UTF8]{ctexart}"]
    else:
        head = [r"\documentclass{article}", r"\usepackage{xeCJK}",
                r"\setCJKmainfont{FandolSong-Regular.otf}"]
    if style.startswith("gbt7714"):
        head.append(r"\usepackage{gbt7714}")
    elif natbib:
        head.append(r"\usepackage[round]{natbib}")
    lines = head + [
        r"\begin{document}",
        "引用测试：" + "，".join(cites) + "。",
        r"\par\noindent " + BIBSTART,
        r"\bibliographystyle{%s}" % style,
        r"\bibliography{utf8}",
        r"\end{document}",
        "",
    ]
    return "\n".join(lines).encode("utf-8")


class Case:
    def __init__(self, tolvar, folder, engine, cls, style, options, keys=CITED):
        self.tolvar = tolvar
        self.dir = folder
        self.engine = engine
        self.options = ["-utf8"] + list(options)
        self.natbib = style in ("plainnat", "unsrtnat", "abbrvnat") or style.startswith("gbt7714")
        shutil.copy(os.path.join(HERE, "utf8.bib"), folder)
        with open(os.path.join(folder, "doc.tex"), "wb") as f:
            f.write(document(cls, style, self.natbib, keys))

    def run(self, *argv, check=True):
        p = subprocess.run(list(argv), cwd=self.dir, capture_output=True,
                           stdin=subprocess.DEVNULL, timeout=240)
        if check and p.returncode != 0:
            raise Failure("%s exited with %d:\n%s%s" % (
                " ".join(argv), p.returncode, p.stdout.decode("utf-8", "replace")[-3000:],
                p.stderr.decode("utf-8", "replace")[-3000:]))
        return p

    def read(self, name):
        with open(os.path.join(self.dir, name), "rb") as f:
            return f.read()

    def latex(self):
        # LaTeX errors are judged from the log, so its exit code is not.
        self.run(self.engine, "-interaction=nonstopmode", "doc", check=False)

    def build(self):
        """engine, bibtex, tolvar, engine twice, pdftotext: (log, text)."""
        self.latex()
        self.run("bibtex", "doc")
        shutil.copy(os.path.join(self.dir, "doc.bbl"), os.path.join(self.dir, "bibtex.bbl"))
        p = self.run(self.tolvar, *self.options, "doc")
        if p.stderr:
            raise Failure("tolvar printed on standard error:\n" + p.stderr.decode("utf-8", "replace"))
        if not self.read("doc.bbl").startswith(MARKER):
            raise Failure("tolvar did not process the .bbl")
        self.latex()
        self.latex()
        self.run("pdftotext", "-enc", "UTF-8", "doc.pdf", "doc.txt")
        return self.read("doc.log").decode("utf-8", "replace"), self.read("doc.txt").decode("utf-8")


# ---------------------------------------------------------------- checks

def split_text(text):
    """(body, bibliography) of the PDF text, blanks and line ends removed."""
    at = text.rfind(BIBSTART)
    if at < 0:
        raise Failure("no bibliography in the PDF text:\n" + text)
    return re.sub(r"\s+", "", text[:at]), re.sub(r"\s+", "", text[at + len(BIBSTART):])


def entries(refs, keys):
    """Each key's entry text and the keys in the order of the PDF."""
    return locate_entries(refs, keys, ENTRIES, fold=True)


def expect_order(order, expected):
    if order != expected:
        raise Failure("order in the PDF %s, expected %s" % (order, expected))


def expect_in(needles, haystack, what):
    for needle in needles:
        if needle not in haystack:
            raise Failure("%r missing in %s: %r" % (needle, what, haystack))


def no_english_in_chinese(texts):
    for key, entry in texts.items():
        if ENTRIES[key][2]:
            for english in ("and", "etal", "edition", "In", "pages", "editor"):
                if english in entry:
                    raise Failure("%s: English %r left in %r" % (key, english, entry))


# ---------------------------------------------------------------- cases

def gbt7714_author_year(engine, cls, options, expected):
    def case(tolvar, folder):
        c = Case(tolvar, folder, engine, cls, "gbt7714-author-year", options)
        log, text = c.build()
        check_log(log)
        body, refs = split_text(text)
        texts, order = entries(refs, CITED)
        expect_order(order, expected)
        # The style writes its own Chinese words; nothing of it is broken.
        expect_in(["区家麟,张三,2000", "曾国藩,李鸿章,左宗棠,等,1876", "2版"], refs,
                  "the bibliography")
        expect_in(["曾国藩等(1876)", "区家麟等(2000)", "Lamportetal.,1994"], body, "the citations")
        no_english_in_chinese(texts)
    return case


def gbt7714_numerical(tolvar, folder):
    c = Case(tolvar, folder, "xelatex", "xecjk", "gbt7714-numerical", [])
    log, text = c.build()
    check_log(log)
    body, refs = split_text(text)
    texts, order = entries(refs, CITED)
    expect_order(order, CITED)
    for number, key in enumerate(CITED, 1):
        if not refs.startswith("[%d]" % number, refs.find(texts[key]) - len("[%d]" % number)):
            raise Failure("%s is not numbered [%d]: %r" % (key, number, refs))
    expect_in(["[1]", "[6]"], body, "the citations")
    no_english_in_chinese(texts)


def western_style(engine, cls, style, options, expected_order):
    """plainnat and unsrt write English words; the Chinese entries get
    Chinese ones, the English entries keep theirs."""
    def case(tolvar, folder):
        c = Case(tolvar, folder, engine, cls, style, options)
        log, text = c.build()
        check_log(log)
        body, refs = split_text(text)
        texts, order = entries(refs, CITED)
        expected_order(order)
        expect_in(["区家麟,张三", "发表于", "页码"], texts["ou2000"], "ou2000")
        expect_in(["左宗棠等"], texts["zeng1876"], "zeng1876")
        expect_in(["2版"], texts["an1990"], "an1990")
        no_english_in_chinese(texts)
        expect_in(["LamportandFrankMittelbach", "editors", "pages11"],
                  texts["lamport1994"], "lamport1994")
        expect_in(["edition"], texts["knuth1986"], "knuth1986")
        if c.natbib:
            expect_in(["区家麟,张三(2000)", "曾国藩等(1876)", "LamportandMittelbach,1994"], body,
                      "the citations")
            if "etal" in body:
                raise Failure("English et al. in a Chinese citation: %r" % body)
        # A bibliography that was wrong in the first place would pass the
        # checks above too: make sure BibTeX wrote the English words.
        bibtex_bbl = c.read("bibtex.bbl").decode("utf-8")
        expect_in(["区家麟 and 张三", "et~al."], bibtex_bbl, "the .bbl BibTeX wrote")
    return case


def sorted_order(order):
    expect_order(order, PINYIN + ENGLISH)


def citation_order(order):
    expect_order(order, CITED)


def outside_gbk(tolvar, folder):
    """𠮷 (U+20BB7) has no GBK code: copied as it is, and its entry ranks
    after the other Chinese ones."""
    keys = CITED + ["ji2010"]
    c = Case(tolvar, folder, "xelatex", "ctex", "gbt7714-author-year", ["-sort=py"], keys)
    log, text = c.build()
    check_log(log)
    _, refs = split_text(text)
    _, order = entries(refs, keys)
    expect_order(order, PINYIN + ["ji2010"] + ENGLISH)
    bbl = c.read("doc.bbl").decode("utf-8")
    expect_in(["𠮷新民"], bbl, "the .bbl")
    if "𠮷" in text:
        return
    fonts = subprocess.run(["fc-list", ":charset=20bb7"], capture_output=True).stdout
    if fonts.strip() and "Missing character" not in log:
        raise Failure("𠮷 missing from the PDF text")


def gbk_run_advises(tolvar, folder):
    """A run without -utf8 on the UTF-8 .bbl says so, and converts as a GBK
    run always does."""
    c = Case(tolvar, folder, "xelatex", "ctex", "plainnat", [])
    c.latex()
    c.run("bibtex", "doc")
    p = c.run(tolvar, "-npe", "doc")
    want = b"tolvar: doc.bbl looks like UTF-8; use -utf8 for XeLaTeX/LuaLaTeX documents\n"
    if p.stderr != want:
        raise Failure("standard error %r, expected %r" % (p.stderr, want))


CASES = {
    "utf8-ctex-gbt7714-author-year":
        gbt7714_author_year("xelatex", "ctex", ["-sort=py"], PINYIN + ENGLISH),
    "utf8-xecjk-gbt7714-numerical": gbt7714_numerical,
    "utf8-ctex-plainnat": western_style("xelatex", "ctex", "plainnat", ["-sort=py"], sorted_order),
    "utf8-xecjk-unsrt": western_style("xelatex", "xecjk", "unsrt", [], citation_order),
    "utf8-english-first":
        gbt7714_author_year("xelatex", "ctex", ["-sort=py", "-english-first"], ENGLISH + PINYIN),
    "utf8-lualatex-plainnat":
        western_style("lualatex", "ctex", "plainnat", ["-sort=py"], sorted_order),
    "utf8-outside-gbk": outside_gbk,
    "utf8-gbk-run-advises": gbk_run_advises,
}

TOOLS = ("xelatex", "lualatex", "bibtex", "pdftotext", "kpsewhich")
PACKAGES = ("ctexart.cls", "xeCJK.sty", "gbt7714.sty", "gbt7714-author-year.bst", "natbib.sty",
            "FandolSong-Regular.otf")


def main(argv):
    if len(argv) == 2 and argv[1] == "--list":
        print("\n".join(CASES))
        return 0
    if len(argv) != 3 or argv[2] not in CASES:
        print(__doc__, file=sys.stderr)
        return 2
    tolvar, name = os.path.abspath(argv[1]), argv[2]
    missing = [t for t in TOOLS if shutil.which(t) is None]
    if not missing:
        missing = [f for f in PACKAGES
                   if subprocess.run(["kpsewhich", f], capture_output=True).returncode != 0]
    if missing:
        print("skipped: missing %s" % ", ".join(missing))
        return SKIP
    with tempfile.TemporaryDirectory(prefix="tolvar-utf8-") as folder:
        try:
            CASES[name](tolvar, folder)
        except Failure as e:
            print("FAILED %s: %s" % (name, e))
            keep_failed_case(folder, name)
            return 1
    print("passed %s" % name)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

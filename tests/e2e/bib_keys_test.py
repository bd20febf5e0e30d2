#!/usr/bin/env python3
"""The .bib sort keys of `tolvar -keys` through the real backends.

Usage: bib_keys_test.py TOLVAR CASE [README]
       bib_keys_test.py --list

Each case keys a copy of keys.bib with `tolvar -utf8 -keys` after the first
XeLaTeX run and builds a ctex document that cites every entry, with biber or
bibtex. The order of the bibliography in the PDF must be the order that
`tolvar -utf8 -sort=py` gives the same entries on the BibTeX path (plainnat,
bibtex and tolvar on the unkeyed .bib, built beside it), and that order must
read the surnames as surnames. No Chinese entry may be left without a key
in the backend's log. The latexmk cases take the recipe from README: one
more backend run than latexmk makes without tolvar at most, and a second
latexmk that finds nothing to do and leaves the .bib alone.
Exit code 0: passed, 1: failed, 77: a tool or TeX package is missing.
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from run_case import SKIP, Failure, check_log, keep_failed_case  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
BASE = "paper"
BIBSTART = "ZZBIBSTARTZZ"

# keys.bib in pinyin order with surname readings: each entry's key and the
# title the PDF shows (blanks removed, lower case). The 张 and the 章
# entries form two groups, in either order; within each, the given names
# decide. 曾国藩's two works follow the year.
PINYIN = [
    ("an1990", "安然文集"),          # an1
    ("ge1962", "粉墨春秋"),          # 盖 ge3
    ("tongji2020", "中国统计年鉴"),  # 国家统计局 guo2
    ("li2015", "跨语言检索"),        # li3
    ("miao1910", "艺风堂文集"),      # 缪 miao4
    ("moqi1120", "大声集"),          # 万俟 mo4 qi2
    ("ou2000", "粤语研究"),          # 区 ou1
    ("piao1780", "热河日记"),        # 朴 piao2
    ("qiu1550", "仇英画集"),         # 仇 qiu2
    ("shan2005", "评书艺术"),        # 单 shan4
    ("xie1408", "永乐大典序"),       # 解 xie4
    ("yuchi0640", "兵法心得"),       # 尉迟 yu4 chi2
    ("zeng1876", "家书选编"),        # 曾 zeng1
    ("zeng1880", "求阙斋日记"),
    ("zha1957", "射雕英雄传"),       # 查 zha1
    ("ZHANG", None),                 # 张 and 章, zhang1
    ("zhangsun0653", "唐律疏议"),    # 长孙 zhang3 sun1
    ("kexue2019", "科学发展报告"),   # 中国科学院 zhong1
]
ZHANG_GROUPS = [[("zhang2008", "汉语分词"), ("zhang1922", "冲积期化石")],          # 张 san, zi
                [("zhangty1910", "国故论衡"), ("zhangxc1800", "文史通义")]]       # 章 tai, xue
ENGLISH = [("knuth1986", "texbook"), ("lamport1994", "documentpreparationsystem")]
TITLES = dict([e for e in PINYIN if e[1]] + ZHANG_GROUPS[0] + ZHANG_GROUPS[1] + ENGLISH)
CHINESE = [k for k in TITLES if k not in dict(ENGLISH)]


def expected_orders():
    """The two pinyin orders that read every surname right (张 before 章 or
    after), Chinese entries first, then the English ones."""
    out = []
    for groups in (ZHANG_GROUPS, ZHANG_GROUPS[::-1]):
        keys = []
        for key, _ in PINYIN:
            keys += [k for g in groups for k, _ in g] if key == "ZHANG" else [key]
        out.append(keys + [k for k, _ in ENGLISH])
    return out


class Doc:
    """A ctex document citing every entry of keys.bib, in a folder of its own."""

    def __init__(self, tolvar, folder, preamble, bibliography):
        self.tolvar = tolvar
        self.dir = folder
        os.makedirs(folder)
        shutil.copy(os.path.join(HERE, "keys.bib"), folder)
        cites = "".join(r"\cite{%s}" % k for k in TITLES)
        lines = [r"\documentclass[UTF8]{ctexart}", preamble, r"\begin{document}",
                 "引用：" + cites + "。", r"\par\noindent " + BIBSTART, bibliography,
                 r"\end{document}", ""]
        with open(os.path.join(folder, BASE + ".tex"), "w", encoding="utf-8") as f:
            f.write("\n".join(lines))
        self.env = dict(os.environ)
        self.env["PATH"] = os.path.dirname(tolvar) + os.pathsep + self.env.get("PATH", "")

    def run(self, *argv, check=True):
        p = subprocess.run(list(argv), cwd=self.dir, env=self.env, capture_output=True,
                           stdin=subprocess.DEVNULL, timeout=300)
        if check and p.returncode != 0:
            raise Failure("%s exited with %d:\n%s%s" % (
                " ".join(argv), p.returncode, p.stdout.decode("utf-8", "replace")[-3000:],
                p.stderr.decode("utf-8", "replace")[-3000:]))
        return p

    def read(self, name):
        with open(os.path.join(self.dir, name), "rb") as f:
            return f.read()

    def xelatex(self):
        self.run("xelatex", "-interaction=nonstopmode", BASE, check=False)

    def keys(self, *options):
        p = self.run(self.tolvar, "-utf8", "-keys", *options, BASE)
        if p.stderr:
            print("tolvar -keys said on standard error:\n" + p.stderr.decode("utf-8", "replace"))

    def finish(self):
        self.xelatex()
        self.xelatex()
        check_log(self.read(BASE + ".log").decode("utf-8", "replace"))

    def pdf_order(self):
        """The keys in the order of the bibliography in the PDF, found by
        their titles."""
        self.run("pdftotext", "-enc", "UTF-8", BASE + ".pdf", BASE + ".txt")
        text = self.read(BASE + ".txt").decode("utf-8")
        at = text.rfind(BIBSTART)
        if at < 0:
            raise Failure("no bibliography in the PDF text:\n" + text)
        refs = re.sub(r"\s+", "", text[at + len(BIBSTART):]).lower()
        places = []
        for key, title in TITLES.items():
            if refs.count(title) != 1:
                raise Failure("title of %s found %d times in the PDF:\n%s"
                              % (key, refs.count(title), refs))
            places.append((refs.index(title), key))
        return [k for _, k in sorted(places)]

    def field_count(self, field):
        bib = self.read("keys.bib").decode("utf-8")
        return len(re.findall(r"^\s*%s\s*=" % re.escape(field), bib, re.M | re.I))


def reference_order(tolvar, folder):
    """What tolvar -utf8 -sort=py makes of the unkeyed entries on the BibTeX
    path: the \\bibitem keys of the sorted .bbl, in order."""
    d = Doc(tolvar, os.path.join(folder, "reference"), r"\usepackage[round]{natbib}",
            r"\bibliographystyle{plainnat}" "\n" r"\bibliography{keys}")
    d.xelatex()
    d.run("bibtex", BASE)
    d.run(tolvar, "-s", "-utf8", "-sort=py", BASE)
    bbl = d.read(BASE + ".bbl").decode("utf-8")
    order = re.findall(r"\\bibitem(?:\[.*?\])?\s*\{([^}]*)\}", bbl, re.S)
    if sorted(order) != sorted(TITLES):
        raise Failure("the reference .bbl has the entries %s" % order)
    if order not in expected_orders():
        raise Failure("tolvar -sort=py gives %s; surnames read as surnames give %s"
                      % (order, expected_orders()[0]))
    return order


def same_order(got, want, what):
    if got != want:
        first = next(i for i, (a, b) in enumerate(zip(got, want)) if a != b)
        raise Failure("%s: the PDF has %s\n  the .bbl path has %s\n  first difference at "
                      "entry %d: %s instead of %s" % (what, got, want, first + 1, got[first],
                                                      want[first]))


def no_empty_keys(doc):
    blg = doc.read(BASE + ".blg").decode("utf-8", "replace")
    empty = [l for l in blg.splitlines() if "empty key" in l and
             any(k in l for k in CHINESE)]
    if empty:
        raise Failure("Chinese entries without a key in the .blg:\n" + "\n".join(empty))


# ---------------------------------------------------------------- cases

def biber_case(style, keyfield=None):
    def case(tolvar, folder, readme):
        want = reference_order(tolvar, folder)
        d = Doc(tolvar, os.path.join(folder, "doc"),
                r"\usepackage[backend=biber,%s]{biblatex}" % style + "\n"
                r"\addbibresource{keys.bib}", r"\printbibliography")
        d.xelatex()
        d.keys(*(["-keyfield=" + keyfield] if keyfield else []))
        field = keyfield or "key"
        if d.field_count(field) != len(CHINESE):
            raise Failure("%d %s fields in keys.bib for %d Chinese entries:\n%s" % (
                d.field_count(field), field, len(CHINESE), d.read("keys.bib").decode()))
        d.run("biber", BASE)
        d.finish()
        no_empty_keys(d)
        got = d.pdf_order()
        same_order(got, want, style)
    return case


def bibtex_case(style):
    def case(tolvar, folder, readme):
        want = reference_order(tolvar, folder)
        d = Doc(tolvar, os.path.join(folder, "doc"), r"\usepackage{gbt7714}",
                r"\bibliographystyle{%s}" % style + "\n" r"\bibliography{keys}")
        d.xelatex()
        d.keys()
        d.run("bibtex", BASE)
        d.finish()
        no_empty_keys(d)
        same_order(d.pdf_order(), want, style)
    return case


def recipe(readme, name):
    with open(readme, encoding="utf-8") as f:
        text = f.read()
    m = re.search(r"^<!-- recipe: %s -->\n```[a-z]*\n(.*?)^```$" % re.escape(name), text,
                  re.M | re.S)
    if not m:
        raise Failure("no recipe %s in %s" % (name, readme))
    return m.group(1)


def backend_runs(output):
    """How often latexmk ran biber or bibtex, from what it printed."""
    return len(re.findall(r"^Latexmk: applying rule '(?:biber|bibtex) ", output, re.M))


def latexmk(doc, rc):
    with open(os.path.join(doc.dir, "latexmkrc"), "w", encoding="utf-8") as f:
        f.write(rc)
    p = doc.run("latexmk", "-norc", "-r", "latexmkrc", "-interaction=nonstopmode", BASE)
    return (p.stdout + p.stderr).decode("utf-8", "replace")


def latexmk_case(name, preamble, bibliography):
    def case(tolvar, folder, readme):
        want = reference_order(tolvar, folder)
        plain = Doc(tolvar, os.path.join(folder, "without"), preamble, bibliography)
        runs_without = backend_runs(latexmk(plain, "$pdf_mode = 5;\n"))
        d = Doc(tolvar, os.path.join(folder, "with"), preamble, bibliography)
        out = latexmk(d, recipe(readme, name))
        runs = backend_runs(out)
        if runs_without < 1 or runs > runs_without + 1:
            raise Failure("latexmk ran the backend %d times with tolvar, %d without:\n%s"
                          % (runs, runs_without, out[-3000:]))
        check_log(d.read(BASE + ".log").decode("utf-8", "replace"))
        no_empty_keys(d)
        same_order(d.pdf_order(), want, name)
        bib = os.path.join(d.dir, "keys.bib")
        before = (os.stat(bib).st_mtime_ns, d.read("keys.bib"))
        again = latexmk(d, recipe(readme, name))
        if backend_runs(again) or "Run number" in again:
            raise Failure("a second latexmk ran rules again:\n" + again[-3000:])
        if (os.stat(bib).st_mtime_ns, d.read("keys.bib")) != before:
            raise Failure("a second latexmk rewrote keys.bib")
    return case


CASES = {
    "biber-gb7714-2015ay": biber_case("style=gb7714-2015ay"),
    "biber-gb7714-2015": biber_case("style=gb7714-2015,sorting=gb7714-2015"),
    "biber-authoryear-sortname": biber_case("style=authoryear", "sortname"),
    "bibtex-gbt7714-author-year": bibtex_case("gbt7714-author-year"),
    "latexmk-biber": latexmk_case(
        "latexmk-xelatex-biber",
        r"\usepackage[backend=biber,style=gb7714-2015ay]{biblatex}" "\n"
        r"\addbibresource{keys.bib}", r"\printbibliography"),
    "latexmk-bibtex-keys": latexmk_case(
        "latexmk-gbt7714-keys", r"\usepackage{gbt7714}",
        r"\bibliographystyle{gbt7714-author-year}" "\n" r"\bibliography{keys}"),
}
TOOLS = ("xelatex", "bibtex", "biber", "pdftotext", "kpsewhich", "latexmk", "perl")
PACKAGES = ("ctexart.cls", "natbib.sty", "gbt7714.sty", "gbt7714-author-year.bst",
            "biblatex.sty", "gb7714-2015.bbx", "gb7714-2015ay.bbx")


def main(argv):
    if len(argv) == 2 and argv[1] == "--list":
        print("\n".join(CASES))
        return 0
    if len(argv) not in (3, 4) or argv[2] not in CASES:
        print(__doc__, file=sys.stderr)
        return 2
    tolvar, name = os.path.abspath(argv[1]), argv[2]
    readme = argv[3] if len(argv) == 4 else os.path.join(HERE, "..", "..", "README.md")
    missing = [t for t in TOOLS if shutil.which(t) is None]
    if not missing:
        missing = [f for f in PACKAGES
                   if subprocess.run(["kpsewhich", f], capture_output=True).returncode != 0]
    if missing:
        print("skipped: missing %s" % ", ".join(missing))
        return SKIP
    with tempfile.TemporaryDirectory(prefix="tolvar-keys-") as folder:
        try:
            CASES[name](tolvar, folder, readme)
        except Failure as e:
            print("FAILED %s: %s" % (name, e))
            keep_failed_case(folder, name)
            return 1
    print("passed %s" % name)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

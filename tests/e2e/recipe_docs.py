"""The three kinds of document the guide's recipes are run on, each named
paper.tex in a folder of its own, with the checks of its PDF.

- gbk: pdfLaTeX + CJK (GBK, \\begin{CJK*}{GB}{gbsn}), natbib + plainnat,
  refs.bib: tolvar sorts and converts the .bbl.
- utf8: XeLaTeX + ctex (UTF-8) + gbt7714-author-year, utf8.bib.
- biber: XeLaTeX + ctex + biblatex with a gb7714-2015 style and biber,
  utf8.bib: tolvar -keys writes the sort keys into the .bib.
"""

import os
import re
import shutil
import subprocess

import run_case
import run_utf8_case as u
from run_case import Failure

HERE = os.path.dirname(os.path.abspath(__file__))
BASE = "paper"

# What each kind needs besides the tools the recipe names.
NEEDS = {
    "gbk": (("pdflatex", "bibtex", "pdftotext", "kpsewhich"),
            ("CJK.sty", "natbib.sty", "c10gbsn.fd")),
    "utf8": (("xelatex", "bibtex", "pdftotext", "kpsewhich"),
             ("ctexart.cls", "gbt7714.sty", "gbt7714-author-year.bst", "natbib.sty")),
    "biber": (("xelatex", "biber", "pdftotext", "kpsewhich"),
              ("ctexart.cls", "biblatex.sty", "gb7714-2015ay.bbx", "gb7714-2015.bbx")),
}

BIBLATEX_PREAMBLE = (r"\usepackage[backend=biber,style=gb7714-2015ay]{biblatex}" "\n"
                     r"\addbibresource{utf8.bib}" "\n")


def missing(kind, tools=()):
    """Tools and TeX files missing for a kind of document, [] when none."""
    progs, files = NEEDS[kind]
    lack = [t for t in tuple(progs) + tuple(tools) if shutil.which(t) is None]
    if lack:
        return lack
    return [f for f in files
            if subprocess.run(["kpsewhich", f], capture_output=True).returncode != 0]


def biblatex_document(preamble, keys=u.CITED, bib="utf8"):
    """A ctex document whose bibliography is biblatex's; `preamble` loads
    biblatex and adds the .bib resource."""
    cites = [r"\cite{%s}" % k for k in keys]
    lines = [r"\documentclass[UTF8]{ctexart}", preamble.rstrip("\n"),
             r"\begin{document}",
             "引用测试：" + "，".join(cites) + "。",
             r"\par\noindent " + u.BIBSTART,
             r"\printbibliography",
             r"\end{document}", ""]
    return "\n".join(lines).encode("utf-8")


def make(kind, folder, preamble=BIBLATEX_PREAMBLE):
    """Writes paper.tex and its .bib into `folder`."""
    if kind == "gbk":
        shutil.copy(os.path.join(HERE, "refs.bib"), folder)
        text = run_case.document("plainnat", True)
    elif kind == "utf8":
        shutil.copy(os.path.join(HERE, "utf8.bib"), folder)
        text = u.document("ctex", "gbt7714-author-year", True, u.CITED)
    else:
        shutil.copy(os.path.join(HERE, "utf8.bib"), folder)
        text = biblatex_document(preamble)
    with open(os.path.join(folder, BASE + ".tex"), "wb") as f:
        f.write(text)


def read(folder, name):
    with open(os.path.join(folder, name), "rb") as f:
        return f.read()


def pdf_text(folder):
    p = subprocess.run(["pdftotext", "-enc", "UTF-8", BASE + ".pdf", "-"], cwd=folder,
                       capture_output=True, stdin=subprocess.DEVNULL, timeout=60)
    if p.returncode != 0:
        raise Failure("pdftotext: " + p.stderr.decode("utf-8", "replace"))
    return p.stdout.decode("utf-8")


def check_log(log):
    run_case.check_log(log)
    for warning in ("Rerun to get", "Please (re)run Biber", "Please rerun LaTeX"):
        if warning in log:
            raise Failure("the build stopped before the log was settled: %r" % warning)


def check(kind, folder):
    """The PDF of a finished build: the order and the words expected."""
    log = read(folder, BASE + ".log").decode("utf-8" if kind != "gbk" else "latin-1", "replace")
    check_log(log)
    text = pdf_text(folder)
    if kind == "gbk":
        if not read(folder, BASE + ".bbl").startswith(u.MARKER):
            raise Failure("the .bbl was not processed by tolvar")
        run_case.check_citations(text)
        run_case.check_sorted(run_case.check_names_and_words(text))
        return
    body, refs = u.split_text(text)
    texts, order = u.entries(refs, u.CITED)
    u.expect_order(order, u.PINYIN + u.ENGLISH)
    if kind == "utf8":
        if not read(folder, BASE + ".bbl").startswith(u.MARKER):
            raise Failure("the .bbl was not processed by tolvar")
        u.expect_in(["曾国藩等(1876)", "区家麟等(2000)"], body, "the citations")
    else:
        check_biber_keys(folder)
    u.expect_in(["区家麟,张三", "曾国藩,李鸿章,左宗棠,等"], refs, "the bibliography")
    u.no_english_in_chinese(texts)


def check_biber_keys(folder):
    """Each Chinese entry of the .bib has its key, and biber used it."""
    bib = read(folder, "utf8.bib").decode("utf-8")
    for key in u.PINYIN:
        entry = bib[bib.index("{%s," % key):]
        entry = entry[:entry.find("\n@") if "\n@" in entry else len(entry)]
        if not re.search(r"^\s*key\s*=", entry, re.M | re.I):
            raise Failure("no key field in the entry %s of the .bib:\n%s" % (key, entry))

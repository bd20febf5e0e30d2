#!/usr/bin/env python3
"""End-to-end cases: real LaTeX + CJK + BibTeX documents through tolvar.

Usage: run_case.py TOLVAR CASE [--expect-failure]
       run_case.py --list


Each case works in a fresh temporary folder: latex, bibtex, tolvar with the
case's options, latex twice, dvipdfmx and pdftotext, then checks the LaTeX log
and the text of the PDF. Exit code 0: passed, 1: failed, 77: a tool is missing.
With --expect-failure the case documents a known gap: a failed check gives 0,
and a pass gives 1, so that the fix is noticed and the flag removed.
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile

SKIP = 77
HERE = os.path.dirname(os.path.abspath(__file__))
TOOLS = ("latex", "bibtex", "dvipdfmx", "pdftotext", "kpsewhich")

# First author and title of each entry of refs.bib, as they show in the PDF,
# and whether the entry is Chinese.
ENTRIES = {
    "ouyang1975": ("欧阳修", "新唐书", True),
    "sima1959": ("司马迁", "史记", True),
    "shan2003": ("单士元", "故宫建筑的营造", True),
    "ou2010": ("区志坚", "中文信息处理的若干问题", True),
    "zhang2008": ("张三", "汉语分词", True),
    "li2015": ("李明", "跨语言检索", True),
    "knuth1986": ("Knuth", "TEXbook", False),
    "lamport1994": ("Lamport", "Bibliographies", False),
    # gaps.bib
    "chen2001": ("张三丰", "十二人合著", True),
    "wang2003": ("王力", "语法研究", True),
}
# Citation order of the documents (unsrt keeps it).
CITED = ["lamport1994", "zhang2008", "ouyang1975", "knuth1986", "li2015",
         "shan2003", "ou2010", "sima1959"]
# Pinyin order of the Chinese first authors, character by character:
# li, ou-yang, ou-zhi (区 read ou as a surname), shan (单 as a surname),
# si-ma, zhang.
PINYIN = ["li2015", "ouyang1975", "ou2010", "shan2003", "sima1959", "zhang2008"]
# Stroke counts of the surnames: 区 4, 李 7, 张 7, 单 8, 欧 8, 司 5 ... the
# stroke-count order puts 区 (4) before 司 (5) and those before the 7s and 8s.
BIHUASHU_FIRST = ["ou2010", "sima1959"]

# Words that a Chinese entry must show after tolvar, and the entry's marker
# they belong to (checked in that entry's own text).
CHINESE_WORDS = {
    "ouyang1975": ["版"],                      # 2 edition -> 2版
    "ou2010": ["发表于", "编者", "页码"],      # In ..., editors, pages
    "sima1959": ["等"],                        # et~al.
    "zhang2008": ["发表于", "编者", "页码"],  # In, editor, pages
}
ENGLISH_WORDS = {
    "lamport1994": ["Lamport and", "editors", "pages 11"],
    "knuth1986": ["edition"],
}

CJK_OPEN = r"\begin{CJK*}{GB}{gbsn}"
CJK_CLOSE = r"\end{CJK*}"


def preamble_support_commands(tolvar):
    """The preamble lines that `tolvar -dispcjk` prints, for this TeX system.

    The printed commands open a CJK environment with the GBK encoding and the
    song family; this TeX system has the GB2312 font gbsn only, so the
    encoding and family are changed as the printed text invites.
    """
    out = subprocess.run([tolvar, "-dispcjk"], capture_output=True).stdout
    text = out.decode("gbk")
    start = text.index("\\makeatletter")
    commands = text[start:]
    assert "{GBK}{song}" in commands, commands
    return commands.replace("{GBK}{song}", "{GB}{gbsn}")


def document(style, natbib, extra_preamble="", keys=CITED, bib="refs"):
    cites = []
    for i, key in enumerate(keys):
        if natbib:
            cites.append((r"\citet{%s}" if i % 2 else r"\citep{%s}") % key)
        else:
            cites.append(r"\cite{%s}" % key)
    lines = [
        r"\documentclass{article}",
        r"\usepackage{CJK}",
        r"\usepackage[round]{natbib}" if natbib else "",
        extra_preamble,
        r"\begin{document}",
        CJK_OPEN,
        "参考文献测试: " + ", ".join(cites) + ".",
        r"\bibliographystyle{%s}" % style,
        r"\bibliography{%s}" % bib,
        CJK_CLOSE,
        r"\end{document}",
        "",
    ]
    return "\n".join(lines).encode("gbk")


class Failure(Exception):
    pass


class Case:
    def __init__(self, tolvar, folder, style, natbib, options=(), extra_preamble="",
                 keys=CITED, bib="refs"):
        self.tolvar = tolvar
        self.dir = folder
        self.style = style
        self.options = list(options)
        shutil.copy(os.path.join(HERE, bib + ".bib"), folder)
        with open(os.path.join(folder, "doc.tex"), "wb") as f:
            f.write(document(style, natbib, extra_preamble, keys, bib))

    def run(self, *argv, check=True):
        p = subprocess.run(list(argv), cwd=self.dir, capture_output=True,
                           stdin=subprocess.DEVNULL, timeout=120)
        if check and p.returncode != 0:
            raise Failure("%s exited with %d:\n%s%s" % (
                " ".join(argv), p.returncode, p.stdout.decode("latin-1")[-3000:],
                p.stderr.decode("latin-1")[-3000:]))
        return p

    def latex(self):
        # LaTeX errors are judged from the log, so its exit code is not.
        self.run("latex", "-interaction=nonstopmode", "doc", check=False)

    def tolvar_run(self, *extra):
        p = self.run(self.tolvar, *self.options, *extra, "doc")
        return p

    def read(self, name):
        with open(os.path.join(self.dir, name), "rb") as f:
            return f.read()

    def finish(self):
        """latex twice, dvipdfmx, pdftotext; returns (log, pdf text)."""
        self.latex()
        self.latex()
        self.run("dvipdfmx", "-q", "doc")
        self.run("pdftotext", "-enc", "UTF-8", "doc.pdf", "doc.txt")
        return self.read("doc.log").decode("latin-1"), self.read("doc.txt").decode("utf-8")

    def build(self):
        self.latex()
        self.run("bibtex", "doc")
        shutil.copy(os.path.join(self.dir, "doc.bbl"), os.path.join(self.dir, "bibtex.bbl"))
        self.tolvar_run()
        return self.finish()


# ---------------------------------------------------------------- checks

def check_log(log):
    errors = [l for l in log.splitlines() if l.startswith("!")]
    if errors:
        raise Failure("LaTeX errors:\n" + "\n".join(errors[:10]))
    if re.search(r"Citation `[^']*' .*undefined", log) or "undefined citations" in log:
        raise Failure("undefined citations on the last LaTeX run")


def references(text):
    """The PDF text of the bibliography, without blanks or line ends."""
    at = text.rfind("References")
    if at < 0:
        raise Failure("no References section in the PDF text:\n" + text)
    return re.sub(r"\s+", "", text[at:])


def entry_texts(text, keys):
    """Maps each cited key to the PDF text of its entry (blanks removed), and
    gives the keys in the order of the PDF."""
    return locate_entries(references(text), keys, ENTRIES)


def locate_entries(refs, keys, entries, fold=False):
    """Each key's entry in `refs`, found by its title and the author before
    it (from `entries`; compared in lower case when `fold`), and the keys in
    the order of `refs`."""
    searched = refs.lower() if fold else refs
    starts = []
    for key in keys:
        author, title, _ = entries[key]
        at = searched.find(title)
        start = searched.rfind(author, 0, at) if at >= 0 else -1
        if start < 0:
            raise Failure("entry %s missing from the PDF:\n%s" % (key, refs))
        starts.append((start, key))
    starts.sort()
    out = {}
    for i, (start, key) in enumerate(starts):
        end = starts[i + 1][0] if i + 1 < len(starts) else len(refs)
        out[key] = refs[start:end]
    return out, [key for _, key in starts]


def check_names_and_words(text, keys=CITED):
    """Chinese entries carry the Chinese words, English ones keep theirs."""
    entries, order = entry_texts(text, keys)
    squeezed = re.sub(r"\s+", " ", text[text.rfind("References"):])
    for key in keys:
        for w in CHINESE_WORDS.get(key, []):
            if w not in entries[key]:
                raise Failure("%s: %r missing in %r" % (key, w, entries[key]))
        if ENTRIES[key][2]:
            for english in ("edition", "In", "pages", "editor", "etal", " and "):
                if english in entries[key]:
                    raise Failure("%s: English %r left in %r" % (key, english, entries[key]))
        for w in ENGLISH_WORDS.get(key, []):
            if w not in squeezed:
                raise Failure("%s lost %r:\n%s" % (key, w, squeezed))
    for name, key in (("宋祁", "ouyang1975"), ("曾昭抡", "shan2003"), ("曾国藩", "ou2010"),
                      ("王芳", "li2015"), ("Smith", "li2015")):
        if key in keys and name not in entries[key]:
            raise Failure("name %s missing from the PDF entry %r" % (name, entries[key]))
    return order


def check_citations(text):
    """natbib citations in the text show the converted labels."""
    body = re.sub(r"\s+", "", text[:text.rfind("References")])
    for label in ("张三等", "欧阳修,宋祁", "区志坚等", "单士元,曾昭抡"):
        if label not in body:
            raise Failure("citation %r missing from the text: %r" % (label, body))
    if "etal" in body:
        raise Failure("English et al. in a Chinese citation: %r" % body)


def check_order(order, expected):
    got = [k for k in order if k in expected]
    if got != expected:
        raise Failure("order in the PDF %s, expected %s" % (got, expected))


def check_sorted(order):
    """Chinese entries first in pinyin order, then the English ones."""
    chinese = [k for k in PINYIN if k in order]
    if order[:len(chinese)] != chinese:
        raise Failure("order in the PDF %s, expected %s first" % (order, chinese))


# ---------------------------------------------------------------- cases

def standard(style, natbib, options, order_check, keys=CITED):
    def case(tolvar, folder):
        c = Case(tolvar, folder, style, natbib, options, keys=keys)
        log, text = c.build()
        check_log(log)
        if natbib:
            check_citations(text)
        order_check(check_names_and_words(text, keys))
    return case


def unsorted_citation_order(order):
    check_order(order, [k for k in CITED if k in order])


def bibtex_order_kept(order):
    # plain-like styles sort by BibTeX's purified keys; English names come
    # before the GBK bytes, which is what tolvar's sorting changes.
    if order[0] not in ("knuth1986", "lamport1994"):
        raise Failure("unsorted run moved the entries: %s" % order)


def bihuashu(order):
    check_order(order[:2], BIHUASHU_FIRST)


def cjk_support(tolvar, folder):
    c = Case(tolvar, folder, "plainnat", True, ["-cjk", "-sort=py"],
             preamble_support_commands(tolvar))
    log, text = c.build()
    check_log(log)
    bbl = c.read("doc.bbl")
    if b"\x7f" in bbl:
        raise Failure("-cjk left ^^7f forms in the labels")
    if "\\bibitem[欧阳修,~宋祁(1975)]".encode("gbk") not in bbl:
        raise Failure("-cjk label not kept in GBK:\n" + bbl.decode("gbk", "replace"))
    check_sorted(check_names_and_words(text))


def missing_bbl(tolvar, folder):
    """tolvar runs bibtex itself when the .bbl is missing."""
    c = Case(tolvar, folder, "plainnat", True, ["-sort=py"])
    c.latex()
    p = c.tolvar_run()
    if b">>>bibtex doc..." not in p.stdout:
        raise Failure("tolvar did not run bibtex:\n" + p.stdout.decode("latin-1"))
    log, text = c.finish()
    check_log(log)
    check_sorted(check_names_and_words(text))


def twice(tolvar, folder):
    """A second run regenerates the .bbl with bibtex and gives the same file."""
    c = Case(tolvar, folder, "unsrtnat", True, ["-sort=py", "-visible"])
    log, text = c.build()
    once = c.read("doc.bbl")
    p = c.tolvar_run()
    if b">>>bibtex doc..." not in p.stdout:
        raise Failure("second run did not regenerate the .bbl with bibtex")
    if c.read("doc.bbl") != once:
        raise Failure("second run changed the .bbl")
    if b"^^7f" not in once:
        raise Failure("-visible wrote no visible ^^7f form")
    log, text = c.finish()
    check_log(log)
    check_sorted(check_names_and_words(text))


def untreated_fails_checks(tolvar, folder):
    """The checks above catch a .bbl that tolvar has not treated."""
    c = Case(tolvar, folder, "plainnat", True)
    c.latex()
    c.run("bibtex", "doc")
    log, text = c.finish()
    try:
        check_names_and_words(text)
    except Failure as e:
        print("untreated .bbl fails the keyword checks, as it must: %s" % str(e)[:200])
        return
    raise Failure("the keyword checks passed on an untreated .bbl")


def special_trail_bytes(tolvar, folder):
    """Names whose GBK trail byte is \\ { } ^ ~ [ ], in preprocessed form."""
    c = Case(tolvar, folder, "plainnat", True, ["-sort=py"], keys=["ou2001", "ping1999"],
             bib="special")
    log, text = c.build()
    check_log(log)
    refs = references(text)
    # plainnat writes no "pages" word for these entries (volume:pages, and
    # a book without pages), so there is no 页码 to look for.
    for needle in ("王力", "李明", "方言研究", "汉字源流", "2版"):
        if needle not in refs:
            raise Failure("%r missing from the PDF:\n%s" % (needle, refs))
    # The author lines keep the triples as they are, and the "and" after
    # them is replaced as after any Chinese name.
    bbl = c.read("doc.bbl")
    for line in (b"\x7f\x85\x7f94\x7f\x7f\x95\x7f92\x7f,~\x7f\x82\x7f125\x7f"
                 b"\x7f\x8e\x7f91\x7f\x7f\x93\x7f93\x7f.\n",
                 b"\x7f\x91\x7f123\x7f\x7f\x96\x7f126\x7f, "):
        if line not in bbl:
            raise Failure("%r missing from the .bbl:\n%r" % (line, bbl))


def traditional_characters(style, natbib):
    """Characters outside GB2312 whose trail byte TeX reads as ^ _ \\ { }
    (區 沖 淺 憑 倉), raw in the .bib: written as triples, TeX sees none of
    those bytes, and every title shows."""
    # alpha's labels cut characters (three bytes of the name), and the
    # widest one goes unconverted into \begin{thebibliography}: an
    # English entry with a wide label keeps those bytes out of it.
    keys = ["ou1990", "chong1995", "qian2000", "ping2005", "mwm1999"]

    def case(tolvar, folder):
        c = Case(tolvar, folder, style, natbib, ["-npe"], keys=keys, bib="traditional")
        log, text = c.build()
        check_log(log)
        refs = references(text)
        # The GB2312 font has no glyph for the characters themselves.
        for needle in ("志坚", "经济研究", "田明", "积平原考察", "野一郎", "说汉字源流",
                       "存档制度", "2版"):
            if needle not in refs:
                raise Failure("%r missing from the PDF:\n%s" % (needle, refs))
        if b"\x7f\x85\x7f94\x7f" not in c.read("doc.bbl"):
            raise Failure("no triple for the first character in the .bbl")
    return case


def wrapped_keyword(tolvar, folder):
    """BibTeX ends a line with "pages"; the Chinese entry still gets 页码."""
    c = Case(tolvar, folder, "plain", False, keys=["ou2010"], bib="gaps")
    log, text = c.build()
    check_log(log)
    if b"pages\n" not in c.read("bibtex.bbl"):
        raise Failure("BibTeX no longer breaks the line after \"pages\"")
    check_names_and_words(text, ["ou2010"])


def etal_after_comma(tolvar, folder):
    """plain writes "王力, 李四, 王五, et~al."; the Chinese list gets 等."""
    c = Case(tolvar, folder, "plain", False, keys=["wang2012"], bib="gaps")
    log, text = c.build()
    check_log(log)
    if ", et~al.".encode() not in c.read("bibtex.bbl"):
        raise Failure("BibTeX no longer writes \", et~al.\"")
    refs = references(text)
    if "王五等" not in refs or "etal" in refs:
        raise Failure("et~al. not replaced: %r" % refs)


def wrapped_author_list(tolvar, folder):
    """plain breaks a long author list before "and", and writes the editors
    "张三, 李四, 王五, et~al., editors": no English word stays in either."""
    keys = ["chen2001", "wang2003"]
    c = Case(tolvar, folder, "plain", False, keys=keys, bib="gaps")
    log, text = c.build()
    check_log(log)
    bibtex_bbl = c.read("bibtex.bbl").decode("gbk")
    for shape in ("陈立,\n  and 褚四海", "王五, et~al., editors"):
        if shape not in bibtex_bbl:
            raise Failure("BibTeX no longer writes %r:\n%s" % (shape, bibtex_bbl))
    entries, _ = entry_texts(text, keys)
    for key, shown in (("chen2001", "陈立,褚四海"), ("wang2003", "王五等(编者)")):
        entry = entries[key]
        if shown not in entry:
            raise Failure("%s: %r missing in %r" % (key, shown, entry))
        for english in ("and", "etal", "editor", "In"):
            if english in entry:
                raise Failure("%s: English %r left in %r" % (key, english, entry))
    check_names_and_words(text, keys)


CASES = {
    "plain-pinyin": standard("plain", False, ["-sort=py"], check_sorted),
    "plain-unsorted": standard("plain", False, [], bibtex_order_kept),
    "unsrt-unsorted": standard("unsrt", False, [], unsorted_citation_order),
    "unsrt-pinyin": standard("unsrt", False, ["-sort=pinyin"], check_sorted),
    # alpha builds its labels from the first bytes of the names, which splits
    # GBK characters: a lead byte left before "{\etalchar" or before the "S" of
    # "Smith" pairs with that ASCII byte, in the .bbl as BibTeX writes it too.
    # The entries with "et al." or a mixed list are therefore left out.
    "alpha-pinyin": standard("alpha", False, ["-sort"], check_sorted,
                             keys=[k for k in CITED
                                   if k not in ("zhang2008", "li2015", "sima1959")]),
    "abbrv-bihuashu": standard("abbrv", False, ["-sort=bhs"], bihuashu),
    "plainnat-pinyin": standard("plainnat", True, ["-sort=py"], check_sorted),
    "unsrtnat-unsorted": standard("unsrtnat", True, ["-visible"], unsorted_citation_order),
    "abbrvnat-pinyin": standard("abbrvnat", True, ["-sort=py", "-npe"], check_sorted),
    "cjk-support": cjk_support,
    "missing-bbl": missing_bbl,
    "twice": twice,
    "untreated-fails-checks": untreated_fails_checks,
    "special-trail-bytes": special_trail_bytes,
    "wrapped-keyword": wrapped_keyword,
    "etal-after-comma": etal_after_comma,
    "wrapped-author-list": wrapped_author_list,
    "traditional-plainnat": traditional_characters("plainnat", True),
    "traditional-alpha": traditional_characters("alpha", False),
}


def keep_failed_case(folder, name):
    """Copies a failed case's folder to $TOLVAR_E2E_KEEP/NAME, when that is set."""
    if not os.environ.get("TOLVAR_E2E_KEEP"):
        return
    keep = os.path.join(os.environ["TOLVAR_E2E_KEEP"], name)
    shutil.rmtree(keep, ignore_errors=True)
    shutil.copytree(folder, keep)
    print("kept in " + keep)


def main(argv):
    if len(argv) == 2 and argv[1] == "--list":
        print("\n".join(CASES))
        return 0
    expect_failure = "--expect-failure" in argv
    argv = [a for a in argv if a != "--expect-failure"]
    if len(argv) != 3 or argv[2] not in CASES:
        print(__doc__, file=sys.stderr)
        return 2
    tolvar, name = os.path.abspath(argv[1]), argv[2]
    missing = [t for t in TOOLS if shutil.which(t) is None]
    if not missing:
        for f in ("CJK.sty", "natbib.sty", "c10gbsn.fd"):
            if subprocess.run(["kpsewhich", f], capture_output=True).returncode != 0:
                missing.append(f)
    if missing:
        print("skipped: missing %s" % ", ".join(missing))
        return SKIP
    with tempfile.TemporaryDirectory(prefix="tolvar-e2e-") as folder:
        try:
            CASES[name](tolvar, folder)
        except Failure as e:
            if expect_failure:
                print("known gap, failed as expected: %s: %s" % (name, e))
                return 0
            print("FAILED %s: %s" % (name, e))
            keep_failed_case(folder, name)
            return 1
    if expect_failure:
        print("%s passed but is marked as a known gap: remove the mark" % name)
        return 1
    print("passed %s" % name)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

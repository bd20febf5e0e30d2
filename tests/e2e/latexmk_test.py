#!/usr/bin/env python3
"""Runs the latexmkrc snippet of README.md with the real latexmk.

Usage: latexmk_test.py TOLVAR README [xelatex]

Builds one Chinese natbib document with `latexmk -dvi`, using only the
snippet from the README as configuration and the built tolvar first on PATH;
the .bbl must come out processed and sorted, the log clean. With `xelatex`,
the same for the XeLaTeX snippet and a UTF-8 ctex document with `latexmk`.
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import run_case  # noqa: E402

MARKER = b"%& This .bbl file has been processed by tolvar!\n"


def snippet(readme, heading="## latexmk"):
    with open(readme, encoding="utf-8") as f:
        text = f.read()
    section = text[text.index(heading + "\n"):]
    return re.search(r"```perl\n(.*?)```", section, re.S).group(1)


def run_latexmk(tolvar, folder, rc, args):
    with open(os.path.join(folder, "latexmkrc"), "w", encoding="utf-8") as f:
        f.write(rc)
    env = dict(os.environ)
    env["PATH"] = os.path.dirname(tolvar) + os.pathsep + env.get("PATH", "")
    p = subprocess.run(["latexmk", "-norc", "-r", "latexmkrc", *args,
                        "-interaction=nonstopmode", "doc"],
                       cwd=folder, env=env, capture_output=True,
                       stdin=subprocess.DEVNULL, timeout=300)
    if p.returncode != 0:
        raise run_case.Failure("latexmk exited with %d:\n%s" % (
            p.returncode, p.stderr.decode("utf-8", "replace")[-3000:]))


def xelatex_snippet(tolvar, readme):
    import run_utf8_case as u
    missing = [t for t in ("xelatex", "bibtex", "pdftotext", "latexmk", "perl")
               if shutil.which(t) is None]
    if not missing:
        missing = [f for f in u.PACKAGES
                   if subprocess.run(["kpsewhich", f], capture_output=True).returncode != 0]
    if missing:
        print("skipped: missing " + ", ".join(missing))
        return run_case.SKIP
    with tempfile.TemporaryDirectory(prefix="tolvar-latexmk-") as folder:
        case = u.Case(tolvar, folder, "xelatex", "ctex", "gbt7714-author-year", [])
        try:
            run_latexmk(tolvar, folder, snippet(readme, "### latexmk with XeLaTeX"), [])
            if not case.read("doc.bbl").startswith(MARKER):
                raise run_case.Failure("latexmk left an unprocessed .bbl")
            log = case.read("doc.log").decode("utf-8", "replace")
            run_case.check_log(log)
            if "Rerun to get" in log:
                raise run_case.Failure("latexmk stopped before the log was settled")
            case.run("pdftotext", "-enc", "UTF-8", "doc.pdf", "doc.txt")
            _, refs = u.split_text(case.read("doc.txt").decode("utf-8"))
            u.expect_order(u.entries(refs, u.CITED)[1], u.PINYIN + u.ENGLISH)
        except run_case.Failure as e:
            print("FAILED: %s" % e)
            return 1
    print("passed")
    return 0


def main(argv):
    if len(argv) not in (3, 4) or (len(argv) == 4 and argv[3] != "xelatex"):
        print(__doc__, file=sys.stderr)
        return 2
    tolvar, readme = os.path.abspath(argv[1]), argv[2]
    if len(argv) == 4:
        return xelatex_snippet(tolvar, readme)
    missing = [t for t in run_case.TOOLS + ("latexmk", "perl") if shutil.which(t) is None]
    if missing:
        print("skipped: missing " + ", ".join(missing))
        return run_case.SKIP
    with tempfile.TemporaryDirectory(prefix="tolvar-latexmk-") as folder:
        case = run_case.Case(tolvar, folder, "plainnat", True)
        with open(os.path.join(folder, "latexmkrc"), "w") as f:
            f.write(snippet(readme))
        env = dict(os.environ)
        env["PATH"] = os.path.dirname(tolvar) + os.pathsep + env.get("PATH", "")
        p = subprocess.run(["latexmk", "-norc", "-r", "latexmkrc", "-dvi",
                            "-interaction=nonstopmode", "doc"],
                           cwd=folder, env=env, capture_output=True,
                           stdin=subprocess.DEVNULL, timeout=300)
        try:
            if p.returncode != 0:
                raise run_case.Failure("latexmk exited with %d:\n%s" % (
                    p.returncode, p.stderr.decode("latin-1")[-3000:]))
            bbl = case.read("doc.bbl")
            if not bbl.startswith(MARKER):
                raise run_case.Failure("latexmk left an unprocessed .bbl")
            log = case.read("doc.log").decode("latin-1")
            run_case.check_log(log)
            if "Rerun to get" in log:
                raise run_case.Failure("latexmk stopped before the log was settled")
            case.run("dvipdfmx", "-q", "doc")
            case.run("pdftotext", "-enc", "UTF-8", "doc.pdf", "doc.txt")
            text = case.read("doc.txt").decode("utf-8")
            run_case.check_citations(text)
            run_case.check_sorted(run_case.check_names_and_words(text))
        except run_case.Failure as e:
            print("FAILED: %s" % e)
            return 1
    print("passed")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

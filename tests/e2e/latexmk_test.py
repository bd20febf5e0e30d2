#!/usr/bin/env python3
"""Runs the latexmkrc snippet of README.md with the real latexmk.

Usage: latexmk_test.py TOLVAR README

Builds one Chinese natbib document with `latexmk -dvi`, using only the
snippet from the README as configuration and the built tolvar first on PATH;
the .bbl must come out processed and sorted, the log clean.
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


def snippet(readme):
    with open(readme, encoding="utf-8") as f:
        text = f.read()
    section = text[text.index("## latexmk"):]
    return re.search(r"```perl\n(.*?)```", section, re.S).group(1)


def main(argv):
    if len(argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    tolvar, readme = os.path.abspath(argv[1]), argv[2]
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

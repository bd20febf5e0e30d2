#!/usr/bin/env python3
"""Installs the build into a fresh prefix and runs the installed program.

Usage: install_test.py CMAKE BUILD_DIR SOURCE_DIR VERSION

Checks that `cmake --install` lays out bin/tolvar, share/tolvar/GBK2py.inf,
a commented share/tolvar/tolvar.cfg, share/man/man1/tolvar.1 and the Chinese
share/man/zh_CN/man1/tolvar.1; that the installed tolvar, run from another
folder with PATH unchanged, finds its dictionary for -sort=py; that
--version, the banner and both manual pages carry the project's version; and
that both pages render without a warning from groff (and from man, where it
is installed), the Chinese one found by `man -L zh_CN` and describing every
option of the English one.
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile

MARKER = b"%& This .bbl file has been processed by tolvar!\n"
ENGLISH_PAGE = "share/man/man1/tolvar.1"
CHINESE_PAGE = "share/man/zh_CN/man1/tolvar.1"
# Where neither the locale nor the terminal can spoil the UTF-8 output.
UTF8_ENV = dict(os.environ, LC_ALL="C.UTF-8", MANWIDTH="80")
UTF8_ENV.pop("LANGUAGE", None)


class Failure(Exception):
    pass


def expect(condition, message):
    if not condition:
        raise Failure(message)


def run(argv, cwd, env=None):
    return subprocess.run(argv, cwd=cwd, env=env, capture_output=True,
                          stdin=subprocess.DEVNULL, timeout=120)


def check_layout(prefix):
    for rel in ("bin/tolvar", "share/tolvar/GBK2py.inf", "share/tolvar/tolvar.cfg",
                ENGLISH_PAGE, CHINESE_PAGE):
        expect(os.path.isfile(os.path.join(prefix, rel)), "not installed: " + rel)
    expect(os.access(os.path.join(prefix, "bin/tolvar"), os.X_OK), "bin/tolvar not executable")
    with open(os.path.join(prefix, "share/tolvar/tolvar.cfg"), "rb") as f:
        cfg = f.read().splitlines()
    keys = [l.split(b"=")[0] for l in cfg if l and not l.startswith(b"%")]
    expect(len(keys) == 16, "sample tolvar.cfg sets %d keys, not 16" % len(keys))
    expect(sum(l.startswith(b"%") for l in cfg) >= 8, "sample tolvar.cfg is not commented")


def check_sort_from_elsewhere(prefix, source_dir):
    """The installed program finds GBK2py.inf with no help from PATH."""
    work = tempfile.mkdtemp(prefix="tolvar-work-")
    try:
        shutil.copy(os.path.join(source_dir, "examples", "paper.bbl"), work)
        env = dict(os.environ)
        env["PATH"] = os.defpath  # no build or install folder in it
        p = run([os.path.join(prefix, "bin", "tolvar"), "-sort=py", "paper"], work, env)
        expect(p.returncode == 0, "installed tolvar -sort=py failed (%d):\n%s%s" % (
            p.returncode, p.stdout.decode("latin-1"), p.stderr.decode("latin-1")))
        with open(os.path.join(work, "paper.bbl"), "rb") as f:
            out = f.read()
        with open(os.path.join(source_dir, "examples", "paper.bbl"), "rb") as f:
            original = f.read()
        expect(out.startswith(MARKER), "paper.bbl not processed")
        keys = [l.split(b"{")[-1] for l in out.splitlines() if l.startswith(b"\\bibitem")]
        before = [l.split(b"{")[-1] for l in original.splitlines() if l.startswith(b"\\bibitem")]
        expect(sorted(keys) == sorted(before) and keys != before,
               "entries not reordered by -sort=py: %s" % keys)
    finally:
        shutil.rmtree(work)


def check_version(prefix, version):
    tolvar = os.path.join(prefix, "bin", "tolvar")
    banner_start = "tolvar, version %s, " % version
    p = run([tolvar, "--version"], prefix)
    line = p.stdout.decode("latin-1").splitlines()[0]
    expect(p.returncode == 0 and line.startswith(banner_start),
           "--version says %r, the project is %s" % (line, version))
    expect(line.endswith(" on 30 November 2005"), "--version line %r" % line)
    usage = run([tolvar], prefix).stdout.decode("latin-1").splitlines()[0]
    expect(usage == line, "banner %r differs from --version %r" % (usage, line))
    for rel in (ENGLISH_PAGE, CHINESE_PAGE):
        with open(os.path.join(prefix, rel), encoding="utf-8") as f:
            page = f.read()
        expect('"tolvar %s"' % version in page, "%s does not name version %s" % (rel, version))
        expect(re.search(r"@[A-Z_]+@", page) is None, rel + " not configured")


def page_options(page):
    """The options that the tags of a page's OPTIONS section name."""
    section = page.split("\n.SH OPTIONS\n" if "\n.SH OPTIONS\n" in page else "\n.SH 选项\n")[1]
    section = section.split("\n.SH ")[0]
    tags = re.findall(r"^\.TP\n(.*)$", section, re.M)
    return {m for tag in tags for m in re.findall(r"\\-(?:\\-)?[a-z][a-z0-9.]*(?:\\-[a-z]+)*(?:=[a-z]*)?", tag)}


def check_render(argv, what):
    p = subprocess.run(argv, env=UTF8_ENV, capture_output=True, stdin=subprocess.DEVNULL, timeout=120)
    errors = p.stderr.decode("utf-8", "replace")
    expect(p.returncode == 0 and errors == "", "%s: exit %d, warnings:\n%s" % (what, p.returncode, errors))
    return p.stdout.decode("utf-8")


def check_manual_pages(prefix):
    """Both pages render cleanly; the Chinese one is the translation man finds."""
    groff = shutil.which("groff")
    if groff is None:
        print("groff not installed: the pages are not rendered")
        return
    text = {}
    for rel in (ENGLISH_PAGE, CHINESE_PAGE):
        page = os.path.join(prefix, rel)
        text[rel] = check_render([groff, "-ww", "-mandoc", "-t", "-K", "utf-8", "-Tutf8", page], "groff " + rel)
        if shutil.which("man"):
            check_render(["man", "--warnings=all", "-l", page], "man -l " + rel)
    expect("选项" in text[CHINESE_PAGE] and "笔画数+笔顺" in text[CHINESE_PAGE], "the Chinese page lacks its text")
    pages = {}
    for rel in (ENGLISH_PAGE, CHINESE_PAGE):
        with open(os.path.join(prefix, rel), encoding="utf-8") as f:
            pages[rel] = page_options(f.read())
    missing = pages[ENGLISH_PAGE] - pages[CHINESE_PAGE]
    expect(len(pages[ENGLISH_PAGE]) >= 20 and not missing,
           "the Chinese page does not describe %s" % ", ".join(sorted(missing)).replace("\\", ""))
    if shutil.which("man"):
        env = dict(UTF8_ENV, MANPATH=os.path.join(prefix, "share", "man"))
        for locale, page in (("zh_CN", CHINESE_PAGE), ("C", ENGLISH_PAGE)):
            p = subprocess.run(["man", "-w", "-L", locale, "tolvar"], env=env, capture_output=True,
                               stdin=subprocess.DEVNULL, timeout=120)
            found = p.stdout.decode("utf-8").strip()
            expect(found == os.path.join(prefix, page), "man -L %s tolvar finds %r" % (locale, found))


def main(argv):
    if len(argv) != 5:
        print(__doc__, file=sys.stderr)
        return 2
    cmake, build_dir, source_dir, version = argv[1:]
    prefix = tempfile.mkdtemp(prefix="tolvar-prefix-")
    try:
        p = run([cmake, "--install", build_dir, "--prefix", prefix], build_dir)
        expect(p.returncode == 0, "cmake --install failed:\n" + p.stderr.decode("latin-1"))
        check_layout(prefix)
        check_sort_from_elsewhere(prefix, source_dir)
        check_version(prefix, version)
        check_manual_pages(prefix)
    except Failure as e:
        print("FAILED: %s" % e)
        return 1
    finally:
        shutil.rmtree(prefix)
    print("passed")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

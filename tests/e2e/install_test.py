#!/usr/bin/env python3
"""Installs the build into a fresh prefix and runs the installed program.

Usage: install_test.py CMAKE BUILD_DIR SOURCE_DIR VERSION

Checks that `cmake --install` lays out bin/tolvar, share/tolvar/GBK2py.inf,
a commented share/tolvar/tolvar.cfg and share/man/man1/tolvar.1; that the
installed tolvar, run from another folder with PATH unchanged, finds its
dictionary for -sort=py; and that --version, the banner and the manual page
all carry the project's version.
"""

import os
import shutil
import subprocess
import sys
import tempfile

MARKER = b"%& This .bbl file has been processed by tolvar!\n"


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
                "share/man/man1/tolvar.1"):
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
    with open(os.path.join(prefix, "share/man/man1/tolvar.1"), encoding="utf-8") as f:
        page = f.read()
    expect('"tolvar %s"' % version in page, "manual page does not name version " + version)
    expect("@" + "PROJECT_VERSION@" not in page, "manual page not configured")


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
    except Failure as e:
        print("FAILED: %s" % e)
        return 1
    finally:
        shutil.rmtree(prefix)
    print("passed")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

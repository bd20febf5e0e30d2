#!/usr/bin/env python3
"""Runs every recipe of the guides with the real tools.

Usage: guide_recipes_test.py TOLVAR SOURCE_DIR [NAME...]

Each block of README.md (and of README.zh-CN.md, when there is one) that
follows a line `<!-- recipe: NAME -->` is taken as it stands and run in a
fresh folder on a small document of the kind it is for, with the built
tolvar first on PATH; the PDF must then show the entries in the expected
order with the expected words. latexmk recipes go to the real latexmk; the
LaTeX Workshop recipes run their tools in order with the placeholders filled
in as the extension fills them; the TeXstudio commands run as TeXstudio runs
them, its placeholders filled in; command lists go to sh. The test fails
when a recipe it knows is missing from README.md, when a block has no way to
be run here, and when the two guides' blocks differ. With NAMEs only those
recipes run. Exit code 0: passed, 1: failed, 77: a tool is missing.
"""

import json
import os
import re
import shlex
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import recipe_docs as docs  # noqa: E402
import run_utf8_case as u  # noqa: E402
from run_case import SKIP, Failure, keep_failed_case  # noqa: E402

GUIDES = ("README.md", "README.zh-CN.md")
RECIPE = re.compile(r"^<!-- recipe: ([A-Za-z0-9_-]+) -->\n```[A-Za-z]*\n(.*?)^```$", re.M | re.S)
MARKER = re.compile(r"^<!-- recipe: ([^ ]*) -->$", re.M)


def recipes(path):
    """{name: block text} of a guide; a marker that is not followed at once
    by a fenced block, or a name given twice, is a failure."""
    with open(path, encoding="utf-8") as f:
        text = f.read()
    found = {}
    for m in RECIPE.finditer(text):
        if m.group(1) in found:
            raise Failure("%s: recipe %s given twice" % (path, m.group(1)))
        found[m.group(1)] = m.group(2)
    markers = MARKER.findall(text)
    stray = [n for n in markers if n not in found]
    if stray or len(markers) != len(found):
        raise Failure("%s: recipe markers without a fenced block right after them: %s"
                      % (path, stray or markers))
    return found


# ---------------------------------------------------------------- running

class Folder:
    """A fresh folder with one document, and the programs run in it."""

    def __init__(self, tolvar, path, kind, preamble=docs.BIBLATEX_PREAMBLE):
        self.path = path
        self.kind = kind
        self.env = dict(os.environ)
        self.env["PATH"] = os.path.dirname(tolvar) + os.pathsep + self.env.get("PATH", "")
        docs.make(kind, path, preamble)
        self.log = []

    def run(self, argv, what):
        p = subprocess.run(argv, cwd=self.path, env=self.env, capture_output=True,
                           stdin=subprocess.DEVNULL, timeout=300)
        out = (p.stdout + p.stderr).decode("utf-8", "replace")
        self.log.append("$ %s\n%s" % (" ".join(argv), out[-2000:]))
        if p.returncode != 0:
            raise Failure("%s: %s exited with %d:\n%s" % (what, " ".join(argv), p.returncode,
                                                          out[-3000:]))
        return out

    def check(self):
        docs.check(self.kind, self.path)


def latexmk_recipe(kind, args, check=None):
    def run(tolvar, folder, block, guide):
        f = Folder(tolvar, folder, kind)
        with open(os.path.join(folder, "latexmkrc"), "w", encoding="utf-8") as out:
            out.write(block)
        f.run(["latexmk", "-norc", "-r", "latexmkrc", *args, "-interaction=nonstopmode",
               docs.BASE], "latexmk")
        (check or Folder.check)(f)
    return run


def sh_recipe(kind, preamble=docs.BIBLATEX_PREAMBLE, check=None):
    def run(tolvar, folder, block, guide):
        f = Folder(tolvar, folder, kind, preamble)
        f.run(["sh", "-e", "-c", block], "the commands")
        (check or Folder.check)(f)
    return run


def command_kind(words):
    """The document a tool chain is for, from the programs it runs."""
    if "biber" in words:
        return "biber"
    if "xelatex" in words or "lualatex" in words:
        return "utf8"
    return "gbk"


# LaTeX Workshop fills these in from the root file; tools run in its folder.
def workshop_placeholders(root):
    folder, name = os.path.split(root)
    stem = os.path.splitext(name)[0]
    return {"%DOC%": os.path.join(folder, stem), "%DOCFILE%": stem, "%DIR%": folder,
            "%OUTDIR%": folder, "%DOC_EXT%": root, "%DOCFILE_EXT%": name,
            "%TMPDIR%": tempfile.gettempdir()}


def fill_workshop(arg, values):
    out = arg
    for k, v in values.items():
        out = out.replace(k, v)
    if re.search(r"%[A-Z_]+%", out):
        raise Failure("LaTeX Workshop has no placeholder %s" % re.search(r"%[A-Z_]+%", out)[0])
    return out


def vscode_recipe(tolvar, folder, block, guide):
    try:
        settings = json.loads(block)
    except ValueError as e:
        raise Failure("the LaTeX Workshop settings are no valid JSON: %s" % e)
    tools = {t["name"]: t for t in settings["latex-workshop.latex.tools"]}
    chains = settings["latex-workshop.latex.recipes"]
    if len(tools) != len(settings["latex-workshop.latex.tools"]):
        raise Failure("two LaTeX Workshop tools of one name")
    kinds = set()
    for n, chain in enumerate(chains):
        for t in chain["tools"]:
            if t not in tools:
                raise Failure("recipe %r names the unknown tool %r" % (chain["name"], t))
        kind = command_kind([tools[t]["command"] for t in chain["tools"]])
        kinds.add(kind)
        path = os.path.join(folder, str(n))
        os.mkdir(path)
        f = Folder(tolvar, path, kind)
        values = workshop_placeholders(os.path.join(path, docs.BASE + ".tex"))
        for t in chain["tools"]:
            tool = tools[t]
            f.run([tool["command"]] + [fill_workshop(a, values) for a in tool.get("args", [])],
                  "recipe %r, tool %r" % (chain["name"], t))
        try:
            f.check()
        except Failure as e:
            raise Failure("recipe %r: %s" % (chain["name"], e))
    if kinds != {"gbk", "utf8", "biber"}:
        raise Failure("the LaTeX Workshop recipes cover %s, not all three kinds" % sorted(kinds))


# ---------------------------------------------------------------- TeXstudio

# TeXstudio's own commands, as a fresh texstudio.ini has them (4.3); the
# Default Compiler is PdfLaTeX, or XeLaTeX as the guide says for UTF-8.
TEXSTUDIO = {
    "pdflatex": "pdflatex -synctex=1 -interaction=nonstopmode %.tex",
    "xelatex": "xelatex -synctex=1 -interaction=nonstopmode %.tex",
    "lualatex": "lualatex -synctex=1 -interaction=nonstopmode %.tex",
    "latex": "latex -src -interaction=nonstopmode %.tex",
    "bibtex": "bibtex %.aux",
    "biber": "biber %",
    "bibliography": "txs:///bibtex",
}
VIEWERS = ("view", "view-pdf", "view-pdf-internal", "view-pdf-external")


def texstudio_expand(command, root):
    """The command line after TeXstudio's expansion, as TeXstudio 4.3 does it:
    % the root file's name without extension, as one argument even with
    blanks in it; ?[c:|p{ext}:][arme]+[) ".] parts of its path, unquoted
    but for "; %% and ??. Commands run in the root file's folder."""
    base = os.path.splitext(root)[0]

    def path_parts(m):
        selector, parts, end = m.group(1) or "", m.group(2), m.group(3)
        path = root
        if selector.startswith("p{"):
            path = base + "." + selector[2:selector.index("}")]
        folder, name = os.path.split(path)
        stem, ext = os.path.splitext(name)
        text = ""
        for c in parts:
            text += {"a": folder + os.sep, "r": "", "m": stem, "e": ext.lstrip(".")}[c]
            if c == "m" and "e" in parts[parts.index(c) + 1:]:
                text += "."
        return {")": text, '"': '"%s"' % text, ".": text + ".", " ": text + " "}[end]

    out = re.sub(r"\?(c:|p\{[a-z]+\}:)?([arme]+)([)\". ])", path_parts, command)
    out = out.replace("%%", "\0").replace("%", shlex.quote(os.path.basename(base))).replace("\0", "%")
    return out.replace("??", "?")


def texstudio_run(f, chain, commands, engine, depth=0):
    """Runs a TeXstudio command or `|` list the way TeXstudio does: each part
    on its own, no shell, in the root document's folder."""
    if depth > 10:
        raise Failure("TeXstudio command nesting too deep: %s" % chain)
    root = os.path.join(f.path, docs.BASE + ".tex")
    for part in (p.strip() for p in chain.split("|")):
        m = re.fullmatch(r"txs:///([A-Za-z0-9_-]+)", part)
        if m:
            name = m.group(1)
            if name in VIEWERS:
                continue
            if name == "compile":
                texstudio_run(f, "txs:///" + engine, commands, engine, depth + 1)
            elif name in commands:
                texstudio_run(f, commands[name], commands, engine, depth + 1)
            else:
                raise Failure("TeXstudio has no command txs:///%s" % name)
        elif part.startswith("txs:///"):
            raise Failure("not a TeXstudio command call: %r" % part)
        else:
            f.run(shlex.split(texstudio_expand(part, root)), "TeXstudio command %r" % part)


def texstudio_block(block):
    """(user commands {id: command}, build chain or None) of a block: a
    user command is a line `userN:Name` and the command line after it; a
    line of txs:/// calls is the Build & View chain."""
    lines = [l for l in block.splitlines() if l.strip()]
    users, chain = {}, None
    i = 0
    while i < len(lines):
        m = re.fullmatch(r"(user\d+):\S.*", lines[i])
        if m and i + 1 < len(lines):
            users[m.group(1)] = lines[i + 1]
            i += 2
        elif lines[i].startswith("txs:///") and chain is None:
            chain = lines[i]
            i += 1
        else:
            raise Failure("a TeXstudio block line that is neither a user command nor a chain: %r"
                          % lines[i])
    return users, chain


def texstudio_recipe(uses=()):
    def run(tolvar, folder, block, guide):
        users, chain = texstudio_block(block)
        for other in uses:
            more, _ = texstudio_block(guide[other])
            users = {**more, **users}
        commands = {**TEXSTUDIO, **users}
        if chain is None:
            # A user command alone: the user runs it after F8 (Bibliography).
            if len(users) != 1:
                raise Failure("expected one user command, got %s" % users)
            chain = "txs:///compile | txs:///bibliography | txs:///%s | txs:///compile | " \
                    "txs:///compile" % next(iter(users))
        words = re.findall(r"[a-z0-9-]+", " ".join([chain] + list(users.values())))
        kind = "biber" if "biber" in words else "utf8" if "-utf8" in words else "gbk"
        engine = "pdflatex" if kind == "gbk" else "xelatex"
        f = Folder(tolvar, folder, kind)
        texstudio_run(f, chain, commands, engine)
        f.check()
    return run


# ---------------------------------------------------------------- .bib keys

def sortname_check(f):
    """authoryear with sortname keys: the Chinese entries in pinyin order
    among themselves; the English ones sort by their names among them."""
    docs.check_log(docs.read(f.path, docs.BASE + ".log").decode("utf-8", "replace"))
    _, refs = u.split_text(docs.pdf_text(f.path))
    _, order = u.entries(refs, u.CITED)
    u.expect_order([k for k in order if k in u.PINYIN], u.PINYIN)
    bib = docs.read(f.path, "utf8.bib").decode("utf-8")
    chinese = [k for k, (_, _, zh) in u.ENTRIES.items() if zh]
    if len(re.findall(r"^\s*sortname\s*=", bib, re.M)) != len(chinese):
        raise Failure("expected a sortname field in each Chinese entry:\n" + bib)


def biblatex_preamble_recipe(tolvar, folder, block, guide):
    """The preamble lines, and the numbered variant in the comment, each
    built with the biber commands of the guide."""
    variants = [block]
    for line in block.splitlines():
        if line.startswith(r"% \usepackage"):
            variants.append("\n".join(line[2:] if l == line else l for l in block.splitlines()
                                      if not l.startswith(r"\usepackage[")))
    if len(variants) < 2:
        raise Failure("no numbered variant in the preamble block")
    for n, preamble in enumerate(variants):
        path = os.path.join(folder, str(n))
        os.mkdir(path)
        preamble = preamble.replace("refs.bib", "utf8.bib")
        sh_recipe("biber", preamble)(tolvar, path, guide["commands-biber"], guide)


RUNNERS = {
    "latexmk-pdflatex": latexmk_recipe("gbk", ["-pdf"]),
    "latexmk-xelatex-bibtex": latexmk_recipe("utf8", []),
    "latexmk-xelatex-biber": latexmk_recipe("biber", []),
    "texstudio-user-command": texstudio_recipe(),
    "texstudio-build-chain": texstudio_recipe(uses=["texstudio-user-command"]),
    "texstudio-biber-build-chain": texstudio_recipe(),
    "vscode-tools-recipes": vscode_recipe,
    "commands-pdflatex": sh_recipe("gbk"),
    "commands-xelatex-bibtex": sh_recipe("utf8"),
    "commands-biber": sh_recipe("biber"),
    "keys-gbt7714-bibtex": sh_recipe("utf8", check=lambda f: check_keyed_gbt7714(f)),
    "latexmk-gbt7714-keys": latexmk_recipe("utf8", [], check=lambda f: check_keyed_gbt7714(f)),
    "keys-gb7714-2015-biber": biblatex_preamble_recipe,
    "keys-biblatex-sortname": sh_recipe(
        "biber", r"\usepackage[backend=biber,style=authoryear]{biblatex}" "\n"
        r"\addbibresource{utf8.bib}" "\n", check=sortname_check),
}
NEEDS = {
    "latexmk-pdflatex": ["gbk", "latexmk", "perl"],
    "latexmk-xelatex-bibtex": ["utf8", "latexmk", "perl"],
    "latexmk-xelatex-biber": ["biber", "latexmk", "perl"],
    "vscode-tools-recipes": ["gbk", "utf8", "biber"],
    "texstudio-user-command": ["gbk"], "texstudio-build-chain": ["gbk"],
    "texstudio-biber-build-chain": ["biber"],
    "commands-pdflatex": ["gbk"], "commands-xelatex-bibtex": ["utf8"],
    "commands-biber": ["biber"], "keys-gbt7714-bibtex": ["utf8"],
    "latexmk-gbt7714-keys": ["utf8", "latexmk", "perl"],
    "keys-gb7714-2015-biber": ["biber"], "keys-biblatex-sortname": ["biber"],
}


def check_keyed_gbt7714(f):
    """gbt7714 sorting by the keys alone: the .bbl is BibTeX's, unprocessed,
    and BibTeX found a key for every Chinese entry."""
    docs.check_log(docs.read(f.path, docs.BASE + ".log").decode("utf-8", "replace"))
    if docs.read(f.path, docs.BASE + ".bbl").startswith(u.MARKER):
        raise Failure("the .bbl went through tolvar; the keys alone must order it")
    blg = docs.read(f.path, docs.BASE + ".blg").decode("utf-8", "replace")
    if "empty key" in blg:
        raise Failure("BibTeX found entries without a key:\n" + blg)
    _, refs = u.split_text(docs.pdf_text(f.path))
    texts, order = u.entries(refs, u.CITED)
    u.expect_order(order, u.PINYIN + u.ENGLISH)


def missing_for(name):
    lack = []
    for need in NEEDS[name]:
        if need in docs.NEEDS:
            lack += docs.missing(need)
        elif shutil.which(need) is None:
            lack.append(need)
    return sorted(set(lack))


def compare_guides(found):
    """The Chinese guide, when there is one, has the same blocks."""
    if GUIDES[1] not in found:
        return []
    en, zh = found[GUIDES[0]], found[GUIDES[1]]
    problems = ["%s: no recipe %s" % (GUIDES[1], n) for n in sorted(set(en) - set(zh))]
    problems += ["%s: recipe %s that %s does not have" % (GUIDES[1], n, GUIDES[0])
                 for n in sorted(set(zh) - set(en))]
    problems += ["recipe %s differs between the guides" % n
                 for n in sorted(set(en) & set(zh)) if en[n] != zh[n]]
    return problems


def main(argv):
    if len(argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    tolvar, source = os.path.abspath(argv[1]), argv[2]
    only = argv[3:]
    try:
        found = {g: recipes(os.path.join(source, g)) for g in GUIDES
                 if os.path.exists(os.path.join(source, g))}
    except Failure as e:
        print("FAILED: %s" % e)
        return 1
    readme = found.get(GUIDES[0], {})
    problems = ["README.md: no recipe %s" % n for n in RUNNERS if n not in readme]
    problems += ["%s: recipe %s has no way to be run here" % (g, n)
                 for g, blocks in found.items() for n in blocks if n not in RUNNERS]
    problems += compare_guides(found)
    if problems:
        print("FAILED:\n  " + "\n  ".join(problems))
        return 1
    passed, skipped, failed = 0, [], []
    for name in RUNNERS:
        if only and name not in only:
            continue
        lack = missing_for(name)
        if lack:
            skipped.append("%s (missing %s)" % (name, ", ".join(lack)))
            continue
        with tempfile.TemporaryDirectory(prefix="tolvar-recipe-") as folder:
            try:
                RUNNERS[name](tolvar, folder, readme[name], readme)
                passed += 1
                print("passed %s" % name)
            except Failure as e:
                failed.append(name)
                print("FAILED %s: %s" % (name, e))
                keep_failed_case(folder, name)
    for s in skipped:
        print("skipped %s" % s)
    print("%d passed, %d failed, %d skipped" % (passed, len(failed), len(skipped)))
    if failed:
        return 1
    return SKIP if skipped else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

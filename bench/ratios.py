#!/usr/bin/env python3
"""Times tolvar against copying the same file, in one run.

On the 10,000-entry plainnat bibliography of sort_bench.py (made with the
real bibtex), times as whole processes, in turn, round after round:
`cp FILE OTHER` (the baseline), `tolvar -s FILE` and `tolvar -s -sort=MODE
FILE` for py, bs, bhs and uni. A fresh copy of the input is put in place
before every timed run, outside the timing. Prints the median time of each
and the median of its ratios to the baseline of the same round, for wall
time and for CPU time (user + system; steadier on a busy machine).

Then: the start-up cost of the dictionary (median of `-sort=py` minus the
unsorted run on a .bbl of three entries), and the peak memory of `tolvar -s`
and `tolvar -s -sort=py` on a generated 50 MB .bbl (make_bbl.py), against
the file size.

When `tolvar --help` lists -keys: `tolvar -s -keys refs.bib` against `cp
refs.bib copy.bib`, alternating in the same way, on a generated .bib of as
many entries (make_keys_bib.py: mostly Chinese, realistic fields), once
unkeyed, where it adds a key to every Chinese entry (target: within 3x cp),
and once as it keyed it, where it has nothing to add and writes nothing
(target: within 2x cp). Each run's result is checked outside the timing.

When `tolvar --help` lists -utf8, everything is done again on the same
bibliographies in UTF-8, with -utf8.

    bench/ratios.py [path/to/tolvar] [--runs 21] [--entries 10000] [--megabytes 50] [--keys-only]

Build tolvar in Release first:
    cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release && cmake --build build-release -j2
"""
import argparse
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_keys_bib  # noqa: E402  (the .bib of the -keys timings)
import sort_bench  # noqa: E402  (the bibliography generator)

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SORT_MODES = ["py", "bs", "bhs", "uni"]
SMALL_BBL = """\\begin{thebibliography}{3}

\\bibitem[\u5f20\u4f1f(2001)]{a}
\u5f20\u4f1f.
\\newblock \u6c49\u5b57\u6392\u5e8f.

\\bibitem[Smith(1999)]{b}
John Smith.
\\newblock Sorting, pages 1--2.

\\bibitem[\u674e\u5a1c(2003)]{c}
\u674e\u5a1c and \u738b\u5f3a.
\\newblock \u6587\u732e\u7814\u7a76.

\\end{thebibliography}
"""


def run(command, cwd):
    """Wall seconds, CPU seconds (user + system) and peak resident kilobytes
    of one run of `command`."""
    start = time.perf_counter()
    process = subprocess.Popen(command, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(process.pid, 0)
    elapsed = time.perf_counter() - start
    process.returncode = os.waitstatus_to_exitcode(status)
    error = process.stderr.read()
    process.stderr.close()
    if process.returncode != 0:
        sys.exit(f"{' '.join(command)} failed ({process.returncode}): {error.decode(errors='replace')}")
    return elapsed, usage.ru_utime + usage.ru_stime, usage.ru_maxrss


def alternate(commands, master, work, runs, target="paper.bbl", masters=None, checks=None):
    """Runs `commands` (name -> argument list) in turn for `runs` rounds
    after one warm-up round, a fresh copy of `master` (or of masters[name])
    in place as `target` before each, and what a run left behind removed.
    checks[name], when given, is called after each run of `name`, outside
    the timing, with the path of `target`. Returns name -> list of run()
    figures."""
    results = {name: [] for name in commands}
    suffix = os.path.splitext(target)[1]
    for round_number in range(runs + 1):
        for name, command in commands.items():
            for leftover in (target + ".bak", target + ".tmp", "copy" + suffix):
                path = os.path.join(work, leftover)
                if os.path.exists(path):
                    os.remove(path)
            shutil.copyfile((masters or {}).get(name, master), os.path.join(work, target))
            figures = run(command, work)
            if checks and name in checks:
                checks[name](os.path.join(work, target))
            if round_number > 0:
                results[name].append(figures)
    return results


def spread(values):
    return f"median {statistics.median(values):7.2f}  (min {min(values):7.2f}, max {max(values):7.2f})"


def ratios_table(tolvar, options, master, work, runs):
    commands = {"cp FILE OTHER": ["cp", "paper.bbl", "copy.bbl"],
                "tolvar -s": [tolvar, "-s"] + options + ["paper.bbl"]}
    for mode in SORT_MODES:
        commands[f"tolvar -s -sort={mode}"] = [tolvar, "-s", f"-sort={mode}"] + options + ["paper.bbl"]
    results = alternate(commands, master, work, runs)
    print_ratios(results, {name: "cp FILE OTHER" for name in commands if name != "cp FILE OTHER"})


def print_ratios(results, baselines, width=24):
    """Prints each command's times and, for those in `baselines` (name ->
    the name of its cp), the ratios to its cp of the same round. Returns
    name -> (median wall ratio, median cpu ratio)."""
    medians = {}
    for what, figure in (("wall", 0), ("cpu", 1)):
        print(f"  {what + ' time, ms':<{width}} {'':<42} ratio to cp, same round")
        for name, figures in results.items():
            line = f"  {name:<{width}} {spread([f[figure] * 1000 for f in figures])}"
            if name in baselines:
                ratios = [f[figure] / base[figure] for f, base in zip(figures, results[baselines[name]])]
                medians.setdefault(name, []).append(statistics.median(ratios))
                line += f"  {spread(ratios)}"
            print(line)
    return medians


def keys_table(tolvar, options, masters, work, runs):
    """`tolvar -s -keys refs.bib` against `cp refs.bib copy.bib`: on the
    unkeyed file, which it adds keys to, and on the file it keyed, where it
    has nothing to add. Each run is checked afterwards, outside the timing:
    the one that adds keys must leave the keyed file and the old bytes as
    the .bak, the other must leave the file as it was and write no .bak."""
    with open(masters["unkeyed"], "rb") as unkeyed, open(masters["keyed"], "rb") as keyed:
        expected = {"unkeyed": unkeyed.read(), "keyed": keyed.read()}

    def leaves(contents, backup):
        def check(path):
            with open(path, "rb") as result:
                if result.read() != contents:
                    sys.exit(f"{path}: not the keyed file after tolvar -keys")
            if backup is None:
                if os.path.exists(path + ".bak"):
                    sys.exit(f"{path}.bak written though there was nothing to add")
            else:
                with open(path + ".bak", "rb") as bak:
                    if bak.read() != backup:
                        sys.exit(f"{path}.bak: not the old bytes")
        return check

    keys = [tolvar, "-s"] + options + ["-keys", "refs.bib"]
    shown = " ".join(["tolvar -s"] + options + ["-keys"])
    add, nothing = f"{shown}, adds keys", f"{shown}, nothing to add"
    commands = {"cp, unkeyed file": ["cp", "refs.bib", "copy.bib"], add: keys,
                "cp, keyed file": ["cp", "refs.bib", "copy.bib"], nothing: keys}
    inputs = {"cp, unkeyed file": masters["unkeyed"], add: masters["unkeyed"],
              "cp, keyed file": masters["keyed"], nothing: masters["keyed"]}
    checks = {add: leaves(expected["keyed"], expected["unkeyed"]), nothing: leaves(expected["keyed"], None)}
    results = alternate(commands, None, work, runs, target="refs.bib", masters=inputs, checks=checks)
    medians = print_ratios(results, {add: "cp, unkeyed file", nothing: "cp, keyed file"}, width=38)
    for name, target in ((add, 3), (nothing, 2)):
        wall, cpu = medians[name]
        print(f"  target {name}: within {target}x cp: wall {wall:.2f}x "
              f"{'met' if wall <= target else 'MISSED'}, cpu {cpu:.2f}x {'met' if cpu <= target else 'MISSED'}")


def startup(tolvar, options, master, work, runs):
    commands = {"unsorted": [tolvar, "-s"] + options + ["paper.bbl"],
                "sorted": [tolvar, "-s", "-sort=py"] + options + ["paper.bbl"]}
    results = alternate(commands, master, work, runs)
    for what, figure in (("wall", 0), ("cpu", 1)):
        differences = [(sorted_run[figure] - unsorted_run[figure]) * 1000
                       for unsorted_run, sorted_run in zip(results["unsorted"], results["sorted"])]
        unsorted_ms = statistics.median(f[figure] * 1000 for f in results["unsorted"])
        print(f"  small .bbl, {what}: tolvar -s {unsorted_ms:.2f} ms; -sort=py minus -s, same round, ms: "
              f"{spread(differences)}")


def peak_memory(tolvar, options, master, work):
    """Peak resident memory, as GNU time reports it: a child started from
    this script would count the script's own memory as well."""
    size = os.path.getsize(master)
    report = os.path.join(work, "peak")
    for extra in ([], ["-sort=py"]):
        command = ["/usr/bin/time", "-f", "%M", "-o", report, tolvar, "-s"] + extra + options + ["paper.bbl"]
        alternate({"run": command}, master, work, 1)
        with open(report) as kilobytes:
            peak = int(kilobytes.read().split()[-1]) * 1024
        print(f"  {size / 1e6:.1f} MB .bbl, tolvar -s {' '.join(extra + options):<16} peak memory "
              f"{peak / 1e6:7.1f} MB = {peak / size:.2f} x the file size")


def accepts(tolvar, option):
    help_text = subprocess.run([tolvar, "--help"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout
    return option.encode() in help_text


def make_bib_masters(tolvar, entries, encoding, options, work):
    """The generated .bib (make_keys_bib.py) in `encoding`, and the same
    with the keys tolvar adds, made by one run of tolvar on a copy."""
    stem = os.path.join(work, f"keys-{encoding}")
    masters = {"unkeyed": stem + ".bib", "keyed": stem + "-keyed.bib"}
    with open(masters["unkeyed"], "wb") as bib:
        bib.write(make_keys_bib.bibliography(entries).encode(encoding))
    shutil.copyfile(masters["unkeyed"], os.path.join(work, "refs.bib"))
    result = subprocess.run([tolvar] + options + ["-keys", "refs.bib"], cwd=work, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE)
    if result.returncode != 0 or result.stderr:
        sys.exit(f"tolvar -keys on the generated .bib ({encoding}): exit {result.returncode}, "
                 f"{result.stderr.decode(errors='replace')}")
    os.rename(os.path.join(work, "refs.bib"), masters["keyed"])
    os.remove(os.path.join(work, "refs.bib.bak"))
    summary = result.stdout.decode(errors="replace").strip().splitlines()[-1]
    # Every Chinese entry (citation key zh...) has a Chinese first name.
    with open(masters["unkeyed"], "rb") as unkeyed:
        chinese = len(re.findall(rb"^@[a-zA-Z]+[{]zh", unkeyed.read(), re.MULTILINE))
    if f" {chinese} keys added, 0 kept" not in summary:
        sys.exit(f"tolvar -keys on the generated .bib ({encoding}): {summary}; expected {chinese} keys added")
    return masters, summary


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("tolvar", nargs="?", default=os.path.join(ROOT, "build-release", "tolvar"))
    parser.add_argument("--runs", type=int, default=21)
    parser.add_argument("--entries", type=int, default=10000)
    parser.add_argument("--megabytes", type=float, default=50)
    parser.add_argument("--keys-only", action="store_true", help="time only the -keys runs on the .bib")
    args = parser.parse_args()
    tolvar = os.path.abspath(args.tolvar)
    if not args.keys_only and not shutil.which("bibtex"):
        sys.exit("bibtex is not installed")
    if not args.keys_only and not os.access("/usr/bin/time", os.X_OK):
        sys.exit("GNU time (/usr/bin/time) is not installed")
    if not os.access(tolvar, os.X_OK):
        sys.exit(f"no program {tolvar}; build tolvar in Release first")
    with_keys = accepts(tolvar, "-keys")
    if args.keys_only and not with_keys:
        sys.exit("tolvar --help lists no -keys")

    with tempfile.TemporaryDirectory(prefix="tolvar-ratios-") as work:
        shutil.copyfile(os.path.join(ROOT, "data", "GBK2py.inf"), os.path.join(work, "GBK2py.inf"))
        encodings = [("GBK", "gbk", [])]
        if accepts(tolvar, "-utf8"):
            encodings.append(("UTF-8", "utf8", ["-utf8"]))
        else:
            print("(tolvar does not accept -utf8: GBK only)")
        masters = {}
        if not args.keys_only:
            with open(os.path.join(work, "refs.bib"), "wb") as bib:
                bib.write(sort_bench.bibliography(args.entries))
            with open(os.path.join(work, "paper.aux"), "w") as aux:
                aux.write("\\relax\n\\citation{*}\n\\bibstyle{plainnat}\n\\bibdata{refs}\n")
            subprocess.run(["bibtex", "paper"], cwd=work, stdout=subprocess.DEVNULL, check=True)
            masters["gbk"] = {"large": os.path.join(work, "large.gbk"), "small": os.path.join(work, "small.gbk"),
                              "huge": os.path.join(work, "huge.gbk")}
            os.rename(os.path.join(work, "paper.bbl"), masters["gbk"]["large"])
            with open(masters["gbk"]["small"], "wb") as small:
                small.write(SMALL_BBL.encode("gbk"))
            subprocess.run([sys.executable, os.path.join(ROOT, "bench", "make_bbl.py"), masters["gbk"]["huge"],
                            str(args.megabytes)], check=True)
            if len(encodings) > 1:
                masters["utf8"] = {}
                for name, path in masters["gbk"].items():
                    masters["utf8"][name] = path[:-3] + "utf8"
                    with open(path, "rb") as source, open(masters["utf8"][name], "wb") as target:
                        target.write(source.read().decode("gbk", errors="replace").encode("utf-8"))
        if not with_keys:
            print("(tolvar --help lists no -keys: no .bib timings)")

        for title, key, options in encodings:
            if not args.keys_only:
                size = os.path.getsize(masters[key]["large"])
                print(f"{title}: {args.entries} entries, {size / 1e6:.2f} MB; {args.runs} rounds after a warm-up")
                ratios_table(tolvar, options, masters[key]["large"], work, args.runs)
                startup(tolvar, options, masters[key]["small"], work, args.runs)
                peak_memory(tolvar, options, masters[key]["huge"], work)
            if with_keys:
                bibs, summary = make_bib_masters(tolvar, args.entries, "gbk" if key == "gbk" else "utf-8", options,
                                                 work)
                print(f"{title} .bib: {args.entries} entries, {os.path.getsize(bibs['unkeyed']) / 1e6:.2f} MB "
                      f"unkeyed, {os.path.getsize(bibs['keyed']) / 1e6:.2f} MB keyed ({summary}); "
                      f"{args.runs} rounds after a warm-up")
                keys_table(tolvar, options, bibs, work, args.runs)


if __name__ == "__main__":
    main()

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

When `tolvar --help` lists -utf8, everything is done again on the same
bibliographies converted to UTF-8, with -utf8.

    bench/ratios.py [path/to/tolvar] [--runs 21] [--entries 10000] [--megabytes 50]

Build tolvar in Release first:
    cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release && cmake --build build-release -j2
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
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


def alternate(commands, master, work, runs):
    """Runs `commands` (name -> argument list, each ending with the .bbl
    name) in turn for `runs` rounds after one warm-up round, a fresh copy of
    `master` in place before each. Returns name -> list of run() figures."""
    results = {name: [] for name in commands}
    for round_number in range(runs + 1):
        for name, command in commands.items():
            for leftover in ("paper.bbl.bak", "paper.bbl.tmp", "copy.bbl"):
                path = os.path.join(work, leftover)
                if os.path.exists(path):
                    os.remove(path)
            shutil.copyfile(master, os.path.join(work, "paper.bbl"))
            figures = run(command, work)
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
    baseline = results["cp FILE OTHER"]
    for what, figure in (("wall", 0), ("cpu", 1)):
        print(f"  {what + ' time, ms':<24} {'':<42} ratio to cp, same round")
        for name, figures in results.items():
            line = f"  {name:<24} {spread([f[figure] * 1000 for f in figures])}"
            if name != "cp FILE OTHER":
                line += f"  {spread([f[figure] / base[figure] for f, base in zip(figures, baseline)])}"
            print(line)


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


def accepts_utf8(tolvar):
    help_text = subprocess.run([tolvar, "--help"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout
    return b"-utf8" in help_text


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("tolvar", nargs="?", default=os.path.join(ROOT, "build-release", "tolvar"))
    parser.add_argument("--runs", type=int, default=21)
    parser.add_argument("--entries", type=int, default=10000)
    parser.add_argument("--megabytes", type=float, default=50)
    args = parser.parse_args()
    tolvar = os.path.abspath(args.tolvar)
    if not shutil.which("bibtex"):
        sys.exit("bibtex is not installed")
    if not os.access("/usr/bin/time", os.X_OK):
        sys.exit("GNU time (/usr/bin/time) is not installed")
    if not os.access(tolvar, os.X_OK):
        sys.exit(f"no program {tolvar}; build tolvar in Release first")

    with tempfile.TemporaryDirectory(prefix="tolvar-ratios-") as work:
        shutil.copyfile(os.path.join(ROOT, "data", "GBK2py.inf"), os.path.join(work, "GBK2py.inf"))
        with open(os.path.join(work, "refs.bib"), "wb") as bib:
            bib.write(sort_bench.bibliography(args.entries))
        with open(os.path.join(work, "paper.aux"), "w") as aux:
            aux.write("\\relax\n\\citation{*}\n\\bibstyle{plainnat}\n\\bibdata{refs}\n")
        subprocess.run(["bibtex", "paper"], cwd=work, stdout=subprocess.DEVNULL, check=True)
        masters = {"gbk": {"large": os.path.join(work, "large.gbk"), "small": os.path.join(work, "small.gbk"),
                           "huge": os.path.join(work, "huge.gbk")}}
        os.rename(os.path.join(work, "paper.bbl"), masters["gbk"]["large"])
        with open(masters["gbk"]["small"], "wb") as small:
            small.write(SMALL_BBL.encode("gbk"))
        subprocess.run([sys.executable, os.path.join(ROOT, "bench", "make_bbl.py"), masters["gbk"]["huge"],
                        str(args.megabytes)], check=True)
        encodings = [("GBK", "gbk", [])]
        if accepts_utf8(tolvar):
            masters["utf8"] = {}
            for name, path in masters["gbk"].items():
                masters["utf8"][name] = path[:-3] + "utf8"
                with open(path, "rb") as source, open(masters["utf8"][name], "wb") as target:
                    target.write(source.read().decode("gbk", errors="replace").encode("utf-8"))
            encodings.append(("UTF-8", "utf8", ["-utf8"]))
        else:
            print("(tolvar does not accept -utf8: GBK only)")

        for title, key, options in encodings:
            size = os.path.getsize(masters[key]["large"])
            print(f"{title}: {args.entries} entries, {size / 1e6:.2f} MB; {args.runs} rounds after a warm-up")
            ratios_table(tolvar, options, masters[key]["large"], work, args.runs)
            startup(tolvar, options, masters[key]["small"], work, args.runs)
            peak_memory(tolvar, options, masters[key]["huge"], work)


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Times tolvar's sort modes against bibtex on generated GBK bibliographies.

Generates bibliographies of 1,000 and 10,000 entries (Chinese and English
authors, every standard entry type), makes each .bbl with the real bibtex
and plainnat, then times bibtex and `tolvar -sort=py`, `-sort=bs`,
`-sort=bhs`, `-sort=uni` and the plain conversion on the same .bbl (a fresh
copy for every run, since tolvar rewrites it). Prints each time as a ratio
to bibtex's time.

    bench/sort_bench.py [path/to/tolvar] [--sizes 1000,10000] [--runs 3]

Build tolvar in Release first:
    cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release && cmake --build build-release -j2
"""
import argparse
import os
import random
import resource
import shutil
import subprocess
import sys
import tempfile
import time

SURNAMES = "张王李赵刘陈杨黄周吴徐孙胡朱高林何郭马罗梁宋郑谢韩唐冯于董萧程曹袁邓许傅沈曾彭吕苏卢蒋蔡贾丁魏薛叶阎余潘杜戴夏钟汪田任姜范方石姚谭廖邹熊金陆郝孔白崔康毛邱秦江史顾侯邵孟龙万段雷钱汤尹黎易常武乔贺赖龚文单"
COMPOUNDS = ["欧阳", "司马", "诸葛", "上官", "东方", "皇甫", "尉迟", "公孙", "令狐", "慕容"]
GIVEN = "伟芳娜敏静丽强磊军洋勇艳杰娟涛明超秀英华玉兰平刚桂霞建国志红云飞鹏辉晓东亮林海波宁斌宇浩凯健俊帆鑫文博"
WORDS = "研究分析方法系统设计理论应用模型算法数据网络信息技术发展问题实验结构过程管理控制优化评价中国汉字排序文献"
FIRST = ["John", "Mary", "Peter", "Anna", "David", "Laura", "James", "Susan", "Robert", "Linda",
         "Michael", "Karen", "Thomas", "Emma", "Daniel", "Sophie", "Paul", "Claire", "Mark", "Julia"]
LAST = ["Smith", "Johnson", "Williams", "Brown", "Jones", "Miller", "Davis", "Wilson", "Anderson",
        "Taylor", "Thomas", "Moore", "Martin", "Jackson", "Thompson", "White", "Harris", "Clark",
        "Lewis", "Robinson", "Walker", "Young", "Allen", "King", "Wright", "Scott", "Green", "Baker"]
EN_WORDS = ["analysis", "of", "sorting", "methods", "for", "large", "bibliographies", "a", "study",
            "on", "text", "processing", "systems", "and", "their", "applications", "theory", "data"]

TYPES = {
    "article": ["journal", "volume", "pages"],
    "book": ["publisher", "address"],
    "inproceedings": ["booktitle", "pages"],
    "incollection": ["booktitle", "publisher", "editor", "pages"],
    "inbook": ["publisher", "chapter"],
    "phdthesis": ["school"],
    "mastersthesis": ["school"],
    "techreport": ["institution", "number"],
    "manual": ["organization"],
    "booklet": ["howpublished"],
    "misc": ["howpublished"],
    "unpublished": ["note"],
    "proceedings": ["publisher"],
}


def chinese_name(rng):
    surname = rng.choice(COMPOUNDS) if rng.random() < 0.05 else rng.choice(SURNAMES)
    return surname + "".join(rng.choice(GIVEN) for _ in range(rng.choice((1, 2, 2))))


def english_name(rng):
    if rng.random() < 0.5:
        return f"{rng.choice(LAST)}, {rng.choice(FIRST)}"
    return f"{rng.choice(FIRST)} {rng.choice('ABCDEFGHJKLMNPRSTW')}. {rng.choice(LAST)}"


def authors(rng, chinese):
    make = chinese_name if chinese else english_name
    return " and ".join(make(rng) for _ in range(rng.choice((1, 1, 2, 2, 3, 4))))


def title(rng, chinese):
    if chinese:
        return "".join(rng.choice(WORDS) for _ in range(rng.randint(4, 14)))
    return " ".join(rng.choice(EN_WORDS) for _ in range(rng.randint(3, 10))).capitalize()


def field_value(rng, field, chinese):
    if field in ("volume", "number", "chapter"):
        return str(rng.randint(1, 40))
    if field == "pages":
        start = rng.randint(1, 900)
        return f"{start}--{start + rng.randint(1, 30)}"
    if field == "editor":
        return authors(rng, chinese)
    return title(rng, chinese)


def bibliography(count, seed=1):
    rng = random.Random(seed)
    entries = []
    for i in range(count):
        entry_type = rng.choice(list(TYPES))
        chinese = rng.random() < 0.6
        fields = {"title": title(rng, chinese), "year": str(rng.randint(1950, 2025))}
        name_field = "editor" if entry_type == "proceedings" else "author"
        fields[name_field] = authors(rng, chinese)
        for field in TYPES[entry_type]:
            fields.setdefault(field, field_value(rng, field, chinese))
        body = ",\n".join(f"  {k} = {{{v}}}" for k, v in fields.items())
        entries.append(f"@{entry_type}{{e{i},\n{body}\n}}\n")
    return "\n".join(entries).encode("gbk")


def child_cpu():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def timed(command, cwd):
    """Wall-clock and CPU (user + system) seconds of one run."""
    cpu_start = child_cpu()
    start = time.perf_counter()
    result = subprocess.run(command, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    elapsed = time.perf_counter() - start
    if result.returncode != 0:
        sys.exit(f"{' '.join(command)} failed ({result.returncode}): {result.stderr.decode(errors='replace')}")
    return elapsed, child_cpu() - cpu_start


def best_of(runs, prepare, command, cwd):
    times = []
    for _ in range(runs):
        prepare()
        times.append(timed(command, cwd))
    return min(t[0] for t in times), min(t[1] for t in times)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("tolvar", nargs="?", default="build-release/tolvar")
    parser.add_argument("--sizes", default="1000,10000")
    parser.add_argument("--runs", type=int, default=3)
    args = parser.parse_args()
    tolvar = os.path.abspath(args.tolvar)
    if not shutil.which("bibtex"):
        sys.exit("bibtex is not installed")
    if not os.access(tolvar, os.X_OK):
        sys.exit(f"no program {tolvar}; build tolvar in Release first")

    modes = [("-sort=py", "py"), ("-sort=bs", "bs"), ("-sort=bhs", "bhs"), ("-sort=uni", "uni"),
             (None, "convert")]
    print("Best of %d runs; wall-clock seconds and ratio to bibtex, then CPU (user + system)." % args.runs)
    print(f"{'entries':>8} {'':>4} {'bibtex':>8} " + " ".join(f"{name:>14}" for _, name in modes))
    for count in (int(n) for n in args.sizes.split(",")):
        with tempfile.TemporaryDirectory(prefix="tolvar-bench-") as work:
            with open(os.path.join(work, "refs.bib"), "wb") as bib:
                bib.write(bibliography(count))
            with open(os.path.join(work, "paper.aux"), "w") as aux:
                aux.write("\\relax\n\\citation{*}\n\\bibstyle{plainnat}\n\\bibdata{refs}\n")

            def clean_bibtex():
                for name in ("paper.bbl", "paper.blg"):
                    if os.path.exists(os.path.join(work, name)):
                        os.remove(os.path.join(work, name))

            bibtex_time = best_of(args.runs, clean_bibtex, ["bibtex", "paper"], work)
            master = os.path.join(work, "master.bbl")
            shutil.copyfile(os.path.join(work, "paper.bbl"), master)

            def fresh_bbl():
                for name in ("paper.bbl.bak", "paper.bbl.tmp"):
                    if os.path.exists(os.path.join(work, name)):
                        os.remove(os.path.join(work, name))
                shutil.copyfile(master, os.path.join(work, "paper.bbl"))

            wall, cpu = [], []
            for option, _ in modes:
                command = [tolvar, "-s"] + ([option] if option else []) + ["paper.bbl"]
                elapsed, used = best_of(args.runs, fresh_bbl, command, work)
                wall.append(f"{elapsed:7.3f}s {elapsed / bibtex_time[0]:5.2f}x")
                cpu.append(f"{used:7.3f}s {used / max(bibtex_time[1], 1e-9):5.2f}x")
            print(f"{count:>8} {'wall':>4} {bibtex_time[0]:>7.3f}s " + " ".join(f"{c:>14}" for c in wall))
            print(f"{'':>8} {'cpu':>4} {bibtex_time[1]:>7.3f}s " + " ".join(f"{c:>14}" for c in cpu))


if __name__ == "__main__":
    main()

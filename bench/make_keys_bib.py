#!/usr/bin/env python3
"""Writes a generated .bib for timing `tolvar -keys`.

Mostly Chinese entries (about four in five) laid out as reference managers
and people write them: aligned "=" or not, {..} and ".." values, bare
numbers, month macros, @string journal names used with #, DOIs, URLs,
keywords and, for many Chinese entries, an abstract of a few hundred
characters; surnames that read otherwise as surnames (单, 曾, 区, 解, 仇) and
compound surnames; some entries with editors only; a few English entries
with a Chinese coauthor. The rest are English. Every entry reads without a
fault. The text holds only characters that GBK has, so that the GBK and the
UTF-8 file say the same.

    bench/make_keys_bib.py OUT.bib [--entries 10000] [--encoding gbk|utf-8] [--crlf]
"""
import argparse
import random

SURNAMES = ("张王李赵刘陈杨黄周吴徐孙胡朱高林何郭马罗梁宋郑谢韩唐冯于董萧程曹袁邓许傅沈彭吕苏卢蒋蔡贾丁魏薛叶阎余"
            "潘杜戴夏钟汪田任姜范方石姚谭廖邹熊金陆郝孔白崔康毛邱秦江史顾侯邵孟龙万段雷钱汤尹黎易常武乔贺赖龚文")
READ_OTHERWISE = "单曾区解仇查朴"
COMPOUNDS = ["欧阳", "司马", "诸葛", "上官", "东方", "皇甫", "尉迟", "公孙", "令狐", "慕容", "司徒", "夏侯"]
GIVEN = "伟芳娜敏静丽强磊军洋勇艳杰娟涛明超秀英华玉兰平刚桂霞建国志红云飞鹏辉晓东亮林海波宁斌宇浩凯健俊帆鑫文博长乐重行"
WORDS = ["研究", "分析", "方法", "系统", "设计", "理论", "应用", "模型", "算法", "数据", "网络", "信息", "技术",
         "发展", "问题", "实验", "结构", "过程", "管理", "控制", "优化", "评价", "中国", "汉字", "排序", "文献",
         "基于", "的", "与", "及其", "若干", "新型", "大规模", "深度学习", "知识图谱", "自然语言", "处理", "检索"]
JOURNALS = ["计算机学报", "软件学报", "中文信息学报", "中国科学：信息科学", "自动化学报", "电子学报",
            "清华大学学报（自然科学版）", "北京大学学报（哲学社会科学版）", "中国语文", "语言文字应用"]
PUBLISHERS = [("中华书局", "北京"), ("商务印书馆", "北京"), ("科学出版社", "北京"), ("高等教育出版社", "北京"),
              ("上海古籍出版社", "上海"), ("清华大学出版社", "北京"), ("浙江大学出版社", "杭州")]
SCHOOLS = ["北京大学", "清华大学", "复旦大学", "南京大学", "浙江大学", "中国科学院大学", "武汉大学"]
FIRST = ["John", "Mary", "Peter", "Anna", "David", "Laura", "James", "Susan", "Robert", "Linda",
         "Michael", "Karen", "Thomas", "Emma", "Daniel", "Sophie", "Paul", "Claire", "Mark", "Julia"]
LAST = ["Smith", "Johnson", "Williams", "Brown", "Jones", "Miller", "Davis", "Wilson", "Anderson",
        "Taylor", "Thomas", "Moore", "Martin", "Jackson", "Thompson", "White", "Harris", "Clark",
        "Lewis", "Robinson", "Walker", "Young", "Allen", "King", "Wright", "Scott", "Green", "Baker"]
EN_WORDS = ["analysis", "of", "sorting", "methods", "for", "large", "bibliographies", "a", "study",
            "on", "text", "processing", "systems", "and", "their", "applications", "theory", "data",
            "learning", "retrieval", "Chinese", "characters", "models", "efficient", "evaluation"]
EN_JOURNALS = ["Journal of Documentation", "Information Processing \\& Management",
               "ACM Transactions on Information Systems", "Computational Linguistics"]
MONTHS = ["jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"]
MACROS = {f"j{k}": journal for k, journal in enumerate(JOURNALS[:4])}


def chinese_name(rng):
    draw = rng.random()
    if draw < 0.06:
        surname = rng.choice(COMPOUNDS)
    elif draw < 0.12:
        surname = rng.choice(READ_OTHERWISE)
    else:
        surname = rng.choice(SURNAMES)
    return surname + "".join(rng.choice(GIVEN) for _ in range(rng.choice((1, 2, 2))))


def english_name(rng):
    if rng.random() < 0.5:
        return f"{rng.choice(LAST)}, {rng.choice(FIRST)}"
    return f"{rng.choice(FIRST)} {rng.choice('ABCDEFGHJKLMNPRSTW')}. {rng.choice(LAST)}"


def names(rng, chinese):
    make = chinese_name if chinese else english_name
    result = [make(rng) for _ in range(rng.choice((1, 1, 2, 2, 3, 4, 5)))]
    if not chinese and rng.random() < 0.1:
        result.append(chinese_name(rng))  # an English first author, a Chinese coauthor
    if rng.random() < 0.05:
        result.append("others")
    return " and ".join(result)


def chinese_text(rng, low, high):
    return "".join(rng.choice(WORDS) for _ in range(rng.randint(low, high)))


def english_text(rng, low, high):
    return " ".join(rng.choice(EN_WORDS) for _ in range(rng.randint(low, high))).capitalize()


def abstract(rng):
    sentences = [chinese_text(rng, 6, 16) + rng.choice("，；") + chinese_text(rng, 4, 12) + "。"
                 for _ in range(rng.randint(3, 8))]
    return "".join(sentences)


def chinese_entry(rng, index):
    kind = rng.choices(["article", "book", "inproceedings", "phdthesis", "mastersthesis", "incollection",
                        "proceedings", "misc"], weights=[40, 15, 15, 8, 7, 6, 4, 5])[0]
    year = rng.randint(1950, 2025)
    fields = []
    if kind == "proceedings":
        fields.append(("editor", names(rng, True)))
    else:
        fields.append(("author", names(rng, True)))
    fields.append(("title", chinese_text(rng, 3, 10)))
    if kind == "article":
        if rng.random() < 0.3:
            fields.append(("journal", "#" + rng.choice(list(MACROS))))
        else:
            fields.append(("journal", rng.choice(JOURNALS)))
        fields += [("year", str(year)), ("volume", str(rng.randint(1, 60))), ("number", str(rng.randint(1, 12))),
                   ("pages", f"{(start := rng.randint(1, 900))}--{start + rng.randint(2, 20)}")]
        if rng.random() < 0.4:
            fields.append(("month", "#" + rng.choice(MONTHS)))
    elif kind in ("book", "proceedings"):
        publisher, address = rng.choice(PUBLISHERS)
        fields += [("publisher", publisher), ("address", address), ("year", str(year))]
        if rng.random() < 0.3:
            fields.append(("edition", str(rng.randint(2, 5))))
        if rng.random() < 0.5:
            fields.append(("isbn", f"978-7-{rng.randint(100, 999)}-{rng.randint(10000, 99999)}-{rng.randint(0, 9)}"))
    elif kind in ("inproceedings", "incollection"):
        fields.append(("booktitle", "第" + "一二三四五六七八九十"[rng.randint(0, 9)] + "届" + chinese_text(rng, 2, 4) +
                       "会议论文集"))
        if rng.random() < 0.5:
            fields.append(("editor", names(rng, True)))
        publisher, address = rng.choice(PUBLISHERS)
        fields += [("publisher", publisher), ("address", address), ("year", str(year)),
                   ("pages", f"{(start := rng.randint(1, 500))}--{start + rng.randint(2, 15)}")]
    elif kind in ("phdthesis", "mastersthesis"):
        school = rng.choice(SCHOOLS)
        fields += [("school", school), ("address", "北京"), ("year", str(year))]
    else:
        fields += [("howpublished", "\\url{http://www.example.cn/" + str(index) + "}"), ("year", str(year))]
    if rng.random() < 0.5:
        fields.append(("doi", f"10.{rng.randint(1000, 9999)}/j.issn.{rng.randint(1000, 9999)}-"
                              f"{rng.randint(1000, 9999)}.{year}.{rng.randint(1, 99):02d}.{rng.randint(1, 999):03d}"))
    if rng.random() < 0.3:
        fields.append(("url", f"https://kns.example.cn/detail/{index:06d}"))
    if rng.random() < 0.6:
        fields.append(("keywords", "；".join(chinese_text(rng, 1, 3) for _ in range(rng.randint(3, 6)))))
    if rng.random() < 0.5:
        fields.append(("abstract", abstract(rng)))
    fields.append(("language", "zh"))
    return kind, fields


def english_entry(rng, index):
    kind = rng.choices(["article", "book", "inproceedings", "techreport"], weights=[50, 20, 25, 5])[0]
    year = rng.randint(1950, 2025)
    fields = [("author", names(rng, False)), ("title", english_text(rng, 3, 10))]
    if kind == "article":
        fields += [("journal", rng.choice(EN_JOURNALS)), ("year", str(year)), ("volume", str(rng.randint(1, 60))),
                   ("pages", f"{(start := rng.randint(1, 900))}--{start + rng.randint(2, 30)}")]
    elif kind == "book":
        fields += [("publisher", rng.choice(["Springer", "Addison-Wesley", "MIT Press"])), ("year", str(year))]
    elif kind == "inproceedings":
        fields += [("booktitle", "Proceedings of the " + english_text(rng, 2, 5) + " Conference"),
                   ("year", str(year)), ("pages", f"{(start := rng.randint(1, 500))}--{start + rng.randint(2, 12)}")]
    else:
        fields += [("institution", "University of " + rng.choice(LAST) + "ton"), ("number", str(index)),
                   ("year", str(year))]
    if rng.random() < 0.5:
        fields.append(("doi", f"10.{rng.randint(1000, 9999)}/{rng.randint(100000, 999999)}"))
    if rng.random() < 0.3:
        fields.append(("abstract", ". ".join(english_text(rng, 8, 20) for _ in range(rng.randint(2, 5))) + "."))
    return kind, fields


def value_text(rng, name, value, style):
    if value.startswith("#"):
        return value[1:]  # a macro
    if name in ("year", "volume", "number", "edition") and style["bare_numbers"]:
        return value
    if style["quotes"] and '"' not in value:
        return f'"{value}"'
    return "{" + value + "}"


def entry_text(rng, kind, key, fields):
    style = {"aligned": rng.random() < 0.6, "quotes": rng.random() < 0.15, "bare_numbers": rng.random() < 0.4,
             "indent": rng.choice(["  ", "  ", "    ", "\t"]), "upper": rng.random() < 0.1,
             "trailing_comma": rng.random() < 0.5}
    width = max(len(name) for name, _ in fields)
    lines = []
    for name, value in fields:
        shown = name.upper() if style["upper"] else name
        gap = " " * (width - len(name) + 1) if style["aligned"] else " "
        lines.append(f"{style['indent']}{shown}{gap}= {value_text(rng, name, value, style)}")
    body = ",\n".join(lines) + ("," if style["trailing_comma"] else "")
    return f"@{kind.upper() if style['upper'] else kind}{{{key},\n{body}\n}}\n"


def bibliography(count, seed=1, chinese_share=0.8):
    """The text of the .bib (a str): a comment and the @string macros, then
    `count` entries."""
    rng = random.Random(seed)
    parts = ["% Generated by bench/make_keys_bib.py: references for the timing of tolvar -keys.\n",
             "@comment{jabref-meta: databaseType:bibtex;}\n"]
    parts += [f'@string{{{macro} = "{journal}"}}\n' for macro, journal in MACROS.items()]
    for index in range(count):
        chinese = rng.random() < chinese_share
        kind, fields = (chinese_entry if chinese else english_entry)(rng, index)
        key = f"{'zh' if chinese else 'en'}{index:05d}"
        parts.append("\n" + entry_text(rng, kind, key, fields))
    return "".join(parts)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("out")
    parser.add_argument("--entries", type=int, default=10000)
    parser.add_argument("--encoding", default="gbk", choices=["gbk", "utf-8"])
    parser.add_argument("--crlf", action="store_true")
    args = parser.parse_args()
    text = bibliography(args.entries)
    if args.crlf:
        text = text.replace("\n", "\r\n")
    with open(args.out, "wb") as out:
        out.write(text.encode(args.encoding))


if __name__ == "__main__":
    main()

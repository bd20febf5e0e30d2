#!/usr/bin/env python3
"""Writes the GBK bibliographies of the end-to-end tests.

refs.bib holds names that GB2312 covers, so every character has a glyph in the
gbsn font. special.bib holds names whose GBK trail byte is an ASCII character
that TeX or BibTeX treats specially (\\ { } ^ ~ [ ]); such text cannot reach
BibTeX raw (a trail byte "}" closes the field), so it is stored as the CJK
preprocessor (extconv) writes it: 0x7F, lead byte, 0x7F, trail byte in
decimal, 0x7F. (No GBK trail byte is below 0x40, so none is $ % # &.)
gaps.bib holds output shapes that the keyword replacement once missed.

Run from this folder: python3 make_bib.py
"""

REFS = r"""@book{ouyang1975,
  author    = {欧阳修 and 宋祁},
  title     = {新唐书},
  publisher = {中华书局},
  address   = {北京},
  edition   = {2},
  year      = {1975}
}

@book{sima1959,
  author    = {司马迁 and others},
  title     = {史记},
  publisher = {中华书局},
  address   = {北京},
  year      = {1959}
}

@article{shan2003,
  author  = {单士元 and 曾昭抡},
  title   = {故宫建筑的营造},
  journal = {文物},
  volume  = {5},
  pages   = {12--20},
  year    = {2003}
}

@inproceedings{ou2010,
  author    = {区志坚 and 曾国藩 and 李明},
  title     = {中文信息处理的若干问题},
  booktitle = {中文信息学论文集},
  editor    = {王五 and 赵六},
  pages     = {101--110},
  publisher = {清华大学出版社},
  address   = {北京},
  year      = {2010}
}

@incollection{zhang2008,
  author    = {张三 and 李四 and 王五 and 赵六 and 孙七},
  title     = {汉语分词},
  booktitle = {计算语言学},
  editor    = {周八},
  chapter   = {第三章},
  pages     = {30--45},
  publisher = {商务印书馆},
  address   = {北京},
  year      = {2008}
}

@article{li2015,
  author  = {李明 and John Smith and 王芳},
  title   = {跨语言检索},
  journal = {计算机学报},
  volume  = {38},
  number  = {2},
  pages   = {200--210},
  year    = {2015}
}

@book{knuth1986,
  author    = {Donald E. Knuth},
  title     = {The {\TeX}book},
  publisher = {Addison-Wesley},
  address   = {Reading, MA},
  edition   = {2},
  year      = {1986}
}

@inproceedings{lamport1994,
  author    = {Leslie Lamport and Oren Patashnik},
  title     = {Bibliographies for the working scientist},
  booktitle = {Proceedings of the Typesetting Conference},
  editor    = {Frank Mittelbach and Michel Goossens},
  pages     = {11--22},
  publisher = {Springer},
  address   = {Berlin},
  year      = {1994}
}
"""

# Trail bytes: 區 ^ (0x5E), 昞 \\ (0x5C), 倉 } (0x7D), 嶽 [ (0x5B), 揮 ] (0x5D),
# 憑 { (0x7B), 杶 ~ (0x7E). Their lead bytes lie below 0xA1, outside GB2312,
# so the gbsn font has no glyph for them and CJK skips them silently.
SPECIAL = r"""@article{ou2001,
  author  = {區昞 and 倉嶽揮},
  title   = {方言研究},
  journal = {中国语文},
  volume  = {3},
  pages   = {1--10},
  year    = {2001}
}

@book{ping1999,
  author    = {憑杶 and 王力 and 李明},
  title     = {汉字源流},
  publisher = {中华书局},
  address   = {北京},
  edition   = {2},
  year      = {1999}
}
"""

# Shapes of BibTeX output that the replacements once missed. In ou2010 BibTeX
# breaks the line right after "pages" (lines end at 79 columns); in wang2012
# the plain styles write "王力, 李四, 王五, et~al.", with a comma before the
# "et~al."; in chen2001 the plain styles break the author line right before
# "and" (the name lengths are chosen for that); in wang2003 the editors
# "..., 王五, et~al., editors" follow each other.
GAPS = r"""@article{wang2012,
  author  = {王力 and 李四 and 王五 and others},
  title   = {汉语语法},
  journal = {中国语文},
  volume  = {7},
  pages   = {1--9},
  year    = {2012}
}

@inproceedings{ou2010,
  author    = {区志坚 and 曾国藩 and 李明},
  title     = {中文信息处理的若干问题},
  booktitle = {第三届中文信息学会议论文集},
  editor    = {王五 and 赵六},
  pages     = {101--110},
  publisher = {清华大学出版社},
  address   = {北京},
  year      = {2010}
}

@book{chen2001,
  author    = {张三丰 and 李四光 and 王五常 and 赵六合 and 钱七星 and 孙八方 and
               周九龙 and 吴全 and 郑鸣 and 冯宝 and 陈立 and 褚四海},
  title     = {十二人合著},
  publisher = {出版社},
  year      = {2001}
}

@inproceedings{wang2003,
  author    = {王力},
  title     = {语法研究},
  booktitle = {会议论文集},
  editor    = {张三 and 李四 and 王五 and others},
  pages     = {1--2},
  year      = {2003}
}
"""


def preprocess(text):
    """Writes every double-byte character with an ASCII trail byte in the 0x7F form."""
    out = bytearray()
    for ch in text:
        b = ch.encode("gbk")
        if len(b) == 2 and b[1] < 0x80:
            out += b"\x7f" + b[:1] + b"\x7f" + str(b[1]).encode() + b"\x7f"
        else:
            out += b
    return bytes(out)


if __name__ == "__main__":
    with open("refs.bib", "wb") as f:
        f.write(REFS.encode("gbk"))
    with open("special.bib", "wb") as f:
        f.write(preprocess(SPECIAL))
    with open("gaps.bib", "wb") as f:
        f.write(GAPS.encode("gbk"))

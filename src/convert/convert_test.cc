#include "convert/convert.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "convert/convert_test_support.h"
#include "tests/gbk_test_strings.h"
#include "tests/worked_example.h"

namespace tolvar {
namespace {

std::string convert(std::string_view input, const Settings& settings, std::string* messages) {
  std::string out;
  convert_lines(settings, input, &out, messages);
  EXPECT_EQ(out.substr(0, kProcessedMarker.size()), kProcessedMarker);
  return out.substr(std::min(out.size(), kProcessedMarker.size()));
}

std::string convert(std::string_view input, const Settings& settings = finished_settings()) {
  std::string messages;
  return convert(input, settings, &messages);
}

TEST(ConvertLinesTest, WorkedExampleVisible) {
  std::string messages;
  EXPECT_EQ(convert(kWorkedExample, finished_settings(true), &messages),
            worked_example_output("\\bibitem[^^7f^^d5^^7f197^^7f^^7f^^c8^^7f253^^7f,~"
                                  "^^7f^^c0^^7f238^^7f^^7f^^cb^^7f196^^7f(2005)]{zhang05}"));
  EXPECT_EQ(messages, "");
}

TEST(ConvertLinesTest, WorkedExampleInvisible) {
  EXPECT_EQ(convert(kWorkedExample),
            worked_example_output("\\bibitem[\x7f\xD5\x7f" "197\x7f\x7f\xC8\x7f" "253\x7f,~"
                                  "\x7f\xC0\x7f" "238\x7f\x7f\xCB\x7f" "196\x7f(2005)]{zhang05}"));
}

TEST(ConvertLinesTest, WorkedExampleCjk) {
  EXPECT_EQ(convert(kWorkedExample, finished_settings(false, true)),
            worked_example_output("\\bibitem[" ZHANGSAN ",~" LISI "(2005)]{zhang05}"));
}

TEST(ConvertLinesTest, EmptyInputGivesOnlyTheMarker) {
  std::string out;
  std::string messages;
  convert_lines(finished_settings(), "", &out, &messages);
  EXPECT_EQ(out, kProcessedMarker);
}

struct PassCase {
  const char* name;
  std::string input;
  std::string output;
};

void expect_pass(const PassCase* cases, size_t count, const Settings& settings) {
  for (size_t i = 0; i < count; ++i) {
    EXPECT_EQ(convert(cases[i].input, settings), cases[i].output) << cases[i].name;
  }
}

// A Chinese entry up to its second block.
const std::string kChineseHead = "\\bibitem{k}\nA.\n\\newblock " ZHONGWEN_BIAOTI ".\n";
const std::string kEnglishHead = "\\bibitem{k}\nA.\n\\newblock Title.\n";

TEST(ConvertLinesTest, EntryStatesAndLabels) {
  const PassCase cases[] = {
      {"bibitem without label", "\\bibitem{k}\n" ZHANGSAN " " LISI "\n",
       "\\bibitem{k}\n" ZHANGSAN "~" LISI "\n"},
      {"bibitem without [ or { keeps the label open",
       "\\bibitem\n" ZHANGSAN "]{k}\n" LISI "\n",
       "\\bibitem\n\x7f\xD5\x7f" "197\x7f\x7f\xC8\x7f" "253\x7f]{k}\n" LISI "\n"},
      {"label closed on a later line", "\\bibitem[" ZHANGSAN "\n   " LISI " x]{k}\n",
       "\\bibitem[\x7f\xD5\x7f" "197\x7f\x7f\xC8\x7f" "253\x7f%\n"
       "\x7f\xC0\x7f" "238\x7f\x7f\xCB\x7f" "196\x7f~x]{k}\n"},
      {"label line ending in English gets no percent", "\\bibitem[" ZHANGSAN " x\ny]{k}\n",
       "\\bibitem[\x7f\xD5\x7f" "197\x7f\x7f\xC8\x7f" "253\x7f~x\ny]{k}\n"},
      {"text before bibitem is kept", "  x\\bibitem[a]{k}\n", "x\\bibitem[a]{k}\n"},
      {"bibitem wins over an earlier newblock", "\\newblock \\bibitem[" DENG "]{k}\nand\n",
       "\\newblock \\bibitem[\x7f\xB5\x7f" "200\x7f]{k}\nand\n"},
      {"first newblock of a line counts", "\\bibitem{k}\n\\new \\newblock  pages 1 \\newblock y\n",
       "\\bibitem{k}\n\\new \\newblock  " YEMA "1 \\newblock y\n"},
      {"label never closed", "\\bibitem[" DENG, "\\bibitem[\x7f\xB5\x7f" "200\x7f"},
      {"bibitem ends a label", "\\bibitem[" DENG "\n\\bibitem[" DENG "]{k}\n",
       "\\bibitem[\x7f\xB5\x7f" "200\x7f%\n\\bibitem[\x7f\xB5\x7f" "200\x7f]{k}\n"},
      {"newblock ends a label", "\\bibitem[x\n\\newblock " DENG " and x\n",
       "\\bibitem[x\n\\newblock " DENG " and x\n"},
      {"leading spaces dropped, tabs kept", "   \t x\n", "\t x\n"},
      {"caret bracket closes a label and is kept", "\\bibitem[" DENG "^^5d{k}\nx\n",
       "\\bibitem[\x7f\xB5\x7f" "200\x7f^^5d{k}\nx\n"},
  };
  expect_pass(cases, std::size(cases), finished_settings());
}

TEST(ConvertLinesTest, AuthorLinesAndEditors) {
  const PassCase cases[] = {
      {"and, etal, tie", "\\bibitem{k}\n" ZHANGSAN ", " LISI ", and " WANGWU " et al.\n",
       "\\bibitem{k}\n" ZHANGSAN ", " LISI ",~" WANGWU DENG "\n"},
      {"editors in any entry", "\\bibitem{k}\nSmith, editors.\nJones, editor.\n",
       "\\bibitem{k}\nSmith" BIANZHE ".\nJones" BIANZHE ".\n"},
      {"English names keep their and", "\\bibitem{k}\nA and B, and C\n",
       "\\bibitem{k}\nA and B, and C\n"},
      {"chinese_seen carries into the next entry", "\\bibitem{a}\n" ZHANGSAN "\n\n\\bibitem[ and x]{b}\n",
       "\\bibitem{a}\n" ZHANGSAN "\n\n\\bibitem[,~x]{b}\n"},
      {"chinese_seen carries over lines", "\\bibitem{k}\n" ZHANGSAN "\n, and " LISI "\n",
       "\\bibitem{k}\n" ZHANGSAN "\n,~" LISI "\n"},
      {"trailing blank becomes a tie", "\\bibitem{k}\n" ZHANGSAN " \n",
       "\\bibitem{k}\n" ZHANGSAN "~\n"},
      {"control space stays", "\\bibitem[" ZHANGSAN "\\ " DENG "(2005)]{k}\n",
       "\\bibitem[\x7f\xD5\x7f" "197\x7f\x7f\xC8\x7f" "253\x7f\\ \x7f\xB5\x7f" "200\x7f(2005)]{k}\n"},
      {"control space before and stays", "\\bibitem{k}\n" ZHANGSAN "\\ and " LISI "\n",
       "\\bibitem{k}\n" ZHANGSAN "\\ and " LISI "\n"},
      {"blank after a line-break symbol is a plain blank", "\\bibitem{k}\n" ZHANGSAN "\\\\ " LISI "\n",
       "\\bibitem{k}\n" ZHANGSAN "\\\\~" LISI "\n"},
      {"blank after control word is a blank", "\\bibitem{k}\n" ZHANGSAN "\\relax " LISI "\n",
       "\\bibitem{k}\n" ZHANGSAN "\\relax~" LISI "\n"},
  };
  expect_pass(cases, std::size(cases), finished_settings());
}

TEST(ConvertLinesTest, BlocksAndLineEnds) {
  const PassCase cases[] = {
      {"first block pages in English entry", "\\bibitem{k}\nA.\n\\newblock T, pages 1--2.\n",
       "\\bibitem{k}\nA.\n\\newblock T, " YEMA "1--2.\n"},
      {"English second block untouched", kEnglishHead + "\\newblock In X, editor, pages 3.\n",
       kEnglishHead + "\\newblock In X, editor, pages 3.\n"},
      {"Chinese second block", kChineseHead + "\\newblock In " WANGWU ", editors, 2nd edition.\n",
       kChineseHead + "\\newblock " FABIAOYU WANGWU BIANZHE ", 2nd\xB0\xE6.\n"},
      {"edition at a continuation line start", kChineseHead + "\\newblock " DENG "\n  edition x\n",
       kChineseHead + "\\newblock " DENG "%\n\xB0\xE6 x\n"},
      {"In only at a line start", kChineseHead + "\\newblock X In Y\n",
       kChineseHead + "\\newblock X In Y\n"},
      {"editor ahead turns the phrase on", kChineseHead + "\\newblock {a, editor} b, editor\n",
       kChineseHead + "\\newblock {a" BIANZHE "} b" BIANZHE "\n"},
      {"brace ends the editor phrase", kChineseHead + "\\newblock In " WANGWU "{" LISI "} " WANGWU "\n",
       kChineseHead + "\\newblock " FABIAOYU WANGWU "{" LISI "} " WANGWU "%\n"},
      {"brace handed back by a tie ends the phrase too", kChineseHead + "\\newblock In " WANGWU " {" LISI "} " WANGWU "\n",
       kChineseHead + "\\newblock " FABIAOYU WANGWU "~{" LISI "} " WANGWU "%\n"},
      {"last line without line end gets no percent", kChineseHead + "\\newblock " DENG,
       kChineseHead + "\\newblock " DENG},
      {"third block untouched", kChineseHead + "\\newblock " DENG "\n\\newblock pages " DENG "\n",
       kChineseHead + "\\newblock " DENG "%\n\\newblock pages " DENG "\n"},
      {"CR LF resets to outside", kChineseHead + "\\newblock " DENG "\n \r\n\\newblock pages\n",
       kChineseHead + "\\newblock " DENG "%\n\r\n\\newblock pages\n"},
      {"no percent after a line-ending backslash", kChineseHead + "\\newblock " DENG "\\\n",
       kChineseHead + "\\newblock " DENG "\\\n"},
      {"percent after a line-ending double backslash", kChineseHead + "\\newblock " DENG "\\\\\n",
       kChineseHead + "\\newblock " DENG "\\\\%\n"},
      {"percent after a GBK trail byte that is a backslash", kChineseHead + "\\newblock \x95\\\n",
       kChineseHead + "\\newblock \x7f\x95\x7f" "92\x7f%\n"},
      {"lone LF stays in the block", kChineseHead + "\\newblock " DENG "\n\n",
       kChineseHead + "\\newblock " DENG "%\n%\n"},
      {"CR inside a line ends its scan", kChineseHead + "\\newblock " DENG "\rpages \n",
       kChineseHead + "\\newblock " DENG "%\rpages \n"},
      {"pre-scan reads past a bracket", "\\bibitem[a]{k}\n\\newblock ]" DENG "\n\\newblock pages 3\n",
       "\\bibitem[a]{k}\n\\newblock ]" DENG "\n\\newblock " YEMA "3%\n"},
  };
  expect_pass(cases, std::size(cases), finished_settings());
}

// A blank right after a backslash is TeX's control space: kept as it is,
// never a tie, never the start of a replaced string. That the backslash was
// the last byte written is judged on the output.
TEST(ConvertLinesTest, ControlSpaces) {
  Settings settings = finished_settings();
  settings.words.editors_from = " editors";
  settings.words.pages_from = " pp.";
  const std::string chinese_head =
      "\\bibitem{a}\n" ZHANGSAN ".\n\\newblock \xB1\xEA\xCC\xE2.\n";  // 标题
  const PassCase cases[] = {
      {"replaced strings do not start at a control space",
       chinese_head + "\\newblock \xB3\xF6\xB0\xE6\xC9\xE7\\ edition, 2006.\n\n"  // 出版社
                      "\\bibitem{b}\n" ZHANGSAN "\\ editors.\n\\newblock \xD6\xD0\\ pp. 5.\n"
                      "\\newblock In \xCD\xF5 \\ edition.\n",
       chinese_head + "\\newblock \xB3\xF6\xB0\xE6\xC9\xE7\\ edition, 2006.\n\n"
                      "\\bibitem{b}\n" ZHANGSAN "\\ editors.\n\\newblock \xD6\xD0\\ pp. 5.\n"
                      "\\newblock " FABIAOYU "\xCD\xF5\\ edition.\n"},
      {"a line end after a backslash takes no keyword of the next line",
       "\\bibitem[" ZHANGSAN "\\\n  et~al.(2005)]{a}\n" ZHANGSAN "\\\n  et~al.\n",
       "\\bibitem[\x7f\xD5\x7f" "197\x7f\x7f\xC8\x7f" "253\x7f\\\net~al.(2005)]{a}\n" ZHANGSAN
       "\\\net~al.\n"},
      {"nor an edition opening it", kChineseHead + "\\newblock " DENG "\\\n  edition x\n",
       kChineseHead + "\\newblock " DENG "\\\nedition x\n"},
      {"an empty replacing string leaves the backslash last",
       kChineseHead + "\\newblock " DENG "\\chapter\n", kChineseHead + "\\newblock " DENG "\\\n"},
      {"so does a dropped broken character", "\\bibitem{k}\n" ZHANGSAN "\\\xB5^^ " LISI "\n",
       "\\bibitem{k}\n" ZHANGSAN "\\ " LISI "\n"},
  };
  expect_pass(cases, std::size(cases), settings);
}

// GBK characters whose trail byte TeX reads as ^ _ \ { } are written in the
// invisible triple form wherever characters are written raw; the others
// stay raw.
TEST(ConvertLinesTest, SpecialTrailBytesOutsideLabels) {
  // 區 85 5E, 沖 9B 5F, 淺 9C 5C, 憑 91 7B, 倉 82 7D
  const std::string special = "\x85^\x9B_\x9C\\\x91{\x82}";
  const std::string triples = "\x7f\x85\x7f" "94\x7f\x7f\x9B\x7f" "95\x7f\x7f\x9C\x7f" "92\x7f"
                              "\x7f\x91\x7f" "123\x7f\x7f\x82\x7f" "125\x7f";
  const PassCase cases[] = {
      {"author line", "\\bibitem{k}\n" + special + " and " ZHANGSAN "\n",
       "\\bibitem{k}\n" + triples + ",~" ZHANGSAN "\n"},
      {"title", "\\bibitem{k}\nA.\n\\newblock " + special + ".\n",
       "\\bibitem{k}\nA.\n\\newblock " + triples + ".\n"},
  };
  expect_pass(cases, std::size(cases), finished_settings());
  const PassCase cjk_label[] = {
      {"label under -cjk", "\\bibitem[" + special + ZHANGSAN "]{k}\n",
       "\\bibitem[" + triples + ZHANGSAN "]{k}\n"},
  };
  expect_pass(cjk_label, std::size(cjk_label), finished_settings(false, true));
}

// UTF-8 text: 张三, 李四, 王五, 等, 中文标题, and the default replacing
// strings in UTF-8.
#define U_ZHANGSAN "\xE5\xBC\xA0\xE4\xB8\x89"
#define U_LISI "\xE6\x9D\x8E\xE5\x9B\x9B"
#define U_WANGWU "\xE7\x8E\x8B\xE4\xBA\x94"
#define U_DENG "\xE7\xAD\x89"
#define U_BIAOTI "\xE4\xB8\xAD\xE6\x96\x87\xE6\xA0\x87\xE9\xA2\x98"
#define U_FABIAOYU "\xE5\x8F\x91\xE8\xA1\xA8\xE4\xBA\x8E: "
#define U_BIANZHE "~(\xE7\xBC\x96\xE8\x80\x85)"

Settings utf8_settings() {
  Settings settings = finished_settings(true);
  settings.encoding = Encoding::kUtf8;
  settings.words.etal = settings.words.etal_label = U_DENG;
  settings.words.in = U_FABIAOYU;
  settings.words.editors = settings.words.editors2 = U_BIANZHE;
  return settings;
}

// The same pass over UTF-8: labels keep their characters, Chinese is what
// the CJK blocks hold, and bytes that are not UTF-8 are kept.
TEST(ConvertLinesTest, Utf8Text) {
  const std::string head = "\\bibitem{k}\nA.\n\\newblock " U_BIAOTI ".\n";
  const PassCase cases[] = {
      {"worked example",
       "\\bibitem[" U_ZHANGSAN " and " U_LISI "(2005)]{zhang05}\n" U_ZHANGSAN " and " U_LISI ".\n"
       "\\newblock " U_BIAOTI ".\n  \\newblock In " U_WANGWU ", editor, 2005.\n",
       "\\bibitem[" U_ZHANGSAN ",~" U_LISI "(2005)]{zhang05}\n" U_ZHANGSAN ",~" U_LISI ".\n"
       "\\newblock " U_BIAOTI ".\n\\newblock " U_FABIAOYU U_WANGWU U_BIANZHE ", 2005.%\n"},
      {"accented Latin is not Chinese", "\\bibitem{k}\nM\xC3\xBCller and Smith, \xC3\x89mile et al.\n",
       "\\bibitem{k}\nM\xC3\xBCller and Smith, \xC3\x89mile et al.\n"},
      {"an accented letter after a Chinese name ends Chinese text",
       "\\bibitem{k}\n" U_ZHANGSAN "\xC3\xA9 and x\n", "\\bibitem{k}\n" U_ZHANGSAN "\xC3\xA9 and x\n"},
      {"extension B and full-width punctuation are Chinese",
       "\\bibitem{k}\n\xF0\xA0\xAE\xB7 et al.\n" U_LISI "\xEF\xBC\x8C and x\n",
       "\\bibitem{k}\n\xF0\xA0\xAE\xB7" U_DENG "\n" U_LISI "\xEF\xBC\x8C,~x\n"},
      {"percent after Chinese; an English second block untouched",
       head + "\\newblock " U_WANGWU "\n\\bibitem{e}\nA.\n\\newblock T.\n\\newblock In X, 2 edition\n",
       head + "\\newblock " U_WANGWU "%\n\\bibitem{e}\nA.\n\\newblock T.\n\\newblock In X, 2 edition\n"},
      {"bytes that are not UTF-8 are kept",
       "\\bibitem{k}\n" U_ZHANGSAN " \xE5\xBC and \x80\xC0\xE5^^ \xF0\xA0\n",
       "\\bibitem{k}\n" U_ZHANGSAN "~\xE5\xBC,~\x80\xC0\xE5^^ \xF0\xA0\n"},
      {"no triples, no label forms", "\\bibitem[\x7f\x85\x7f" "94\x7f " U_ZHANGSAN "]{k}\n",
       "\\bibitem[\x7f\x85\x7f" "94\x7f " U_ZHANGSAN "]{k}\n"},
  };
  expect_pass(cases, std::size(cases), utf8_settings());
}

TEST(ConvertLinesTest, Utf8MessagesForBrokenCharacters) {
  std::string messages;
  convert("\\bibitem{k}\n\xE5\xBC x\n\x80\n", utf8_settings(), &messages);
  EXPECT_EQ(messages,
            "An invalid UTF-8 character is found:\n\tLine 2: ... ^^e5^^bc^^20\n"
            "An invalid UTF-8 character is found:\n\tLine 3: ... ^^80\n");
}

TEST(ConvertLinesTest, EtAlAfterCommaInEveryAuthorList) {
  const PassCase cases[] = {
      {"author line", "\\bibitem{k}\n" ZHANGSAN ", " LISI ", " WANGWU ", et~al.\n",
       "\\bibitem{k}\n" ZHANGSAN ", " LISI ", " WANGWU DENG "\n"},
      {"same as without the comma", "\\bibitem{k}\n" WANGWU " et~al.\n",
       "\\bibitem{k}\n" WANGWU DENG "\n"},
      {"label", "\\bibitem[" ZHANGSAN ", et al.(2005)]{k}\n",
       "\\bibitem[\x7f\xD5\x7f" "197\x7f\x7f\xC8\x7f" "253\x7f\x7f\xB5\x7f" "200\x7f(2005)]{k}\n"},
      // Where "et al." is not there, the scan goes on as before: here it
      // still finds " edition" after "et".
      {"no et al.", kChineseHead + "\\newblock In " WANGWU ", et edition\n",
       kChineseHead + "\\newblock " FABIAOYU WANGWU ", et\xB0\xE6\n"},
      {"English list", "\\bibitem{k}\nA, B, C, et~al.\n", "\\bibitem{k}\nA, B, C, et~al.\n"},
  };
  expect_pass(cases, std::size(cases), finished_settings());
}

// A handler that matched a keyword has read the character after it; that
// character may start the next keyword.
TEST(ConvertLinesTest, KeywordRightAfterAReplacedOne) {
  const PassCase cases[] = {
      {"editors after a comma and et al.",
       kChineseHead + "\\newblock In " ZHANGSAN ", " LISI ", " WANGWU ", et~al., editors, \\emph{"
       HUIYI_LUNWENJI "}, pages 1--2,\n",
       kChineseHead + "\\newblock " FABIAOYU ZHANGSAN ", " LISI ", " WANGWU DENG BIANZHE
       ", \\emph{" HUIYI_LUNWENJI "}, " YEMA "1--2,%\n"},
      {"editors after et al.", kChineseHead + "\\newblock In " WANGWU " et~al., editors, x\n",
       kChineseHead + "\\newblock " FABIAOYU WANGWU DENG BIANZHE ", x\n"},
      {"editors after and", kChineseHead + "\\newblock In " WANGWU ", and, editor, x\n",
       kChineseHead + "\\newblock " FABIAOYU WANGWU ",~" BIANZHE ", x\n"},
      {"author line", "\\bibitem{k}\n" ZHANGSAN " et~al., editors.\n",
       "\\bibitem{k}\n" ZHANGSAN DENG BIANZHE ".\n"},
      {"pages after et al.", kChineseHead + "\\newblock In " WANGWU " et al. pages 3\n",
       kChineseHead + "\\newblock " FABIAOYU WANGWU DENG YEMA "3%\n"},
      {"blank after the handed-back comma stays",
       kChineseHead + "\\newblock In " WANGWU " et~al., \\emph{x}, 2003\n",
       kChineseHead + "\\newblock " FABIAOYU WANGWU DENG ", \\emph{x}, 2003\n"},
      {"English words after the keyword stay", "\\bibitem{k}\n" ZHANGSAN " et~al., eds.\n",
       "\\bibitem{k}\n" ZHANGSAN DENG ", eds.\n"},
  };
  expect_pass(cases, std::size(cases), finished_settings());
}

// BibTeX breaks a long author list at a blank, so "and", "\&" or "et al."
// may open the next line; the line break is the blank before it.
TEST(ConvertLinesTest, KeywordOpeningTheNextLine) {
  const std::string label_zhangsan = "\x7f\xD5\x7f" "197\x7f\x7f\xC8\x7f" "253\x7f";
  const PassCase cases[] = {
      {"comma, line break, and", "\\bibitem{k}\n" ZHANGSAN ", " LISI ",\n  and " WANGWU ".\n",
       "\\bibitem{k}\n" ZHANGSAN ", " LISI ",~\n" WANGWU ".\n"},
      {"comma and blanks before the line break", "\\bibitem{k}\n" ZHANGSAN ",  \n and " LISI "\n",
       "\\bibitem{k}\n" ZHANGSAN ",~\n" LISI "\n"},
      {"comma, line break, et al.", "\\bibitem{k}\n" ZHANGSAN ", " LISI ",\n  et~al., x\n",
       "\\bibitem{k}\n" ZHANGSAN ", " LISI DENG "\n, x\n"},
      {"name, line break, and", "\\bibitem{k}\n" ZHANGSAN "\n  AND " LISI ".\n",
       "\\bibitem{k}\n" ZHANGSAN ",~\n" LISI ".\n"},
      {"name, line break, \\&", "\\bibitem{k}\n" ZHANGSAN "\n  \\& " LISI ".\n",
       "\\bibitem{k}\n" ZHANGSAN ",~\n" LISI ".\n"},
      {"name, line break, et al.", "\\bibitem{k}\n" ZHANGSAN "\n  Et Al. x\n",
       "\\bibitem{k}\n" ZHANGSAN DENG "\nx\n"},
      {"keyword alone on its line", "\\bibitem{k}\n" ZHANGSAN "\n  et~al.\n\\newblock x\n",
       "\\bibitem{k}\n" ZHANGSAN DENG "\n%\n\\newblock x\n"},
      {"blank before the line break", "\\bibitem{k}\n" ZHANGSAN " \n  and " LISI "\n",
       "\\bibitem{k}\n" ZHANGSAN ",~\n" LISI "\n"},
      {"label with -visible off", "\\bibitem[" ZHANGSAN "\n  et~al.(2005)]{k}\n",
       "\\bibitem[" + label_zhangsan + "\x7f\xB5\x7f" "200\x7f%\n(2005)]{k}\n"},
      {"label, comma, line break, and", "\\bibitem[" ZHANGSAN ",\n  and " LISI "]{k}\n",
       "\\bibitem[" + label_zhangsan + ",~%\n\x7f\xC0\x7f" "238\x7f\x7f\xCB\x7f" "196\x7f]{k}\n"},
      {"editors of a second block", kChineseHead + "\\newblock In " WANGWU "\n  and " LISI ", editors, x\n",
       kChineseHead + "\\newblock " FABIAOYU WANGWU ",~%\n" LISI BIANZHE ", x\n"},
      // Nothing changes where the next line opens with anything else.
      {"longer words", "\\bibitem{k}\n" ZHANGSAN "\n  Anderson\n" LISI ",\n andrew\n" LISI "\n etalx\n",
       "\\bibitem{k}\n" ZHANGSAN "\nAnderson\n" LISI ",\nandrew\n" LISI "\netalx\n"},
      {"comma before \\&", "\\bibitem{k}\n" ZHANGSAN ",\n  \\& " LISI "\n",
       "\\bibitem{k}\n" ZHANGSAN ",\n\\& " LISI "\n"},
      {"English name", "\\bibitem{k}\nSmith\n  and " LISI "\n", "\\bibitem{k}\nSmith\nand " LISI "\n"},
      {"first block", "\\bibitem{k}\nA.\n\\newblock " DENG "\n  and x\n",
       "\\bibitem{k}\nA.\n\\newblock " DENG "\nand x\n"},
      {"second block without the editors", kChineseHead + "\\newblock " WANGWU "\n  and x\n",
       kChineseHead + "\\newblock " WANGWU "%\nand x\n"},
      {"label closed on the line", "\\bibitem[" DENG "]{k}\n  and x\n",
       "\\bibitem[\x7f\xB5\x7f" "200\x7f]{k}\nand x\n"},
      {"empty line between", "\\bibitem{k}\n" ZHANGSAN "\n  \n  and " LISI "\n",
       "\\bibitem{k}\n" ZHANGSAN "\n\nand " LISI "\n"},
      {"CR inside the line", "\\bibitem{k}\n" ZHANGSAN "\r and x\nand " LISI "\n",
       "\\bibitem{k}\n" ZHANGSAN "\r and x\nand " LISI "\n"},
      {"last line", "\\bibitem{k}\n" ZHANGSAN, "\\bibitem{k}\n" ZHANGSAN},
  };
  expect_pass(cases, std::size(cases), finished_settings());

  const PassCase cjk[] = {
      {"label with -cjk", "\\bibitem[" ZHANGSAN ",\n  and " LISI "]{k}\n" ZHANGSAN "\n",
       "\\bibitem[" ZHANGSAN ",~%\n" LISI "]{k}\n" ZHANGSAN "\n"},
  };
  expect_pass(cjk, std::size(cjk), finished_settings(false, true));
}

// BibTeX breaks long lines at a blank, so a keyword whose replaced string
// ends in a blank may end a line instead.
TEST(ConvertLinesTest, KeywordBeforeALineBreak) {
  const PassCase cases[] = {
      {"pages in an English first block", "\\bibitem{k}\nA.\n\\newblock T, pages\n  1--2.\n",
       "\\bibitem{k}\nA.\n\\newblock T, " YEMA "\n1--2.\n"},
      {"pages before CR", "\\bibitem{k}\nA.\n\\newblock T, pages\r\n",
       "\\bibitem{k}\nA.\n\\newblock T, " YEMA "\r\n"},
      {"pages in a Chinese second block", kChineseHead + "\\newblock {" DENG "}, pages\n  101--110.\n",
       kChineseHead + "\\newblock {" DENG "}, " YEMA "%\n101--110.%\n"},
      {"chapter", kChineseHead + "\\newblock " DENG ", chapter\n 3.\n",
       kChineseHead + "\\newblock " DENG ", %\n3.%\n"},  // the built-in replacing string is empty
      {"In alone on a line", kChineseHead + "\\newblock In\n  " WANGWU ", editor, x\n",
       kChineseHead + "\\newblock " FABIAOYU "%\n" WANGWU BIANZHE ", x\n"},
      {"a longer word is no keyword", "\\bibitem{k}\nA.\n\\newblock T, pagesx\n",
       "\\bibitem{k}\nA.\n\\newblock T, pagesx\n"},
      {"nor is a keyword at the end of the input", "\\bibitem{k}\nA.\n\\newblock T, pages",
       "\\bibitem{k}\nA.\n\\newblock T, pages"},
      {"nor the word before a NUL", std::string("\\bibitem{k}\nA.\n\\newblock pages\0\n", 28),
       std::string("\\bibitem{k}\nA.\n\\newblock pages\0\n", 28)},
  };
  expect_pass(cases, std::size(cases), finished_settings());

  // Any replaced string whose last byte is a blank, however short.
  Settings settings = finished_settings();
  settings.words.pages_from = "p ";
  settings.words.editors_from = ", eds ";
  settings.words.edition_from = "  ";
  const PassCase redefined[] = {
      {"redefined", "\\bibitem{k}\nSmith, eds\n\\newblock " DENG " p\n\\newblock x \n",
       "\\bibitem{k}\nSmith" BIANZHE "\n\\newblock " DENG " " YEMA "\n\\newblock x\xB0\xE6\n"},
  };
  expect_pass(redefined, std::size(redefined), settings);
}

TEST(ConvertLinesTest, PreprocessedCharactersInAuthorLines) {
  const PassCase cases[] = {
      {"triples and and", "\\bibitem{k}\n\x7f\x85\x7f" "94\x7f\x7f\x95\x7f" "92\x7f and " LISI ".\n",
       "\\bibitem{k}\n\x7f\x85\x7f" "94\x7f\x7f\x95\x7f" "92\x7f,~" LISI ".\n"},
      {"visible triple", "\\bibitem{k}\n^^7f^^85^^7f94^^7f et al.\n",
       "\\bibitem{k}\n^^7f^^85^^7f94^^7f" DENG "\n"},
      {"second block percent", kChineseHead + "\\newblock x \x7f\x85\x7f" "94\x7f\n",
       kChineseHead + "\\newblock x \x7f\x85\x7f" "94\x7f%\n"},
      {"label with -cjk", "\\bibitem[\x7f\x85\x7f" "94\x7f and x]{k}\n",
       "\\bibitem[\x7f\x85\x7f" "94\x7f,~x]{k}\n"},
  };
  expect_pass(cases, std::size(cases), finished_settings(false, true));
}

TEST(ConvertLinesTest, RedefinedKeywordStrings) {
  Settings settings = finished_settings();
  settings.words.pages_from = "pp. ";
  settings.words.pages = "P";
  settings.words.in_from = "";  // an empty replaced string never matches
  settings.words.edition_from = " ";  // never at a line start; any blank elsewhere
  settings.words.editors_from = ", eds";
  settings.words.editor_from = "";
  settings.words.and_ = "&";
  const PassCase cases[] = {
      {"redefined", "\\bibitem{k}\n" ZHANGSAN " and " LISI ", eds, editor\n\\newblock "
                    DENG " pp. 3, pages 4\n\\newblock In  x\n",
       "\\bibitem{k}\n" ZHANGSAN "&" LISI BIANZHE ", editor\n\\newblock " DENG " P3, pages 4\n"
       "\\newblock In\xB0\xE6\xB0\xE6x\n"},
  };
  expect_pass(cases, std::size(cases), settings);
}

TEST(ConvertLinesTest, ParseErrorMessagesCarryLineNumbers) {
  std::string messages;
  const std::string output =
      convert("x\n\\bibitem[a\xB5 ]{k}\n\\newblock ^^zz " DENG "\n", finished_settings(), &messages);
  EXPECT_EQ(output, "x\n\\bibitem[a]{k}\n\\newblock ^^zz " DENG "\n");
  EXPECT_EQ(messages,
            "An incomplete '^^xx' TeX character is found:\n\tLine 2: ... ^^b5^^20\n"
            "An incomplete '^^xx' TeX character is found:\n\tLine 3: ... \"^^zz " DENG "\n\"\n"
            "An incomplete '^^xx' TeX character is found:\n\tLine 3: ... \"^^zz " DENG "\n\"\n");

  Settings quiet = finished_settings();
  quiet.show_parse_errors = false;
  std::string none;
  EXPECT_EQ(convert("x\n\\bibitem[a\xB5 ]{k}\n\\newblock ^^zz " DENG "\n", quiet, &none), output);
  EXPECT_EQ(none, "");
}

TEST(ConvertLinesTest, NoInputByteIsLost) {
  const PassCase cases[] = {
      {"NUL inside an author line", std::string("\\bibitem{k}\nab\0cd\n", 17),
       std::string("\\bibitem{k}\nab\0cd\n", 17)},
      {"NUL inside a label", std::string("\\bibitem[a\0]{k}\nx\n", 18),
       std::string("\\bibitem[a\0]{k}\nx\n", 18)},
      {"NUL right after bibitem", std::string("\\bibitem\0[a]\n", 13),
       std::string("\\bibitem\0[a]\n", 13)},
      {"caret NUL", "\\bibitem{k}\nab^^00cd\n", "\\bibitem{k}\nab^^00cd\n"},
      {"lone lead byte at the end", "\\bibitem{k}\n\xB5", "\\bibitem{k}\n"},
      {"one byte", "x", "x"},
      {"only blank lines", "\n\n\n", "\n\n\n"},
  };
  expect_pass(cases, std::size(cases), finished_settings());
}

TEST(ConvertLinesTest, MultiMegabyteLines) {
  std::string label = "\\bibitem[";
  for (int i = 0; i < 500000; ++i) label += ZHANGSAN " ";
  label += "]{k}\n";
  std::string input = label + std::string(3 << 20, 'x') + "\n\\newblock " +
                      std::string(1 << 20, '^') + "\n";
  std::string out;
  std::string messages;
  convert_lines(finished_settings(), input, &out, &messages);
  EXPECT_GT(out.size(), input.size());
  EXPECT_EQ(out.substr(out.size() - 6), "^^^^^\n");
  EXPECT_LT(messages.size(), 1000u);
}

}  // namespace
}  // namespace tolvar

namespace tolvar {
namespace {

// Random .bbl-like text from pieces that exercise every rule.
std::string random_bbl(std::mt19937& random, int pieces) {
  static const std::string_view kPieces[] = {
      "\\bibitem[", "\\bibitem{k}", "]{k}", "\n", "\r\n", "  ", " ", ",", ", ", "\\newblock ",
      "and ", "et al.", "et~al.", "\\&", "\\", "\\ ", "\\\\", "{", "}", "In ", "edition",
      " edition", "pages ", "chapter ", ", editors", ", editor", "ditor", "^^b5^^c8",
      "^^7f^^b5^^7f200^^7f", "\x7f\xB5\x7f" "200\x7f", "^^zz", "^", "^^5d", "^^0a", "^^00",
      ZHANGSAN, LISI, DENG, "\xB5", "\xB5]", "\xB5^", "\xB5\\", "\x80", "\xff", "abc", "Alice",
      "x", "(2005)", "12", ".", "~", std::string_view("\0", 1), "pages", "In",
      "\x7f\x85\x7f" "94\x7f", "^^7f^^85^^7f94^^7f", "\n  and ", "\n \\& ", "\n et~al.",
      ",\n and\n",
  };
  std::string text;
  for (int i = 0; i < pieces; ++i) text += kPieces[random() % std::size(kPieces)];
  return text;
}

TEST(ConvertLinesTest, PlainRunShortcutMatchesByteByByteScanning) {
  std::mt19937 random(12345);
  for (int round = 0; round < 3000; ++round) {
    const std::string input = random_bbl(random, 1 + static_cast<int>(random() % 60));
    Settings settings = finished_settings(round % 2 == 1, round % 3 == 2);
    if (round % 5 == 4) {
      settings.words.pages_from = "a";
      settings.words.editor2_from = "\xB5";
      settings.words.edition_from = "x";
    }
    // In a buffer of its own size, so that a look past the input's end is
    // caught under AddressSanitizer.
    const std::vector<char> exact(input.begin(), input.end());
    const std::string_view exact_input(exact.data(), exact.size());
    std::string fast, fast_messages, reference, reference_messages;
    convert_lines(settings, exact_input, &fast, &fast_messages);
    convert_lines_byte_by_byte(settings, exact_input, &reference, &reference_messages);
    ASSERT_EQ(fast, reference) << testing::PrintToString(input);
    ASSERT_EQ(fast_messages, reference_messages) << testing::PrintToString(input);
  }
}

// Pieces cut between lines must not change what the state carries from
// one line to the next (control spaces, keywords opening the next line),
// and a failing sink must still leave every message reported.
TEST(ConvertLinesTest, TextHandedOverInPiecesIsTheWholeText) {
  std::mt19937 random(54321);
  for (int round = 0; round < 5000; ++round) {
    const std::string input = random_bbl(random, 1 + static_cast<int>(random() % 60));
    const Settings settings = finished_settings(round % 2 == 1, round % 3 == 2);
    std::string whole, whole_messages;
    convert_lines(settings, input, &whole, &whole_messages);
    for (const size_t piece_bytes : {size_t{1}, size_t{40}, kOutputPieceBytes}) {
      std::vector<std::string> pieces;
      std::string messages;
      const OutputSink keep = [&pieces](std::string_view piece) {
        pieces.emplace_back(piece);
        return true;
      };
      ASSERT_TRUE(convert_lines_to(settings, input, keep, &messages, piece_bytes));
      std::string joined;
      for (size_t k = 0; k < pieces.size(); ++k) {
        if (k + 1 < pieces.size()) {
          ASSERT_GE(pieces[k].size(), piece_bytes);
          ASSERT_EQ(pieces[k].back(), '\n') << testing::PrintToString(input);
        }
        joined += pieces[k];
      }
      ASSERT_EQ(joined, whole) << round << " " << piece_bytes << testing::PrintToString(input);
      ASSERT_EQ(messages, whole_messages);

      int handed = 0;
      const OutputSink fail_second = [&handed](std::string_view) { return ++handed < 2; };
      messages.clear();
      EXPECT_EQ(convert_lines_to(settings, input, fail_second, &messages, piece_bytes),
                pieces.size() < 2);
      ASSERT_EQ(messages, whole_messages);
      ASSERT_LE(handed, 2);
    }
  }
}

}  // namespace
}  // namespace tolvar

#include "sort/sort_bibitems.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "sort/compare_keys.h"
#include "sort/gbk_tables.h"
#include "sort/pinyin_dictionary.h"
#include "sort/sort_key.h"

#define ZHANG "\xD5\xC5"
#define LI "\xC0\xEE"
#define WANG "\xCD\xF5"
#define DA "\xB4\xF3"
#define REN "\xC8\xCB"
#define YI "\xD2\xBB"

namespace tolvar {
namespace {

constexpr SortMode kAllModes[] = {SortMode::kPinyin, SortMode::kBishun, SortMode::kBihuashu,
                                  SortMode::kUnicode};

const std::string kHead = "\\begin{thebibliography}{9}\n\\providecommand{\\natexlab}[1]{#1}\n\n";
const std::string kTail = "\\end{thebibliography}\n";

std::string entry(const std::string& cite, const std::string& author) {
  return "\\bibitem[" + cite + "]{" + cite + "}\n" + author + "\n\\newblock Title " + cite + ".\n\n";
}

PinyinDictionary small_dictionary() {
  PinyinDictionary dictionary;
  dictionary.characters.resize(kGbkCharacterCount);
  const auto set = [&](const char* character, const char* reading) {
    dictionary.characters[gbk_index(reinterpret_cast<const unsigned char*>(character))] = {reading,
                                                                                            reading};
  };
  set(ZHANG, "zhang");
  set(LI, "li");
  set(WANG, "wang");
  set(DA, "da");
  set(REN, "ren");
  return dictionary;
}

std::string sorted(SortMode mode, std::string_view input) {
  Settings settings;
  settings.sort_mode = mode;
  const PinyinDictionary dictionary = small_dictionary();
  std::string out, messages;
  EXPECT_TRUE(sort_bibitems(settings, &dictionary, input, &out, &messages));
  EXPECT_EQ(messages, "");
  return out;
}

// Entries, the order they must come out in, and the modes that applies to.
struct OrderCase {
  const char* name;
  std::vector<std::string> authors;
  std::vector<int> order;
};

void check_order(SortMode mode, const OrderCase& c) {
  std::string input = kHead, expected = kHead;
  for (size_t i = 0; i < c.authors.size(); ++i) input += entry("e" + std::to_string(i), c.authors[i]);
  for (int i : c.order) expected += entry("e" + std::to_string(i), c.authors[i]);
  input += kTail;
  expected += kTail;
  EXPECT_EQ(sorted(mode, input), expected) << c.name << ", mode " << static_cast<int>(mode);
}

TEST(SortBibitems, OrderInEveryMode) {
  const OrderCase cases[] = {
      {"equal keys keep their order", {"Doe, J.", "Roe, K.", "doe, j."}, {0, 1, 2}},
      {"Chinese first", {"Young, A.", LI "~" WANG, "Adams, B."}, {1, 0, 2}},
      {"Latin text keeps the file order", {"Young, A.", "Adams, B.", "Moe, C."}, {0, 1, 2}},
      {"equal Chinese keep their order", {WANG ", Doe", WANG, WANG ", Doe"}, {1, 0, 2}},
      {"longer key after its prefix", {LI " and " WANG, LI}, {1, 0}},
      // Not a consistent order: the walk places entry 2 before entry 1
      // although entry 0 stays ahead of both.
      {"the walk decides", {"Roe", "Doe Smith", "Doe " LI}, {0, 2, 1}},
  };
  for (SortMode mode : kAllModes) {
    for (const OrderCase& c : cases) check_order(mode, c);
  }
}

TEST(SortBibitems, OrderOfChineseByMode) {
  const std::vector<std::string> authors = {ZHANG, REN, DA, LI};
  // pinyin da li ren zhang; strokes 1234521 < 134 < 34 < 5153154;
  // counts 2 (ren), 3 (da), 7 (li 1234521, zhang 5153154); code points
  // 4EBA (ren) 5927 (da) 5F20 (zhang) 674E (li).
  check_order(SortMode::kPinyin, {"pinyin", authors, {2, 3, 1, 0}});
  check_order(SortMode::kBishun, {"bishun", authors, {3, 2, 1, 0}});
  check_order(SortMode::kBihuashu, {"bihuashu", authors, {1, 2, 3, 0}});
  check_order(SortMode::kUnicode, {"unicode", authors, {1, 2, 0, 3}});
}

// Whole files: input and the expected output in bishun mode.
struct FileCase {
  const char* name;
  std::string input;
  std::string output;
};

TEST(SortBibitems, WholeFiles) {
  const std::string l1 = entry("l1", "Young, A."), c1 = entry("c1", LI);
  const std::string c2 = entry("c2", YI);
  std::string long_entry = "\\bibitem{long}\n" DA "\n";
  for (int i = 0; i < 300; ++i) long_entry += "\\newblock line " + std::to_string(i) + "\n";
  const FileCase cases[] = {
      {"one entry", kHead + l1 + kTail, kHead + l1 + kTail},
      {"no key line: empty key first, file order among them",
       kHead + c1 + "\\bibitem {x}\n" LI "\n" + l1 + "\\bibitem\n" DA "\n" + kTail,
       kHead + std::string("\\bibitem {x}\n" LI "\n\\bibitem\n" DA "\n") + c1 + l1 + kTail},
      {"label over two lines: the key line is the third",
       kHead + c1 + "\\bibitem[Young\n(2001)]{y}\n" DA "\nAdams\n" + kTail,
       kHead + c1 + "\\bibitem[Young\n(2001)]{y}\n" DA "\nAdams\n" + kTail},
      {"label over two lines, sorted by its third line",
       kHead + c1 + "\\bibitem[" LI "\n(2001)]{y}\n" YI "\n" + kTail,
       kHead + "\\bibitem[" LI "\n(2001)]{y}\n" YI "\n" + c1 + kTail},
      {"a label's \"]\" is no second byte of a character",
       kHead + c1 + "\\bibitem[" "\x81\x5D" "\n\x81\x5D(2001)]{y}\n" YI "\n" + kTail,
       kHead + "\\bibitem[" "\x81\x5D" "\n\x81\x5D(2001)]{y}\n" YI "\n" + c1 + kTail},
      {"comment and blank lines move with the entry before them",
       kHead + l1 + "% comment\n\n" + c1 + "%c1\n" + kTail,
       kHead + c1 + "%c1\n" + l1 + "% comment\n\n" + kTail},
      {"an entry of many lines", kHead + l1 + long_entry + kTail, kHead + long_entry + l1 + kTail},
      {"no end line: the last entry runs to the end", kHead + l1 + c1 + "tail\n",
       kHead + c1 + "tail\n" + l1},
      {"last line without line end gets one when moved", kHead + l1 + c1 + "tail",
       kHead + c1 + "tail\n" + l1},
      {"last line without line end stays last", kHead + c1 + l1 + "tail",
       kHead + c1 + l1 + "tail"},
      {"end line and what follows are kept",
       kHead + l1 + c1 + "x \\end{thebibliography} y\nafter\n",
       kHead + c1 + l1 + "x \\end{thebibliography} y\nafter\n"},
      {"each environment on its own",
       "pre\n" + kHead + l1 + c1 + kTail + "mid\n" + kHead + c2 + l1 + c1 + kTail + "post",
       "pre\n" + kHead + c1 + l1 + kTail + "mid\n" + kHead + c2 + c1 + l1 + kTail + "post"},
      {"a new environment ends the entries of an open one",
       kHead + l1 + c1 + kHead + l1 + c2 + kTail, kHead + c1 + l1 + kHead + c2 + l1 + kTail},
      {"a \\bibitem outside an environment stays",
       "\\bibitem{a}\nYoung\n" + kHead + l1 + c1 + kTail + "\\bibitem{b}\n" LI "\n",
       "\\bibitem{a}\nYoung\n" + kHead + c1 + l1 + kTail + "\\bibitem{b}\n" LI "\n"},
      {"no entry at all", "just text\n\\bibitem", "just text\n\\bibitem"},
      {"begin and \\bibitem on one line start no entry",
       "\\begin{thebibliography}{9} \\bibitem{a}\n" LI "\n" + l1 + c1 + kTail,
       "\\begin{thebibliography}{9} \\bibitem{a}\n" LI "\n" + c1 + l1 + kTail},
      {"empty file", "", ""},
  };
  for (const FileCase& c : cases) EXPECT_EQ(sorted(SortMode::kBishun, c.input), c.output) << c.name;
}

TEST(SortBibitems, PinyinNeedsDictionary) {
  Settings settings;
  settings.sort_mode = SortMode::kPinyin;
  std::string out, messages;
  EXPECT_FALSE(sort_bibitems(settings, nullptr, kHead + entry("a", LI) + kTail, &out, &messages));
  EXPECT_EQ(messages, "Failed to open GBK2py.inf!\n");
  for (SortMode mode : {SortMode::kBishun, SortMode::kBihuashu, SortMode::kUnicode}) {
    settings.sort_mode = mode;
    messages.clear();
    EXPECT_TRUE(sort_bibitems(settings, nullptr, kHead + entry("a", LI) + kTail, &out, &messages));
    EXPECT_EQ(messages, "");
  }
}

TEST(SortBibitems, CountBibitems) {
  EXPECT_EQ(count_bibitems(""), 0);
  EXPECT_EQ(count_bibitems("\\bibitem \\bibitem\n\\bibitem"), 2);
  EXPECT_EQ(count_bibitems("a\n\\begin{thebibliography}{1} \\bibitem{x}\nb\\bibitem\n"), 2);
}

// The walk of the entry list, written the plain way: an insertion into a
// vector before the first placed entry that compares greater.
std::vector<uint32_t> reference_walk(SortMode mode, const std::vector<std::string>& keys) {
  std::vector<uint32_t> order;
  for (uint32_t added = 0; added < keys.size(); ++added) {
    auto at = order.begin();
    while (at != order.end() &&
           compare_keys(mode, keys[*at].c_str(), keys[added].c_str(), *at, added) <= 0) {
      ++at;
    }
    order.insert(at, added);
  }
  return order;
}

// The walk's shortcuts must give what the plain walk gives, including where
// the comparison is not a consistent order.
TEST(SortBibitems, LinkMatchesThePlainWalk) {
  const char* pieces[] = {"Doe", "doe", "Roe", LI,   WANG, ZHANG, DA,  REN, ", ", " and ", " ",
                          "~",   "J.",  "{",   "}",  "",   "\\pinyin{x}", "\\pinyin{X}",
                          // no readings, no Unicode mapping, equal strokes (DING and SHI)
                          "\xB0\x50", "\xB0\xA1", "\xAA\xA1", "\xB6\xA1", "\xCA\xAE"};
  const PinyinDictionary dictionary = small_dictionary();
  std::mt19937 random(12345);
  for (SortMode mode : kAllModes) {
    SortKeyContext context;
    context.mode = mode;
    context.dictionary = &dictionary;
    for (int round = 0; round < 300; ++round) {
      BibEntryTable table;
      std::vector<std::string> keys;
      const int count = 1 + static_cast<int>(random() % 40);
      for (int i = 0; i < count; ++i) {
        std::string line;
        const int length = static_cast<int>(random() % 5);
        for (int k = 0; k < length; ++k) line += pieces[random() % std::size(pieces)];
        const size_t offset = table.keys.size();
        build_sort_key(context, line + "\n", &table.keys);
        table.entries.push_back({0, 0, offset});
        keys.push_back(table.keys.substr(offset));
      }
      ASSERT_EQ(link_bibitems(mode, table, 0, count), reference_walk(mode, keys))
          << "mode " << static_cast<int>(mode) << " round " << round;
    }
  }
}

}  // namespace
}  // namespace tolvar

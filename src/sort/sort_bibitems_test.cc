#include "sort/sort_bibitems.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "sort/compare_keys.h"
#include "shared/gbk_tables.h"
#include "shared/pinyin_dictionary.h"
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
    for (int round = 0; round < 500; ++round) {
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

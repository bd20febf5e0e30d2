// The sort step on UTF-8 .bbl files, and the English-first order in both
// encodings. Author lines are written here in UTF-8; the GBK runs take
// them converted, so that both encodings must give one order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shared/char_model.h"
#include "shared/pinyin_dictionary.h"
#include "tests/shipped_dictionary.h"
#include "sort/sort_bibitems.h"
#include "sort/sort_key.h"

namespace tolvar {
namespace {

// UTF-8 text as GBK: every character GBK has becomes its pair.
std::string to_gbk(std::string_view utf8) {
  const CharModel model(Encoding::kUtf8);
  std::string gbk;
  for (size_t at = 0; at < utf8.size();) {
    const size_t length = model.char_length(utf8, at);
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data() + at);
    const int code = length > 1 ? model.gbk_code(p, length) : -1;
    if (code < 0) {
      gbk.append(utf8, at, length);
    } else {
      gbk += {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
    }
    at += length;
  }
  return gbk;
}

std::string entry(int i, const std::string& author) {
  const std::string cite = "e" + std::to_string(i);
  return "\\bibitem[" + cite + "]{" + cite + "}\n" + author + "\n\\newblock Title.\n\n";
}

std::string bibliography(const std::vector<std::string>& authors, const std::vector<int>& order) {
  std::string text = "\\begin{thebibliography}{9}\n";
  for (int i : order) text += entry(i, authors[i]);
  return text + "\\end{thebibliography}\n";
}

struct OrderCase {
  const char* name;
  SortMode mode;
  bool english_first;
  bool utf8_only;  // holds characters GBK lacks, or Latin letters GBK has as double bytes
  std::vector<std::string> authors;
  std::vector<int> order;
};

constexpr SortMode kAllModes[] = {SortMode::kPinyin, SortMode::kBishun, SortMode::kBihuashu,
                                  SortMode::kUnicode};

std::vector<OrderCase> order_cases() {
  std::vector<OrderCase> cases = {
      // Surname readings 区 ou, 单 shan, 曾 zeng, and the compound 单于 chan.
      {"surname readings", SortMode::kPinyin, false, false,
       {"曾国藩", "单田芳", "区家麟", "单于丹", "安然"}, {4, 3, 2, 1, 0}},
      // 大 134, 人 34, 一 1, 丁 12 strokes; U+5927, U+4EBA, U+4E00, U+4E01.
      {"stroke order", SortMode::kBishun, false, false, {"大", "人", "一", "丁"}, {2, 3, 0, 1}},
      {"stroke count", SortMode::kBihuashu, false, false, {"大", "人", "一", "丁"}, {2, 3, 1, 0}},
      {"code point", SortMode::kUnicode, false, false, {"大", "人", "一", "丁"}, {2, 3, 1, 0}},
      {"English first", SortMode::kPinyin, true, false,
       {"张三", "Smith, J.", "安然", "", "Doe, A."}, {3, 1, 4, 2, 0}},
      {"English first unsorted", SortMode::kNone, true, false,
       {"张三", "Smith, J.", "安然", "", "Doe, A."}, {3, 1, 4, 0, 2}},
      // Accented Latin, Greek and Cyrillic are other text, however their
      // bytes would read as GBK.
      {"letters that are not Chinese", SortMode::kPinyin, true, true,
       {"安然", "Ölçer, A.", "Иванов, И.", "Αλφα, B.", "Émile Zola"}, {1, 2, 3, 4, 0}},
  };
  // U+20000 and U+20BB7 lack a GBK code: after every GBK character, by
  // code point, and before Latin.
  for (SortMode mode : kAllModes) {
    cases.push_back({"beyond GBK", mode, false, true, {"Smith, J.", "𠮷田", "𠀀", "安然"}, {3, 2, 1, 0}});
  }
  return cases;
}

TEST(Utf8SortTest, EntriesComeOutInTheOrderOfTheirAuthors) {
  for (const OrderCase& c : order_cases()) {
    for (Encoding encoding : {Encoding::kUtf8, Encoding::kGbk}) {
      if (encoding == Encoding::kGbk && c.utf8_only) continue;
      Settings settings;
      settings.sort_mode = c.mode;
      settings.english_first = c.english_first;
      settings.encoding = encoding;
      std::vector<std::string> authors = c.authors;
      if (encoding == Encoding::kGbk) {
        for (std::string& author : authors) author = to_gbk(author);
      }
      std::vector<int> file_order(authors.size());
      for (size_t i = 0; i < authors.size(); ++i) file_order[i] = static_cast<int>(i);
      std::string out, messages;
      ASSERT_TRUE(sort_bibitems(settings, &shipped_dictionary(), bibliography(authors, file_order),
                                &out, &messages));
      EXPECT_EQ(out, bibliography(authors, c.order))
          << c.name << ", mode " << static_cast<int>(c.mode) << ", "
          << (encoding == Encoding::kUtf8 ? "UTF-8" : "GBK");
    }
  }
}

// Keys hold Chinese characters in one form whatever the encoding, so the
// comparison sees the same key for a GBK line and its UTF-8 form.
TEST(Utf8SortTest, KeysOfBothEncodingsAgree) {
  const char* lines[] = {"欧阳明, 单\\pinyin{dan}芳 and Doe, J.\n", "李Lee Ming and 单芳\n",
                         "张三. 李四\n", "{王五} and Smith (ed.) et al.\n"};
  for (SortMode mode : kAllModes) {
    SortKeyContext gbk{mode, "editors", "editor", &shipped_dictionary(), CharModel(Encoding::kGbk)};
    SortKeyContext utf8 = gbk;
    utf8.model = CharModel(Encoding::kUtf8);
    for (const char* line : lines) {
      std::string gbk_key, utf8_key;
      build_sort_key(gbk, to_gbk(line), &gbk_key);
      build_sort_key(utf8, line, &utf8_key);
      EXPECT_EQ(utf8_key, gbk_key) << line << ", mode " << static_cast<int>(mode);
    }
  }
}

}  // namespace
}  // namespace tolvar

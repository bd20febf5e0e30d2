// The keys written into .bib files must order names as the sort step
// orders the same names in a .bbl, under BibTeX's byte comparison and
// biber's collation alike.
#include "bib/bib_key.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "bib/bib_keys.h"
#include "shared/char_model.h"
#include "shared/pinyin_dictionary.h"
#include "tests/shipped_dictionary.h"
#include "sort/compare_keys.h"
#include "sort/sort_key.h"

namespace tolvar {
namespace {

struct Tables {
  CompoundIndex compounds;
  HomophoneRanks ranks;
  Tables() {
    build_compound_index(shipped_dictionary(), &compounds);
    build_homophone_ranks(shipped_dictionary(), &ranks);
  }
};

const Tables& tables() {
  static const Tables t;
  return t;
}

BibKeyContext key_context(SortMode mode, Encoding encoding = Encoding::kGbk) {
  BibKeyContext context;
  context.mode = mode;
  context.model = CharModel(encoding);
  context.dictionary = &shipped_dictionary();
  context.compounds = &tables().compounds;
  context.ranks = &tables().ranks;
  return context;
}

// The sort step's key of an author line, as a .bbl gives it.
std::string sort_key_of(SortMode mode, const std::string& author_line, Encoding encoding = Encoding::kGbk) {
  SortKeyContext context;
  context.mode = mode;
  context.dictionary = &shipped_dictionary();
  context.model = CharModel(encoding);
  std::string key;
  build_sort_key(context, author_line + "\n", &key);
  return key;
}

int sign(int v) { return (v > 0) - (v < 0); }

// GBK bytes of characters the random names are made of: surnames with
// readings of their own, the first characters of compound surnames,
// homophones (张 章 彰 樟, 李 理 里), and characters of every GB2312 row.
std::vector<std::string> character_pool() {
  std::vector<std::string> pool = {
      "\xD4\xF8", "\xB5\xA5", "\xC7\xF8", "\xB3\xF0", "\xBD\xE2", "\xC6\xD3", "\xB2\xE9",  // 曾单区仇解朴查
      "\xC5\xB7", "\xD1\xF4", "\xCE\xBE", "\xB3\xD9", "\xB3\xA4", "\xCB\xEF", "\xCD\xF2",  // 欧阳尉迟长孙万
      "\xD9\xB9", "\xD5\xC5", "\xD5\xC2", "\xD5\xC3", "\xD5\xC1", "\xC0\xEE", "\xC0\xED",  // 俟张章彰樟李理
      "\xC0\xEF", "\xB6\xA1", "\xCA\xAE", "\xD2\xBB", "\xC8\xCB", "\xB4\xF3",              // 里丁十一人大
  };
  for (int lead = 0xB0; lead <= 0xF7; lead += 3) {
    for (int trail = 0xA1; trail <= 0xFE; trail += 17) {
      pool.push_back({static_cast<char>(lead), static_cast<char>(trail)});
    }
  }
  return pool;
}

// Lists of one to three Chinese names of two to four characters, the
// .bbl author line ("A, B, and C") beside the .bib value ("A and B and C").
// (A name of one character is cut apart from the next name in a .bbl's
// author line, where only the counts of parts and separators end a name.)
struct NameList {
  std::string bbl_line;
  std::string bib_value;
};

NameList random_names(std::mt19937* rng, const std::vector<std::string>& pool) {
  std::uniform_int_distribution<size_t> pick(0, pool.size() - 1);
  // Few characters per name, so that lists share their beginnings often.
  std::uniform_int_distribution<int> name_count(1, 3), length(2, 4), small(0, 5);
  std::vector<std::string> names(name_count(*rng));
  for (std::string& name : names) {
    const int n = length(*rng);
    for (int k = 0; k < n; ++k) name += small(*rng) == 0 ? pool[pick(*rng)] : pool[pick(*rng) % 8];
  }
  NameList list;
  for (size_t k = 0; k < names.size(); ++k) {
    if (k > 0) list.bbl_line += names.size() > 2 ? (k + 1 == names.size() ? ", and " : ", ") : " and ";
    if (k > 0) list.bib_value += " and ";
    list.bbl_line += names[k];
    list.bib_value += names[k];
  }
  return list;
}

bool is_key_text(const std::string& key) {
  if (key.empty() || key.front() == ' ' || key.back() == ' ' || key.find("  ") != std::string::npos) return false;
  for (char c : key) {
    if (!(c == ' ' || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z'))) return false;
  }
  return true;
}

TEST(BibKey, OrdersAsTheSortStepInEveryMode) {
  const std::vector<std::string> pool = character_pool();
  for (SortMode mode : {SortMode::kPinyin, SortMode::kBishun, SortMode::kBihuashu, SortMode::kUnicode}) {
    std::mt19937 rng(static_cast<unsigned>(mode) * 7919);
    std::vector<NameList> lists;
    for (int k = 0; k < 400; ++k) lists.push_back(random_names(&rng, pool));
    std::vector<std::string> sort_keys, bib_keys;
    for (const NameList& list : lists) {
      sort_keys.push_back(sort_key_of(mode, list.bbl_line));
      bib_keys.push_back(names_key(key_context(mode), bib_names(list.bib_value)));
      ASSERT_TRUE(is_key_text(bib_keys.back())) << "[" << bib_keys.back() << "]";
      // The same names in UTF-8 give the same key.
      ASSERT_EQ(names_key(key_context(mode, Encoding::kUtf8), bib_names(gbk_to_utf8(list.bib_value))),
                bib_keys.back());
    }
    int disagreements = 0;
    for (size_t a = 0; a < lists.size(); ++a) {
      for (size_t b = a + 1; b < lists.size(); ++b) {
        const int by_sort = sign(compare_keys(mode, sort_keys[a].c_str(), sort_keys[b].c_str(), 0, 1));
        const int by_key = sign(bib_keys[a].compare(bib_keys[b]));
        if (by_sort != by_key && ++disagreements <= 5) {
          ADD_FAILURE() << "mode " << static_cast<int>(mode) << ": " << gbk_to_utf8(lists[a].bib_value) << " ["
                        << bib_keys[a] << "] vs " << gbk_to_utf8(lists[b].bib_value) << " [" << bib_keys[b]
                        << "]: sort step " << by_sort << ", keys " << by_key;
        }
      }
    }
    EXPECT_EQ(disagreements, 0) << "mode " << static_cast<int>(mode);
  }
}

// UTF-8 test text as GBK.
std::string to_gbk(std::string_view text) {
  std::string gbk;
  const CharModel utf8(Encoding::kUtf8);
  for (size_t at = 0; at < text.size();) {
    const size_t n = utf8.char_length(text, at);
    const int code = n > 1 ? utf8.gbk_code(reinterpret_cast<const unsigned char*>(text.data() + at), n) : -1;
    if (code < 0) {
      gbk.append(text.substr(at, n));
    } else {
      gbk += {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
    }
    at += n;
  }
  return gbk;
}

TEST(BibKey, ReadsSurnamesCompoundsAndOrganisations) {
  // Values as the reader gives them: {{...}} in the file is {...} here.
  struct Case {
    const char* value;  // UTF-8
    const char* syllables;
  } cases[] = {
      {"曾国藩", "zengguofan"},  // 曾 as a surname is zeng
      {"曾, 国藩", "zengguofan"},  // last, first
      {"单田芳 and 曾国藩", "shantianfangzengguofan"},
      {"区家麟", "oujialin"},
      {"仇英", "qiuying"},
      {"长孙无忌", "zhangsunwuji"},  // compound surname
      {"尉迟恭", "yuchigong"},
      {"欧, 阳修", "ouyangxiu"},  // a surname of its own
      {"{单位}", "danwei"},  // an organisation has no surname
      {"{中国科学院}", "zhongguokexueyuan"},
      {"张三 and others", "zhangsan"},  // others is no name
      {"张三 AND 李四", "zhangsanlisi"},
  };
  for (const Case& c : cases) {
    for (Encoding encoding : {Encoding::kGbk, Encoding::kUtf8}) {
      const std::string value = encoding == Encoding::kGbk ? to_gbk(c.value) : std::string(c.value);
      std::string syllables;
      names_key(key_context(SortMode::kPinyin, encoding), bib_names(value), &syllables);
      EXPECT_EQ(syllables, c.syllables) << c.value;
    }
  }
}

TEST(BibKey, HomophonesKeepApartInGbkOrder) {
  // 张 (D5C5) and 章 (D5C2) read zhang1: the sort step puts 章 first.
  const BibKeyContext context = key_context(SortMode::kPinyin);
  const std::string zhang = names_key(context, bib_names("\xD5\xC5\xC8\xFD"));  // 张三
  const std::string zhang2 = names_key(context, bib_names("\xD5\xC2\xD2\xBB"));  // 章一
  EXPECT_TRUE(zhang.starts_with("zhang1")) << zhang;
  EXPECT_TRUE(zhang2.starts_with("zhang1")) << zhang2;
  EXPECT_LT(zhang2, zhang);
}

}  // namespace
}  // namespace tolvar

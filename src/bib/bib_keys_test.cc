// The key pass over a whole .bib: what is added, where, in which layout,
// and that nothing else of the file changes.
#include "bib/bib_keys.h"

#include <gtest/gtest.h>

#include <string>

namespace tolvar {
namespace {

// A dictionary of the characters used here, so that the expected keys can
// be read off: 张 zhang1, 三 san1, 李 li3, 曾 ceng2 (surname zeng1), 国 guo2.
const PinyinDictionary& small_dictionary() {
  static const PinyinDictionary dictionary = [] {
    PinyinDictionary d;
    d.characters.resize(23940);
    auto set = [&d](const char* gbk, const char* ordinary, const char* surname) {
      const auto* p = reinterpret_cast<const unsigned char*>(gbk);
      const int index = (p[0] - 0x81) * 190 + (p[1] - 0x40) - (p[1] >= 0x80 ? 1 : 0);
      d.characters[index] = {ordinary, surname};
    };
    set("\xD5\xC5", "zhang1", "zhang1");
    set("\xC8\xFD", "san1", "san1");
    set("\xC0\xEE", "li3", "li3");
    set("\xD4\xF8", "ceng2", "zeng1");
    set("\xB9\xFA", "guo2", "guo2");
    return d;
  }();
  return dictionary;
}

struct Keyed {
  std::string text;
  std::string messages;
  BibKeysResult result;
};

Keyed key_text(const std::string& input, BibKeysOptions options = {}) {
  static HomophoneRanks ranks;
  build_homophone_ranks(small_dictionary(), &ranks);
  BibKeyContext context;
  context.dictionary = &small_dictionary();
  context.ranks = &ranks;
  Keyed keyed;
  add_bib_keys(context, options, input, "refs.bib", &keyed.result, &keyed.messages);
  keyed.text = keyed.result.changed ? keyed.result.text : input;
  return keyed;
}

#define ZHANGSAN "\xD5\xC5\xC8\xFD"
#define LISAN "\xC0\xEE\xC8\xFD"
#define ZENGGUO "\xD4\xF8\xB9\xFA"

TEST(BibKeys, NewFieldFollowsTheEntrysLayout) {
  struct Case {
    const char* name;
    std::string input;
    std::string expected;
  } cases[] = {
      {"aligned", "@book{z,\n  author    = {" ZHANGSAN "},\n  title     = {T},\n}\n",
       "@book{z,\n  key       = {zhang1 san1},\n  author    = {" ZHANGSAN "},\n  title     = {T},\n}\n"},
      {"no blanks", "@book{z,author={" ZHANGSAN "}}", "@book{z,key={zhang1 san1},author={" ZHANGSAN "}}"},
      {"one line", "@book{z, author = {" ZHANGSAN "}, year = 2001}",
       "@book{z, key = {zhang1 san1}, author = {" ZHANGSAN "}, year = 2001}"},
      {"CR LF and a tab", "@Book{z,\r\n\tAUTHOR\t= \"" ZHANGSAN "\",\r\n}\r\n",
       "@Book{z,\r\n\tkey\t= \"zhang1 san1\",\r\n\tAUTHOR\t= \"" ZHANGSAN "\",\r\n}\r\n"},
      {"title first", "@book{z,\n  title = {T},\n  author = {" ZHANGSAN "},\n}",
       "@book{z,\n  key = {zhang1 san1},\n  title = {T},\n  author = {" ZHANGSAN "},\n}"},
      {"a comment before the first field", "@book{z, % mine\r\n  author = {" ZHANGSAN "}}",
       "@book{z, % mine\r\n  key = {zhang1 san1},\r\n  author = {" ZHANGSAN "}}"},
      {"parentheses", "@book(z, author = {" ZHANGSAN "})", "@book(z, key = {zhang1 san1}, author = {" ZHANGSAN "})"},
      {"an undefined macro is no name", "@book{z, author = zs}", "@book{z, author = zs}"},
      {"surname reading, two names", "@book{z, author = {" ZENGGUO " and " LISAN "}}",
       "@book{z, key = {zeng1 guo2 0 li3 san1}, author = {" ZENGGUO " and " LISAN "}}"},
      {"editors when no author", "@book{z, editor = {" ZHANGSAN "}}",
       "@book{z, key = {zhang1 san1}, editor = {" ZHANGSAN "}}"},
      {"English first author", "@book{z, author = {Knuth, Don and " ZHANGSAN "}}",
       "@book{z, author = {Knuth, Don and " ZHANGSAN "}}"},
      {"macro", "@string{zs = \"" ZHANGSAN "\"}\n@book{z, author = zs}",
       "@string{zs = \"" ZHANGSAN "\"}\n@book{z, key = {zhang1 san1}, author = zs}"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(key_text(c.input).text, c.expected) << c.name;
  }
}

TEST(BibKeys, AFieldThereAlreadyIsKeptOrReplaced) {
  const std::string input = "@book{z,\n  key = {ceng2 guo2},\n  author = {" ZENGGUO "},\n}\n"
                            "@book{y,\n  key = {Zeng Guo},\n  author = {" ZENGGUO "},\n}\n"
                            "@book{x,\n  key = {zeng1a guo2zab},\n  author = {" ZENGGUO "},\n}\n"
                            "@book{w,\n  key = {zeng1guo2},\n  author = {" ZENGGUO "},\n}\n"
                            "@book{v,\n  key = {" ZENGGUO "},\n  author = {" ZENGGUO "},\n}\n";
  Keyed kept = key_text(input);
  EXPECT_EQ(kept.text, input);
  EXPECT_FALSE(kept.result.changed);
  EXPECT_EQ(kept.result.kept, 5u);
  // Only the reading that disagrees is reported.
  EXPECT_EQ(kept.messages, "tolvar: refs.bib:2: the key of z reads \"ceng2 guo2\"; tolvar reads \"zeng1 guo2\"\n");

  BibKeysOptions replace;
  replace.replace = true;
  Keyed replaced = key_text(input, replace);
  std::string expected;
  for (const char* cite : {"z", "y", "x", "w", "v"}) {
    expected += std::string("@book{") + cite + ",\n  key = {zeng1 guo2},\n  author = {" ZENGGUO "},\n}\n";
  }
  EXPECT_EQ(replaced.text, expected);
  EXPECT_EQ(replaced.result.replaced, 5u);
  // A second run has nothing to do.
  Keyed again = key_text(replaced.text, replace);
  EXPECT_FALSE(again.result.changed);
}

TEST(BibKeys, SortnameAndSortkeyPutTheChineseEntriesFirstOrLast) {
  struct Case {
    const char* field;
    bool english_first;
    std::string value;
  } cases[] = {
      {"sortname", false, "{{0 zhang1 san1} and {li3 san1}}"},
      {"sortname", true, "{{zzzz zhang1 san1} and {li3 san1}}"},
      {"sortkey", false, "{0 zhang1 san1 0 li3 san1}"},
      {"SortKey", true, "{zzzz zhang1 san1 0 li3 san1}"},
      {"key", true, "{zhang1 san1 0 li3 san1}"},
  };
  for (const Case& c : cases) {
    BibKeysOptions options;
    options.field = c.field;
    options.english_first = c.english_first;
    EXPECT_EQ(key_text("@book{z, author = {" ZHANGSAN " and " LISAN "}}", options).text,
              std::string("@book{z, ") + c.field + " = " + c.value + ", author = {" ZHANGSAN " and " LISAN "}}")
        << c.field << c.english_first;
  }
}

TEST(BibKeys, WhatCannotBeReadIsLeftAndTheRestKeyed) {
  const std::string input = "@book{bad,\n  author = {" ZHANGSAN ",\n  title = {T},\n\n"
                            "@book{good,\n  author = {" LISAN "},\n}\n";
  Keyed keyed = key_text(input);
  EXPECT_EQ(keyed.text, "@book{bad,\n  author = {" ZHANGSAN ",\n  title = {T},\n\n"
                        "@book{good,\n  key = {li3 san1},\n  author = {" LISAN "},\n}\n");
  EXPECT_EQ(keyed.messages, "tolvar: refs.bib:2: entry bad: unbalanced brace; left as it stands\n");
}

}  // namespace
}  // namespace tolvar

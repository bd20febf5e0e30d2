#include "shared/settings.h"

#include <gtest/gtest.h>

namespace tolvar {
namespace {

TEST(KeywordStrings, DefaultsAreTheBuiltInValues) {
  KeywordStrings w;
  EXPECT_EQ(w.and_, ", ");
  EXPECT_EQ(w.etal, "\xB5\xC8");
  EXPECT_EQ(w.in_from, "In ");
  EXPECT_EQ(w.in, "\xB7\xA2\xB1\xED\xD3\xDA: ");
  EXPECT_EQ(w.pages_from, "pages ");
  EXPECT_EQ(w.pages, "\xD2\xB3\xC2\xEB: ");
  EXPECT_EQ(w.chapter_from, "chapter ");
  EXPECT_EQ(w.chapter, "");
  EXPECT_EQ(w.edition_from, " edition");
  EXPECT_EQ(w.edition, "\xB0\xE6");
  EXPECT_EQ(w.editors_from, ", editors");
  EXPECT_EQ(w.editor_from, ", editor");
  EXPECT_EQ(w.editors, "~(\xB1\xE0\xD5\xDF)");
  EXPECT_EQ(w.editors2_from, ", editors");
  EXPECT_EQ(w.editor2_from, ", editor");
  EXPECT_EQ(w.editors2, "~(\xB1\xE0\xD5\xDF)");
  Settings s;
  EXPECT_TRUE(s.show_parse_errors);
  EXPECT_FALSE(s.visible);
  EXPECT_FALSE(s.cjk);
  EXPECT_FALSE(s.silent);
  EXPECT_EQ(s.sort_mode, SortMode::kNone);
}

TEST(TildeRewrite, EveryRunOfBlanksBecomesOneTilde) {
  const struct {
    const char* in;
    const char* want;
  } cases[] = {
      {", ", ",~"},
      {"et  al.", "et~al."},
      {" \xB5\xC8", "~\xB5\xC8"},
      {" and ", "~and~"},
      {"   ", "~"},
      {"", ""},
      {"a b  c   d", "a~b~c~d"},
      {"\xB5\xC8\xB5\xC8", "\xB5\xC8\xB5\xC8"},
      {"a\tb", "a\tb"},
  };
  for (const auto& c : cases) EXPECT_EQ(tilde_rewrite(c.in), c.want) << c.in;
}

TEST(ConvertOptionText, LabelForms) {
  const struct {
    std::string in;
    bool visible;
    std::string want;
  } cases[] = {
      {"\xB5\xC8", false, "\x7F\xB5\x7F" "200\x7F"},
      {"\xB5\xC8", true, "^^7f^^b5^^7f200^^7f"},
      {",~", false, ",~"},
      {"\x81\x40", false, "\x7F\x81\x7F" "64\x7F"},
      {"\x81\x63", true, "^^7f^^81^^7f99^^7f"},
      {"\x81\x64", true, "^^7f^^81^^7f100^^7f"},
      {"\xFE\xFE", true, "^^7f^^fe^^7f254^^7f"},
      {"\xA1\x80", true, "^^7f^^a1^^7f128^^7f"},
      {"a\x80\xFF" "b", false, "a\x80\xFF" "b"},
      {"~\xB5\xC8~", true, "~^^7f^^b5^^7f200^^7f~"},
  };
  for (const auto& c : cases) {
    std::string label, messages;
    EXPECT_EQ(convert_option_text(c.in, c.visible, &label, &messages), 1) << c.in;
    EXPECT_EQ(label, c.want) << c.in;
    EXPECT_EQ(messages, "");
  }
}

TEST(ConvertOptionText, BadTrailStopsWithMessage) {
  const struct {
    std::string in;
    std::string want_label;
    std::string want_message;
  } cases[] = {
      {"\xB5", "", "Wrong CJK characters in options:... ^^b5^^0\n"},
      {"x\xB5\xC8\xB5\x7F" "y", "x\x7F\xB5\x7F" "200\x7F", "Wrong CJK characters in options:... ^^b5^^7f\n"},
      {"\x81\x3F", "", "Wrong CJK characters in options:... ^^81^^3f\n"},
      {"\xFE\xFF", "", "Wrong CJK characters in options:... ^^fe^^ff\n"},
      {"ab\xC0\x09", "ab", "Wrong CJK characters in options:... ^^c0^^9\n"},
  };
  for (const auto& c : cases) {
    std::string label, messages;
    EXPECT_EQ(convert_option_text(c.in, false, &label, &messages), -1) << c.in;
    EXPECT_EQ(label, c.want_label);
    EXPECT_EQ(messages, c.want_message);
  }
}

TEST(FinishKeywordStrings, DefaultsGiveTheDocumentedLabelForms) {
  Settings s;
  std::string messages;
  finish_keyword_strings(&s, &messages);
  EXPECT_EQ(s.words.and_, ",~");
  EXPECT_EQ(s.words.and_label, ",~");
  EXPECT_EQ(s.words.etal, "\xB5\xC8");
  EXPECT_EQ(s.words.etal_label, "\x7F\xB5\x7F" "200\x7F");
  EXPECT_EQ(messages, "");

  s = Settings();
  s.visible = true;
  s.words.and_ = " and ";
  finish_keyword_strings(&s, &messages);
  EXPECT_EQ(s.words.and_, "~and~");
  EXPECT_EQ(s.words.etal_label, "^^7f^^b5^^7f200^^7f");
}

TEST(FinishKeywordStrings, LoneLeadByteInEtalReportsAndLeavesTheStringAlone) {
  Settings s;
  s.words.etal = "\xB5";
  std::string messages;
  finish_keyword_strings(&s, &messages);
  EXPECT_EQ(messages, "Wrong CJK characters in options:... ^^b5^^0\n");
  EXPECT_EQ(s.words.etal, "\xB5");
  EXPECT_EQ(s.words.etal_label, "");
  EXPECT_EQ(s.words.and_label, ",~");
}

// In a UTF-8 run every keyword string ends up UTF-8 (the literals below are
// UTF-8): GBK text is converted, UTF-8 text kept; the label forms equal the
// strings, whatever -visible says, and nothing is reported.
TEST(FinishKeywordStrings, Utf8RunTakesOrConvertsEachString) {
  KeywordStrings defaults;
  Settings converted;
  converted.encoding = Encoding::kUtf8;
  std::string messages;
  finish_keyword_strings(&converted, &messages);
  const KeywordStrings& w = converted.words;
  EXPECT_EQ(w.and_, ",~");
  EXPECT_EQ(w.etal, "等");
  EXPECT_EQ(w.in_from, "In ");
  EXPECT_EQ(w.in, "发表于: ");
  EXPECT_EQ(w.pages_from, "pages ");
  EXPECT_EQ(w.pages, "页码: ");
  EXPECT_EQ(w.chapter, "");
  EXPECT_EQ(w.edition_from, " edition");
  EXPECT_EQ(w.edition, "版");
  EXPECT_EQ(w.editors_from, ", editors");
  EXPECT_EQ(w.editors, "~(编者)");
  EXPECT_EQ(w.editors2, "~(编者)");
  EXPECT_EQ(w.and_label, ",~");
  EXPECT_EQ(w.etal_label, "等");
  EXPECT_EQ(messages, "");

  const struct {
    std::string etal;  // as given in tolvar.cfg or on the command line
    bool visible;
    std::string want;  // the `etal.` string and its label form
  } cases[] = {
      {"等人", false, "等人"},                   // UTF-8 stays
      {"\xB5\xC8\xC8\xCB", false, "等人"},       // GBK 等人 is converted
      {" \xB5\xC8 ", true, "~等~"},              // converted, then tildes
      {"  等  人", true, "~等~人"},
      {"et al.", true, "et~al."},                // ASCII either way
      {"\xB5", false, "\xB5"},                   // a lone GBK lead byte stays as it is
      {"\xF0\xA0\xAE\xB7", false, "\xF0\xA0\xAE\xB7"},  // U+20BB7, outside GBK
  };
  for (const auto& c : cases) {
    Settings s;
    s.encoding = Encoding::kUtf8;
    s.visible = c.visible;
    s.words.etal = c.etal;
    messages.clear();
    finish_keyword_strings(&s, &messages);
    EXPECT_EQ(s.words.etal, c.want) << c.etal;
    EXPECT_EQ(s.words.etal_label, c.want) << c.etal;
    EXPECT_EQ(messages, "");
  }
}

}  // namespace
}  // namespace tolvar

#include "convert/author_list.h"

#include <gtest/gtest.h>

#include "convert/convert_test_support.h"
#include "convert/tex_reader.h"
#include "tests/gbk_test_strings.h"

namespace tolvar {
namespace {

struct HandlerCase {
  const char* after;    // the text after the blank or comma that was read
  const char* out;      // what the handler writes
  int next;             // what it hands back
  bool chinese_seen;    // afterwards
};

void run_space_cases(const HandlerCase* cases, size_t count, EntryState entry,
                     Settings settings) {
  for (size_t i = 0; i < count; ++i) {
    const HandlerCase& c = cases[i];
    LineHarness h(c.after, 0, settings);
    h.state.entry_state = entry;
    h.state.chinese_seen = true;
    h.state.in_control_word = true;
    EXPECT_EQ(handle_author_space(h.state), c.next) << c.after;
    EXPECT_EQ(h.out(), c.out) << c.after;
    EXPECT_EQ(h.state.chinese_seen, c.chinese_seen) << c.after;
  }
}

TEST(AuthorListTest, SpaceAfterChineseName) {
  const HandlerCase cases[] = {
      {"and " LISI, ",~", 0xC0, true},
      {"AND  " LISI, ",~", 0xC0, true},
      {"\\& " LISI, ",~", 0xC0, true},
      {"et al. and", DENG, 'a', true},
      {"et~al.\n", DENG, '\n', true},
      {"ET AL.,", DENG, ',', true},
      {"Et~Al.", DENG, 0, true},
      {LISI, "~", 0xC0, true},
      {"  (2005)", "~", '(', true},
      {"1999", "~", '1', true},
      {"\n", "~", '\n', true},
      {"Alice", "A", 'l', false},
      {"Ellen", "Ell", 'e', false},
      {"Anderson", ",~", 'e', true},
      {"and\n", ",~", '\n', true},
      {"\\textbf{x}", "\\", 't', true},
      {"adn", "adn", -1, false},            // the look-ahead stopped at its limit
      {"et al,", "et al", ',', false},
      {"e^^zz", "", -1, false},            // an incomplete caret drops what was read
      {"^^41nd x", ",~", 'x', true},       // caret notation counts as the letter
  };
  run_space_cases(cases, std::size(cases), EntryState::authors, finished_settings());
}

TEST(AuthorListTest, LabelUsesLabelFormsUnlessCjk) {
  const HandlerCase visible[] = {{"et al.(2005)", "^^7f^^b5^^7f200^^7f", '(', true},
                                 {"and " LISI, ",~", 0xC0, true}};
  run_space_cases(visible, std::size(visible), EntryState::label, finished_settings(true));

  const HandlerCase invisible[] = {{"et al.", "\x7f\xB5\x7f" "200\x7f", 0, true}};
  run_space_cases(invisible, std::size(invisible), EntryState::label, finished_settings());

  const HandlerCase cjk[] = {{"et al.", DENG, 0, true}};
  run_space_cases(cjk, std::size(cjk), EntryState::label, finished_settings(false, true));

  // Outside a label the plain forms are written even when they differ.
  Settings settings = finished_settings();
  settings.words.and_label = "LABEL";
  const HandlerCase plain[] = {{"and x", ",~", 'x', true}};
  run_space_cases(plain, std::size(plain), EntryState::authors, settings);
}

TEST(AuthorListTest, ReplacingStringsAreWrittenAsTheyStand) {
  Settings settings = finished_settings();
  settings.words.and_ = "~%and%~";
  const HandlerCase cases[] = {{"and x", "~%and%~", 'x', true}};
  run_space_cases(cases, std::size(cases), EntryState::authors, settings);
}

TEST(AuthorListTest, CommaAfterChineseName) {
  const HandlerCase cases[] = {
      {" and " WANGWU, ",~", 0xCD, true},
      {" AnD" WANGWU, ",~", 0xCD, true},
      {" " LISI, ", ", 0xC0, false},
      {LISI, ",", 0xC0, false},
      {" an", ", an", 0, false},
      {" andy", ",~", 'y', true},
      {" a^^", "", -1, false},
      {"\n", ",", '\n', false},
  };
  for (const HandlerCase& c : cases) {
    LineHarness h(c.after);
    h.state.entry_state = EntryState::authors;
    h.state.chinese_seen = true;
    h.state.in_control_word = true;
    EXPECT_EQ(handle_author_comma(h.state), c.next) << c.after;
    EXPECT_EQ(h.out(), c.out) << c.after;
    EXPECT_EQ(h.state.chinese_seen, c.chinese_seen) << c.after;
    EXPECT_FALSE(h.state.in_control_word) << c.after;
  }
}

// ", et al." after the last of several names. A failed attempt leaves the
// cursor and the messages as the ", and" look-ahead left them, so the scan
// goes on exactly as it did before "et al." was looked for.
TEST(AuthorListTest, CommaBeforeEtAl) {
  const struct {
    const char* after;
    const char* out;
    int next;
    bool chinese_seen;
    size_t consumed;
  } cases[] = {
      {" et al. " LISI, DENG, 0xC0, true, 9},
      {" et~al.\n", DENG, '\n', true, 7},
      {"  ET~AL.,", DENG, ',', true, 9},
      {"^^20Et al.(2005)", DENG, '(', true, 11},
      {" e^^74~al.", DENG, 0, true, 10},
      {" et al\n", ", ", 'e', false, 2},
      {" Ellen", ", ", 'E', false, 2},
      {" etal.", ", ", 'e', false, 2},
      {" et al,", ", ", 'e', false, 2},
      {" et~a" WANGWU, ", ", 'e', false, 2},
      {" e^^zz", ", ", 'e', false, 2},           // the look-ahead's message is taken back
      {"et al.", ",", 'e', false, 1},            // no blank: not the list's "et al."
      {"    et al.", ",    ", -1, false, 4},     // the ", and" look-ahead reached its limit
      {" x et al.", ", ", 'x', false, 2},
  };
  for (const auto& c : cases) {
    LineHarness h(c.after);
    h.state.entry_state = EntryState::authors;
    h.state.chinese_seen = true;
    EXPECT_EQ(handle_author_comma(h.state), c.next) << c.after;
    EXPECT_EQ(h.out(), c.out) << c.after;
    EXPECT_EQ(h.state.chinese_seen, c.chinese_seen) << c.after;
    EXPECT_EQ(h.consumed(), c.consumed) << c.after;
    EXPECT_EQ(h.messages, "") << c.after;
  }
}

TEST(AuthorListTest, CommaBeforeEtAlInLabels) {
  const struct {
    Settings settings;
    const char* out;
  } cases[] = {
      {finished_settings(true), "^^7f^^b5^^7f200^^7f"},
      {finished_settings(), "\x7f\xB5\x7f" "200\x7f"},
      {finished_settings(false, true), DENG},
  };
  for (const auto& c : cases) {
    LineHarness h(" et~al.(2005)", ']', c.settings);
    h.state.entry_state = EntryState::label;
    h.state.chinese_seen = true;
    EXPECT_EQ(handle_author_comma(h.state), '(');
    EXPECT_EQ(h.out(), c.out);
    EXPECT_TRUE(h.state.chinese_seen);
  }
}

TEST(AuthorListTest, BackslashCaseStartsAControlWord) {
  LineHarness h("\\emph");
  h.state.entry_state = EntryState::authors;
  h.state.chinese_seen = true;
  EXPECT_EQ(handle_author_space(h.state), 'e');
  EXPECT_TRUE(h.state.in_control_word);
  EXPECT_TRUE(h.state.chinese_seen);
}

}  // namespace
}  // namespace tolvar

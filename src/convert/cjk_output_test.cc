#include "convert/cjk_output.h"

#include <gtest/gtest.h>

#include "convert/convert_test_support.h"
#include "convert/tex_reader.h"

namespace tolvar {
namespace {

// Reads and outputs characters as the scan does, until the line's stop.
std::string output_all(LineHarness& h, bool label) {
  for (;;) {
    const int c = read_tex_char(h.state);
    if (c == -1) continue;
    h.state.current = c;
    if (label) {
      convert_label_char(h.state);
    } else {
      copy_char(h.state);
    }
    const int now = h.state.current;
    if (now == 0 || now == h.state.stop_char || now == '\n' || now == '\r') break;
  }
  return h.out();
}

TEST(CjkOutputTest, LabelFormsOfOneCharacter) {
  const struct {
    unsigned char lead, trail;
    bool visible;
    const char* expected;
  } cases[] = {
      {0xB5, 0xC8, true, "^^7f^^b5^^7f200^^7f"},
      {0xB5, 0xC8, false, "\x7f\xB5\x7f" "200\x7f"},
      {0xB0, 0x63, false, "\x7f\xB0\x7f" "99\x7f"},
      {0xB0, 0x64, false, "\x7f\xB0\x7f" "100\x7f"},
      {0x81, 0x40, true, "^^7f^^81^^7f64^^7f"},
      {0xFE, 0xFE, true, "^^7f^^fe^^7f254^^7f"},
  };
  for (const auto& c : cases) {
    std::string out;
    append_label_cjk_char(c.visible, c.lead, c.trail, &out);
    EXPECT_EQ(out, c.expected);
  }
}

struct OutputCase {
  const char* name;
  const char* line;
  bool label;      // convert_label_char with "]" as stop, else copy_char
  bool visible;
  const char* out;
  const char* messages;
};

TEST(CjkOutputTest, CharactersInAndOutOfLabels) {
  const OutputCase cases[] = {
      {"label GBK invisible", "\xB5\xC8]", true, false, "\x7f\xB5\x7f" "200\x7f", ""},
      {"label GBK visible", "\xB5\xC8]", true, true, "^^7f^^b5^^7f200^^7f", ""},
      {"label caret GBK", "^^b5^^C8]", true, true, "^^7f^^b5^^7f200^^7f", ""},
      {"visible triple passes", "^^7f^^b5^^7f200^^7f]", true, false, "^^7f^^b5^^7f200^^7f", ""},
      {"invisible triple passes", "\x7f\xB5\x7f" "200\x7f]", true, true,
       "^^7f\xB5\x7f" "200\x7f", ""},
      {"two-digit triple passes", "\x7f\xB0\x7f" "99\x7f" "a]", true, true,
       "^^7f\xB0\x7f" "99\x7f" "a", ""},
      {"four digits break a triple", "^^7f^^b5^^7f2000 x]", true, false, " x",
       "Wrong \"^^7f\" CJK character - \"^^7f\" is expected here:\n\tLine 7: ... ^^30\n"},
      {"triple cut by the label end", "\x7f\xB5]", true, false, "",
       "Wrong \"^^7f\" CJK character - \"^^7f\" is expected here:\n\tLine 7: ... ^^5d\n"},
      {"label lead before blank", "\xB5 x]", true, false, "x",
       "An incomplete '^^xx' TeX character is found:\n\tLine 7: ... ^^b5^^20\n"},
      {"label lead before closing bracket", "a\xB5]", true, false, "a",
       "An incomplete '^^xx' TeX character is found:\n\tLine 7: ... ^^b5^^5d\n"},
      {"label lead before bracket in carets", "\xB5^^5d]", true, true, "^^7f^^b5^^7f93^^7f", ""},
      {"copy GBK raw", "\xD5\xC5\n", false, false, "\xD5\xC5", ""},
      {"copy caret GBK raw", "^^d5^^c5\n", false, false, "\xD5\xC5", ""},
      {"copy caret letter", "^^41\n", false, false, "A", ""},
      {"copy lead before line end", "x\xB5\n", false, false, "x",
       "A wrong CJK character is found:\n\tLine 7: ... ^^b5^^a\n"},
      {"copy DEL and single bytes", "\x7f\x80\xff\n", false, false, "\x7f\x80\xff", ""},
      {"label single bytes", "\x80\xff]", true, false, "\x80\xff", ""},
      {"lead then broken caret", "\xB5^^zz\n", false, false, "zz",
       "An incomplete '^^xx' TeX character is found:\n\tLine 7: ... \"^^zz\n\"\n"},
      {"label GBK with caret trail", "\x8C^\xB5\xC8]", true, true,
       "^^7f^^8c^^7f94^^7f^^7f^^b5^^7f200^^7f", ""},
      {"copy GBK with caret trail", "\x8C^xy\n", false, false, "\x7f\x8C\x7f" "94\x7fxy", ""},
      {"lead before a single-caret sequence", "\x8C^ab\n", false, false, "\x8C\xAB", ""},
      {"lead before a caret sequence", "\x8C^^5e\n", false, false, "\x7f\x8C\x7f" "94\x7f", ""},
      {"caret line end is kept", "a^^0ab\n", false, false, "a^^0a", ""},
      {"caret bracket closes label and is kept", "a^^5db]", true, false, "a^^5d", ""},
  };
  for (const OutputCase& c : cases) {
    LineHarness h(c.line, c.label ? ']' : 0, finished_settings(c.visible));
    EXPECT_EQ(output_all(h, c.label), c.out) << c.name;
    EXPECT_EQ(h.messages, c.messages) << c.name;
  }
}

// Outside labels a character in the preprocessor's triple form passes as
// the line holds it; a DEL that starts no complete triple is one byte, and
// looking for the triple reports nothing.
TEST(CjkOutputTest, TriplesOutsideLabelsPassUnchanged) {
  const struct {
    const char* name;
    const char* line;
    unsigned char stop;  // "]" for a label copied raw under -cjk
    const char* out;
    const char* messages;
  } cases[] = {
      {"raw triple", "\x7f\x85\x7f" "94\x7f\n", 0, "\x7f\x85\x7f" "94\x7f", ""},
      {"three digits", "\x7f\x82\x7f" "125\x7fx\n", 0, "\x7f\x82\x7f" "125\x7fx", ""},
      {"caret triple", "^^7f^^85^^7f94^^7f\n", 0, "^^7f^^85^^7f94^^7f", ""},
      {"mixed notation", "^^7f\x85^^7f" "94\x7f\n", 0, "^^7f\x85^^7f" "94\x7f", ""},
      {"two in a row", "\x7f\x85\x7f" "94\x7f\x7f\x95\x7f" "92\x7f\n", 0,
       "\x7f\x85\x7f" "94\x7f\x7f\x95\x7f" "92\x7f", ""},
      {"-cjk label", "\x7f\x85\x7f" "94\x7f]", ']', "\x7f\x85\x7f" "94\x7f", ""},
      {"one digit", "\x7f\x85\x7f" "9\x7f\n", 0, "\x7f" "9\x7f",
       "A wrong CJK character is found:\n\tLine 7: ... ^^85^^7f\n"},
      {"four digits", "\x7f\x85\x7f" "1234\x7f\n", 0, "\x7f" "1234\x7f",
       "A wrong CJK character is found:\n\tLine 7: ... ^^85^^7f\n"},
      {"no lead byte", "\x7f" "A\x7f" "12\x7f\n", 0, "\x7f" "A\x7f" "12\x7f", ""},
      {"cut by the line end", "\x7f\x85\x7f" "94\n", 0, "\x7f" "94",
       "A wrong CJK character is found:\n\tLine 7: ... ^^85^^7f\n"},
      {"cut by the stop", "\x7f\x85\x7f" "94]", ']', "\x7f" "94",
       "A wrong CJK character is found:\n\tLine 7: ... ^^85^^7f\n"},
      {"caret DEL alone", "^^7fx\n", 0, "\x7fx", ""},
      {"broken caret reported once", "\x7f^^zz\n", 0, "\x7fzz",
       "An incomplete '^^xx' TeX character is found:\n\tLine 7: ... \"^^zz\n\"\n"},
  };
  for (const auto& c : cases) {
    LineHarness h(c.line, c.stop, finished_settings(false, c.stop != 0));
    EXPECT_EQ(output_all(h, false), c.out) << c.name;
    EXPECT_EQ(h.messages, c.messages) << c.name;
  }
}

TEST(CjkOutputTest, TripleOutsideLabelsIsChineseText) {
  const struct {
    const char* line;
    bool after;
  } cases[] = {
      {"x\x7f\x85\x7f" "94\x7f\n", true},
      {"x^^7f^^85^^7f94^^7f\n", true},
      {"\x7f\x85\x7f" "94\x7fx\n", false},
      {"x\x7f" "A\x7f" "12\x7f\n", false},
  };
  for (const auto& c : cases) {
    LineHarness h(c.line);
    output_all(h, false);
    EXPECT_EQ(h.state.chinese_seen, c.after) << c.line;
  }
}

TEST(CjkOutputTest, BadLeadByteHandsTheStopBackToTheScan) {
  LineHarness h("\xB5]{key}", ']');
  h.state.current = read_tex_char(h.state);
  convert_label_char(h.state);
  EXPECT_EQ(h.state.current, ']');
  EXPECT_EQ(h.consumed(), 1u);  // the "]" is still there to close the label
}

TEST(CjkOutputTest, ChineseSeenFollowsWordLikeCharacters) {
  const struct {
    const char* line;
    bool before;
    bool after;
  } cases[] = {
      {"\xB5\xC8\n", false, true},
      {"\xB5\xC8x\n", false, false},
      {"\xB5\xC8\\emph{\n", false, true},     // a control word's name is not text
      {"\xB5\xC8\\emph{x\n", false, false},   // the "{" ends the control word
      {"\xB5\xC8 12,.()-\n", false, true},    // digits and punctuation never clear it
      {"\\\xB5\xC8\n", false, true},
      {"\n", true, true},
  };
  for (const auto& c : cases) {
    LineHarness h(c.line);
    h.state.chinese_seen = c.before;
    output_all(h, false);
    EXPECT_EQ(h.state.chinese_seen, c.after) << c.line;
  }
}

TEST(CjkOutputTest, BrokenTripleClearsBothFlags) {
  LineHarness h("\x7fxy]", ']');
  h.state.chinese_seen = true;
  h.state.in_control_word = true;
  h.state.current = read_tex_char(h.state);
  convert_label_char(h.state);
  EXPECT_FALSE(h.state.chinese_seen);
  EXPECT_FALSE(h.state.in_control_word);
  EXPECT_EQ(h.out(), "");
}

TEST(CjkOutputTest, CjkFlagCopiesLabelCharactersRaw) {
  Settings settings = finished_settings(false, true);
  LineHarness h("\xB5\xC8\x7f" "a]", ']', settings);
  EXPECT_EQ(output_all(h, false), "\xB5\xC8\x7f" "a");
}

TEST(CjkOutputTest, HiddenParseErrorsStillDropBadPairs) {
  Settings settings = finished_settings();
  settings.show_parse_errors = false;
  LineHarness h("\xB5 x\n", 0, settings);
  EXPECT_EQ(output_all(h, false), "x");
  EXPECT_EQ(h.messages, "");
}

}  // namespace
}  // namespace tolvar

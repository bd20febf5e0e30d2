#include "convert/tex_reader.h"

#include <gtest/gtest.h>

#include "convert/convert_test_support.h"

namespace tolvar {
namespace {

struct ReadCase {
  const char* line;
  int expected;
  size_t consumed;
};

TEST(TexReaderTest, CaretSequencesDecodeWithOneOrMoreCarets) {
  const ReadCase cases[] = {
      {"^^41x", 'A', 4},   {"^41x", 'A', 3},     {"^^^41x", 'A', 5},
      {"^^b5", 0xB5, 4},   {"^^B5", 0xB5, 4},    {"^^00z", 0, 4},
      {"^^0a\n", '\n', 4}, {"^^5d]", ']', 4},    {"ab", 'a', 1},
      {"\x80", 0x80, 1},   {"\xff", 0xFF, 1},
  };
  for (const ReadCase& c : cases) {
    LineHarness h(c.line, ']');
    EXPECT_EQ(read_tex_char(h.state), c.expected) << c.line;
    EXPECT_EQ(h.consumed(), c.consumed) << c.line;
    EXPECT_EQ(h.messages, "") << c.line;
  }
}

TEST(TexReaderTest, IncompleteCaretSequenceReportsRestOfLine) {
  const struct {
    const char* line;
    size_t cursor_after;
    const char* quoted;
  } cases[] = {
      {"ab^^4g x\n", 4, "^^4g x\n"},
      {"ab^^4\n", 4, "^^4\n"},
      {"ab^ c\n", 3, "b^ c\n"},
      {"ab^^\n", 4, "^^\n"},
      {"^x\n", 1, "^x\n"},  // fewer than two bytes before the cursor
      {"ab^^^zz\n", 5, "^^zz\n"},
      {"x^^", 3, "^^"},  // a last line without its line end
  };
  for (const auto& c : cases) {
    LineHarness h(c.line);
    h.state.cursor += std::string_view(c.line).find('^');
    EXPECT_EQ(read_tex_char(h.state), -1) << c.line;
    EXPECT_EQ(h.consumed(), c.cursor_after) << c.line;
    EXPECT_EQ(h.messages, std::string("An incomplete '^^xx' TeX character is found:\n\tLine 7: ... \"") +
                              c.quoted + "\"\n")
        << c.line;
  }
}

TEST(TexReaderTest, HiddenParseErrorsGiveTheSameResults) {
  Settings settings = finished_settings();
  settings.show_parse_errors = false;
  LineHarness h("^^4g\n", 0, settings);
  EXPECT_EQ(read_tex_char(h.state), -1);
  EXPECT_EQ(h.consumed(), 2u);
  EXPECT_EQ(h.messages, "");
}

TEST(TexReaderTest, LongRestOfLineIsCutInTheMessage) {
  LineHarness h("^^" + std::string(1000, 'x') + "\n");
  EXPECT_EQ(read_tex_char(h.state), -1);
  const std::string expected = "An incomplete '^^xx' TeX character is found:\n\tLine 7: ... \"^^" +
                               std::string(158, 'x') + "...\"\n";
  EXPECT_EQ(h.messages, expected);
}

TEST(TexReaderTest, StopCharactersAndLineEndsAreNeverSteppedOver) {
  const struct {
    const char* line;
    unsigned char stop;
    int expected;
  } cases[] = {
      {"]x", ']', ']'}, {"\nx", 0, '\n'}, {"\rx", 0, '\r'}, {"", 0, 0}
  };
  for (const auto& c : cases) {
    LineHarness h(c.line, c.stop);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(read_tex_char(h.state), c.expected) << c.line;
    EXPECT_EQ(h.consumed(), 0u) << c.line;
  }
}

TEST(TexReaderTest, SkipSpacesReadsPastBlanksIncludingCaretBlanks) {
  LineHarness plain("   x!");
  EXPECT_EQ(read_tex_char_skip_spaces(plain.state), 'x');
  EXPECT_EQ(plain.consumed(), 4u);

  LineHarness caret(" ^^20 y");
  EXPECT_EQ(read_tex_char_skip_spaces(caret.state), 'y');
  EXPECT_EQ(caret.consumed(), 7u);

  LineHarness broken("  ^^zz\n");
  EXPECT_EQ(read_tex_char_skip_spaces(broken.state), -1);
  EXPECT_EQ(broken.consumed(), 4u);
  EXPECT_EQ(broken.messages,
            "An incomplete '^^xx' TeX character is found:\n\tLine 7: ... \"^^zz\n\"\n");
}

TEST(TexReaderTest, HexDigitsAreAsciiOnly) {
  for (int c = 0; c < 256; ++c) {
    const bool expected = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    EXPECT_EQ(is_hex_digit(static_cast<unsigned char>(c)), expected) << c;
  }
  const unsigned char pairs[][2] = {{'0', '0'}, {'F', 'f'}, {'7', 'F'}, {'a', '9'}};
  const int values[] = {0, 255, 127, 169};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(hex_pair_value(pairs[i]), values[i]);
}

}  // namespace
}  // namespace tolvar

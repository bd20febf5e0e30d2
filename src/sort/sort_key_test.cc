#include "sort/sort_key.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shared/gbk_tables.h"
#include "shared/pinyin_dictionary.h"

// GBK characters used below.
#define ZHANG "\xD5\xC5"
#define SAN "\xC8\xFD"
#define LI "\xC0\xEE"
#define SI "\xCB\xC4"
#define WANG "\xCD\xF5"
#define WU "\xCE\xE5"
#define MING "\xC3\xF7"
#define FANG "\xB7\xBC"
#define DAN "\xB5\xA5"
#define OU "\xC5\xB7"
#define YANG "\xD1\xF4"

namespace tolvar {
namespace {

void set_readings(PinyinDictionary* dictionary, const char* character, const char* ordinary,
                  const char* surname) {
  const int index = gbk_index(reinterpret_cast<const unsigned char*>(character));
  ASSERT_GE(index, 0);
  dictionary->characters[index] = {ordinary, surname};
}

// The dictionary of the worked examples: equal readings except for the
// surname reading of DAN, and one compound surname.
PinyinDictionary example_dictionary() {
  PinyinDictionary dictionary;
  dictionary.characters.resize(kGbkCharacterCount);
  set_readings(&dictionary, ZHANG, "zhang", "zhang");
  set_readings(&dictionary, SAN, "san", "san");
  set_readings(&dictionary, LI, "li", "li");
  set_readings(&dictionary, SI, "si", "si");
  set_readings(&dictionary, WANG, "wang", "wang");
  set_readings(&dictionary, WU, "wu", "wu");
  set_readings(&dictionary, MING, "ming", "ming");
  set_readings(&dictionary, FANG, "fang", "fang");
  set_readings(&dictionary, DAN, "dan", "shan");
  set_readings(&dictionary, OU, "ou", "ou");
  set_readings(&dictionary, YANG, "yang", "yang");
  dictionary.compounds.push_back({OU YANG, "ou", "yang"});
  return dictionary;
}

// Shows a NUL-separated list with '|' between its strings and '^' for the
// segment separator; the list must end with exactly one empty string.
std::string show_list(const std::string& list) {
  if (list.empty() || list.back() != '\0') return "<unterminated>";
  if (list == std::string(1, '\0')) return "";
  if (list.size() < 2 || list[list.size() - 2] != '\0') return "<unterminated>";
  std::string shown;
  for (size_t i = 0; i + 1 < list.size() - 1; ++i) {
    if (list[i] == '\0') {
      shown += '|';
    } else if (list[i] == kSegmentSeparator) {
      shown += '^';
    } else {
      shown += list[i];
    }
  }
  return shown;
}

SortKeyContext context_for(SortMode mode, const PinyinDictionary* dictionary) {
  SortKeyContext context;
  context.mode = mode;
  context.dictionary = dictionary;
  return context;
}

std::string names_of(const SortKeyContext& context, std::string_view line) {
  std::string list;
  split_names(context, line, &list);
  return show_list(list);
}

std::string key_of(const SortKeyContext& context, std::string_view line) {
  std::string key;
  build_sort_key(context, line, &key);
  return show_list(key);
}

constexpr SortMode kPlainModes[] = {SortMode::kBishun, SortMode::kBihuashu, SortMode::kUnicode};

struct KeyCase {
  const char* line;
  const char* names_pinyin;  // name list in pinyin mode
  const char* names_plain;   // name list in the other modes
  const char* key_pinyin;
  const char* key_plain;
};

// The worked examples: name list and key in every mode.
const KeyCase kWorkedExamples[] = {
    {"J.~Doe, K.~Roe, and L.~Poe.\n", "J. Doe|K. Roe|L. Poe. ", "J. Doe|K. Roe|L. Poe. ",
     "J.^Doe|K.^Roe|L.^Poe.", "J.^Doe|K.^Roe|L.^Poe."},
    {ZHANG SAN ", " LI SI " and " WANG WU "\n", ZHANG SAN "|" LI SI "|" WANG WU " ",
     ZHANG SAN "|" LI SI "|" WANG WU " ",
     ZHANG "zhang^" SAN "san|" LI "li^" SI "si|" WANG "wang^" WU "wu",
     ZHANG SAN "|" LI SI "|" WANG WU},
    {OU YANG MING ", " DAN "\\pinyin{dan}" FANG " and Doe, J.\n",
     OU YANG MING "|" DAN "\\pinyin{dan}" FANG "|Doe, J.", OU YANG MING "|" DAN FANG "|Doe, J.",
     OU "ou^" YANG "yang^" MING "ming|" DAN "dan^" FANG "fang|Doe^J.",
     OU YANG MING "|" DAN FANG "|Doe^J."},
    {LI "Lee Ming and " DAN FANG "\n", LI "Lee Ming|" DAN FANG " ", LI "Lee Ming|" DAN FANG " ",
     LI "li^Lee^Ming|" DAN "shan^" FANG "fang", LI "^Lee^Ming|" DAN FANG},
    {ZHANG SAN " " LI SI ", " WANG WU "\n", ZHANG SAN " " LI SI "|" WANG WU " ",
     ZHANG SAN " " LI SI "|" WANG WU " ",
     ZHANG "zhang^" SAN "san^" LI "li^" SI "si|" WANG "wang^" WU "wu", ZHANG SAN "^" LI SI "|" WANG WU},
    {"Smith, John Paul and Doe, Jane\n", "Smith, John|Paul|Doe, Jane", "Smith, John|Paul|Doe, Jane",
     "Smith^John|Paul|Doe^Jane", "Smith^John|Paul|Doe^Jane"},
    {"{Doe and Roe} and Poe\n", "{Doe and Roe}|Poe ", "{Doe and Roe}|Poe ", "Doe^and^Roe|Poe",
     "Doe^and^Roe|Poe"},
};

// Edge cases whose name list is the same in every mode.
const KeyCase kEdgeCases[] = {
    {"", "", "", "", ""},
    {" ,, ,\n", "", "", "", ""},
    {"ET AL\n", "", "", "", ""},
    {"et~al.\n", "", "", "", ""},
    // A one-character name does not end at its comma.
    {ZHANG ", " LI SI ", " WANG WU "\n", ZHANG ", " LI "|" SI ", " WANG "|" WU " ",
     ZHANG ", " LI "|" SI ", " WANG "|" WU " ", ZHANG "zhang^" LI "li|" SI "si^" WANG "wang|" WU "wu",
     ZHANG "^" LI "|" SI "^" WANG "|" WU},
    // Stop words inside words.
    {"Bennet Alpha and Roe\n", "Benn", "Benn", "Benn", "Benn"},
    {"Creditor Corp\n", "Cr", "Cr", "Cr", "Cr"},
    {"Doe, J., editors\n", "Doe, J.", "Doe, J.", "Doe^J.", "Doe^J."},
    {"Doe, J., EDITOR\n", "Doe, J.", "Doe, J.", "Doe^J.", "Doe^J."},
    {"A. Doe [1] and B. Roe\n", "A. Doe ", "A. Doe ", "A.^Doe", "A.^Doe"},
    {"Smith (2005) and Doe\n", "Smith ", "Smith ", "Smith", "Smith"},
    // Only an ASCII digit after the bracket stops the list.
    {"Smith (\xB5\xA5) and Doe\n", "Smith (\xB5\xA5)Doe", "Smith (\xB5\xA5)Doe",
     "Smith^(^\xB5\xA5shan^)Doe", "Smith^(^\xB5\xA5^)Doe"},
    // A full stop after a Chinese character ends the list; after a letter it does not.
    {ZHANG SAN "." LI SI "\n", ZHANG SAN, ZHANG SAN, ZHANG "zhang^" SAN "san", ZHANG SAN},
    {"L. Poe.\n", "L. Poe. ", "L. Poe. ", "L.^Poe.", "L.^Poe."},
    // "and " and "\& " are taken out wherever they follow a token.
    {"Rand Smith and Doe\n", "RSmith|Doe ", "RSmith|Doe ", "RSmith|Doe", "RSmith|Doe"},
    {"Doe, and Roe\n", "Doe,|Roe ", "Doe,|Roe ", "Doe|Roe", "Doe|Roe"},
    {"Doe \\& Roe and Poe\n", "Doe|Roe|Poe ", "Doe|Roe|Poe ", "Doe|Roe|Poe", "Doe|Roe|Poe"},
    // Groups add no part.
    {"Smith (a) and Doe\n", "Smith (a)Doe", "Smith (a)Doe", "Smith^(a)Doe", "Smith^(a)Doe"},
    {"Doe and (Anon)\n", "Doe|(Anon) ", "Doe|(Anon) ", "Doe|(Anon)", "Doe|(Anon)"},
    {"Smith (unclosed and Doe\n", "Smith (unclosed and Doe ", "Smith (unclosed and Doe ",
     "Smith^(unclosed^and^Doe", "Smith^(unclosed^and^Doe"},
    // Lines without a line end, and names in braces.
    {"Doe", "Doe", "Doe", "Doe", "Doe"},
    {"Doe, Jane\r\n", "Doe, Jane", "Doe, Jane", "Doe^Jane", "Doe^Jane"},
    {"{IEEE} and Smith (ed.) et al.\n", "{IEEE}|Smith (ed.) ", "{IEEE}|Smith (ed.) ", "IEEE|Smith^(ed.)",
     "IEEE|Smith^(ed.)"},
    {"{Doe, Jane and Roe, John\n", "{Doe, Jane and Roe, John ", "{Doe, Jane and Roe, John ",
     "Doe^Jane^and^Roe^John", "Doe^Jane^and^Roe^John"},
    // A surplus closing brace turns the depth-0 rules off for the rest of the line.
    {"Doe} and Roe, Jim\n", "Doe} and Roe, Jim ", "Doe} and Roe, Jim ", "Doe}^and^Roe^Jim",
     "Doe}^and^Roe^Jim"},
    // Escaped braces change no depth; a brace inside a group is a plain byte.
    {"\\{Doe, J. and Roe, K.\n", "\\{Doe, J.|Roe, K.", "\\{Doe, J.|Roe, K.", "\\{Doe^J.|Roe^K.",
     "\\{Doe^J.|Roe^K."},
    // A tie is a blank, but a "~" that is the second byte of a character is not.
    {"\x81\x7E" SAN "~" LI SI "\n", "\x81\x7E" SAN " " LI SI " ", "\x81\x7E" SAN " " LI SI " ",
     "\x81\x7E^" SAN "san^" LI "li^" SI "si", "\x81\x7E" SAN "^" LI SI},
    // A NUL byte ends the line.
    {std::string_view("Doe, J.\0and Roe, K.\n", 20).data(), "Doe, J.", "Doe, J.", "Doe^J.", "Doe^J."},
};

void check_case(const KeyCase& c, const PinyinDictionary& dictionary) {
  SCOPED_TRACE(c.line);
  const SortKeyContext pinyin = context_for(SortMode::kPinyin, &dictionary);
  EXPECT_EQ(names_of(pinyin, c.line), c.names_pinyin);
  EXPECT_EQ(key_of(pinyin, c.line), c.key_pinyin);
  for (SortMode mode : kPlainModes) {
    const SortKeyContext plain = context_for(mode, nullptr);
    EXPECT_EQ(names_of(plain, c.line), c.names_plain) << static_cast<int>(mode);
    EXPECT_EQ(key_of(plain, c.line), c.key_plain) << static_cast<int>(mode);
  }
}

TEST(SortKey, WorkedExamples) {
  const PinyinDictionary dictionary = example_dictionary();
  for (const KeyCase& c : kWorkedExamples) check_case(c, dictionary);
}

TEST(SortKey, EdgeCases) {
  const PinyinDictionary dictionary = example_dictionary();
  for (const KeyCase& c : kEdgeCases) check_case(c, dictionary);
}

TEST(SortKey, ExplicitReadings) {
  const PinyinDictionary dictionary = example_dictionary();
  const KeyCase cases[] = {
      // Mode 1 keeps the annotation and takes its text as written; the others drop it whole.
      {DAN "\\PINYIN{Shan}" FANG ", " LI SI "\n", DAN "\\PINYIN{Shan}" FANG "|" LI SI " ",
       DAN FANG "|" LI SI " ", DAN "Shan^" FANG "fang|" LI "li^" SI "si", DAN FANG "|" LI SI},
      // After an explicit reading no full stop ends the list.
      {DAN "\\pinyin{dan}.\n", DAN "\\pinyin{dan}. ", DAN ". ", DAN "dan^.", DAN "^."},
      // An unclosed annotation runs to the end of the line.
      {DAN "\\pinyin{dan and Doe\n", DAN "\\pinyin{dan and Doe ", DAN, DAN "dan and Doe ", DAN},
      // The first-character flag survives an explicit reading, so the
      // compound surname after it is still found.
      {MING "\\pinyin{x}" OU YANG "\n", MING "\\pinyin{x}" OU YANG " ", MING OU YANG " ",
       MING "x^" OU "ou^" YANG "yang", MING OU YANG},
  };
  for (const KeyCase& c : cases) check_case(c, dictionary);
}

TEST(SortKey, FirstCharacterTakesSurnameReading) {
  const PinyinDictionary dictionary = example_dictionary();
  const SortKeyContext pinyin = context_for(SortMode::kPinyin, &dictionary);
  EXPECT_EQ(key_of(pinyin, DAN DAN "\n"), DAN "shan^" DAN "dan");
  // Latin text before the first character leaves the flag set.
  EXPECT_EQ(key_of(pinyin, "X" DAN DAN "\n"), "X^" DAN "shan^" DAN "dan");
  // A compound surname matches only at the start of the name.
  EXPECT_EQ(key_of(pinyin, MING OU YANG "\n"), MING "ming^" OU "ou^" YANG "yang");
  EXPECT_EQ(key_of(pinyin, OU MING "\n"), OU "ou^" MING "ming");
  // A name of the compound surname alone.
  EXPECT_EQ(key_of(pinyin, OU YANG ", " WANG WU "\n"), OU "ou^" YANG "yang|" WANG "wang^" WU "wu");
}

TEST(SortKey, MissingReadingsAreEmpty) {
  PinyinDictionary dictionary;  // no character table at all
  const SortKeyContext pinyin = context_for(SortMode::kPinyin, &dictionary);
  EXPECT_EQ(key_of(pinyin, ZHANG SAN ", Doe\n"), ZHANG "^" SAN "|Doe");
  dictionary = example_dictionary();
  dictionary.characters[gbk_index(reinterpret_cast<const unsigned char*>(ZHANG))].surname.clear();
  EXPECT_EQ(key_of(pinyin, ZHANG SAN "\n"), ZHANG "^" SAN "san");
  // A NUL inside a reading would end the name key; the reading ends there.
  dictionary.characters[gbk_index(reinterpret_cast<const unsigned char*>(SAN))].ordinary =
      std::string("s\0x", 3);
  dictionary.compounds[0].second_reading = std::string("y\0z", 3);
  EXPECT_EQ(key_of(pinyin, ZHANG SAN ", " OU YANG "\n"), ZHANG "^" SAN "s|" OU "ou^" YANG "y");
}

TEST(SortKey, EmptyStopWordEmptiesEveryList) {
  for (SortMode mode : kPlainModes) {
    SortKeyContext context = context_for(mode, nullptr);
    context.editor_stop_word.clear();
    EXPECT_EQ(names_of(context, "Doe, J.\n"), "");
    EXPECT_EQ(key_of(context, "Doe, J.\n"), "");
  }
}

TEST(SortKey, StopWordsComeFromSettings) {
  Settings settings;
  settings.sort_mode = SortMode::kBishun;
  settings.words.editors2_from = " ,, Hrsg";
  settings.words.editor2_from = "ed.";
  const SortKeyContext context = make_sort_key_context(settings, nullptr);
  EXPECT_EQ(context.editors_stop_word, "Hrsg");
  EXPECT_EQ(context.editor_stop_word, "ed.");
  EXPECT_EQ(names_of(context, "Doe, J., hrsg.\n"), "Doe, J.");
  EXPECT_EQ(names_of(context, "Doe, J., editors\n"), "Doe, J.|editors ");
  EXPECT_EQ(strip_leading_separators(", editors"), "editors");
  EXPECT_EQ(strip_leading_separators("editor, x"), "editor, x");
  EXPECT_EQ(strip_leading_separators(" , "), "");
}

TEST(SortKey, PlainSegmentsSplitAtKindChanges) {
  struct Case {
    const char* name;
    const char* key;
  };
  const Case cases[] = {
      {LI "Lee Ming", LI "^Lee^Ming"},
      {ZHANG SAN " " LI SI, ZHANG SAN "^" LI SI},
      {"ab" ZHANG "cd", "ab^" ZHANG "^cd"},
      {"ab " ZHANG, "ab^" ZHANG},
      {"{{, Doe}", "Doe"},
      {"{}", ""},
      {", ,", ""},
      {"Doe, ", "Doe"},
      // A lone lead byte is no character.
      {"\x81", "\x81"},
      {ZHANG "\x81", ZHANG "^\x81"},
      // A closing brace that is the second byte of a character stays with it.
      {"\x81\x7D", "\x81\x7D"},
      {"{Doe\x81\x7D", "Doe^\x81\x7D"},
      {"{Doe\x81}}", "Doe^\x81}"},
  };
  for (const Case& c : cases) {
    std::string key;
    plain_name_key(c.name, &key);
    ASSERT_FALSE(key.empty());
    EXPECT_EQ(key.back(), '\0') << c.name;
    key.pop_back();
    for (char& ch : key) {
      if (ch == kSegmentSeparator) ch = '^';
    }
    EXPECT_EQ(key, c.key) << c.name;
  }
}

TEST(SortKey, PinyinKeyOfEmptyName) {
  const PinyinDictionary dictionary = example_dictionary();
  for (const char* name : {"{}", "", " , ", "{"}) {
    std::string key;
    pinyin_name_key(dictionary, name, &key);
    EXPECT_EQ(key, std::string(1, '\0')) << name;
  }
}

// A line of any length gives its whole name list.
TEST(SortKey, LongLinesAreNotCut) {
  std::string line;
  std::string expected;
  for (int i = 0; i < 2000; ++i) {
    line += ZHANG SAN ", ";
    expected += std::string(i ? "|" : "") + ZHANG "zhang^" SAN "san";
  }
  line += "\n";
  const PinyinDictionary dictionary = example_dictionary();
  EXPECT_EQ(key_of(context_for(SortMode::kPinyin, &dictionary), line), expected);
}

}  // namespace
}  // namespace tolvar

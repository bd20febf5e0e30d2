#include "shared/pinyin_dictionary.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "platform/platform.h"
#include "shared/data_file.h"
#include "shared/gbk_tables.h"

namespace tolvar {
namespace {

// GBK spellings used below.
constexpr char kCompoundHeader[] = "[\xCC\xD8\xCA\xE2\xB8\xB4\xD0\xD5=";  // [特殊复姓=
constexpr char kCharacterHeader[] = "[GBK\xB5\xA5\xD7\xD6=";             // [GBK单字=
constexpr char kOuyang[] = "\xC5\xB7\xD1\xF4";                           // 欧阳
constexpr char kChanyu[] = "\xB5\xA5\xD3\xDA";                           // 单于

struct Parsed {
  PinyinDictionary dictionary;
  std::string messages;
};

Parsed parse(const std::string& text) {
  Parsed parsed;
  parse_pinyin_dictionary(text, "GBK2py.inf", &parsed.dictionary, &parsed.messages);
  return parsed;
}

const CharacterReadings& record(const Parsed& parsed, int index) {
  return parsed.dictionary.characters.at(static_cast<std::size_t>(index));
}

// Character lines for GBK indexes 0..n-1, each read "r<index> s<index>".
std::string character_lines(int n) {
  std::string text;
  for (int i = 0; i < n; ++i) text += "\x81\x40 r" + std::to_string(i) + " s" + std::to_string(i) + "\n";
  return text;
}

TEST(PinyinDictionaryTest, CharacterLinesFillRecordsByLineNumber) {
  const Parsed p = parse(std::string(kCharacterHeader) + "]\n" +
                         "\x81\x40 ding1 zheng4\n"   // both readings
                         "\x81\x41zhang1\tzhang3\n"  // no blank needed after the character
                         "\x81\x42 only\n"           // surname reading missing
                         "\x81\x43\n"                // the character alone
                         "\x81\x44 a b extra words\n");
  ASSERT_EQ(p.dictionary.characters.size(), 23940u);
  const struct {
    int index;
    const char *ordinary, *surname;
  } cases[] = {{0, "ding1", "zheng4"}, {1, "zhang1", "zhang3"}, {2, "only", ""},
               {3, "", ""},            {4, "a", "b"},           {5, "", ""}};
  for (const auto& c : cases) {
    EXPECT_EQ(record(p, c.index).ordinary, c.ordinary) << c.index;
    EXPECT_EQ(record(p, c.index).surname, c.surname) << c.index;
  }
  EXPECT_EQ(p.messages, "");
}

TEST(PinyinDictionaryTest, SkippedLinesTakeNoNumberButALineOfBlanksDoes) {
  const Parsed p = parse(std::string(kCharacterHeader) + "]\n" +
                         "\x81\x40 a a\n"
                         "% a comment\n"
                         "\n"
                         "\r\n"
                         "\x81\x41 b b\n"
                         "    \n"  // a record of blanks: shifts the next line
                         "\x81\x42 c c\n"
                         " \x81\x43 d d\n");  // a leading blank makes wrong fields
  EXPECT_EQ(record(p, 0).ordinary, "a");
  EXPECT_EQ(record(p, 1).ordinary, "b");
  EXPECT_EQ(record(p, 2).ordinary, "");
  EXPECT_EQ(record(p, 3).ordinary, "c");
  EXPECT_EQ(record(p, 4).ordinary, "\x43");
  EXPECT_EQ(record(p, 4).surname, "d");
}

TEST(PinyinDictionaryTest, CompoundSectionAndHeadersInEitherOrder) {
  for (const bool compounds_first : {true, false}) {
    const std::string compounds = std::string(kCompoundHeader) + "2]\n" + kOuyang + " ou1 yang2\n" +
                                  kChanyu + "  chan2\tyu2\n";
    const std::string characters = std::string(kCharacterHeader) + "]\n" + character_lines(2);
    const Parsed p = parse(compounds_first ? compounds + characters : characters + compounds);
    ASSERT_EQ(p.dictionary.compounds.size(), 2u) << compounds_first;
    EXPECT_EQ(p.dictionary.compounds[0].characters, kOuyang);
    EXPECT_EQ(p.dictionary.compounds[0].first_reading, "ou1");
    EXPECT_EQ(p.dictionary.compounds[0].second_reading, "yang2");
    EXPECT_EQ(p.dictionary.compounds[1].characters, kChanyu);
    EXPECT_EQ(p.dictionary.compounds[1].second_reading, "yu2");
    EXPECT_EQ(record(p, 1).surname, "s1");
    EXPECT_EQ(p.messages, "");
  }
}

TEST(PinyinDictionaryTest, CompoundCount) {
  const struct {
    const char* after_equals;
    std::size_t kept;  // of three compound lines
  } cases[] = {
      {"3]", 3},   {"  12]", 3}, {"\t+2", 2}, {"1", 1},   {"]", 0},
      {"-5]", 0},  {"x3]", 0},   {"2x]", 2},  {"99999999999999999999", 3},
  };
  for (const auto& c : cases) {
    const Parsed p = parse(std::string(kCompoundHeader) + c.after_equals + "\n" + kOuyang + " a b\n" +
                           kOuyang + " c d\n" + kOuyang + " e f\n");
    EXPECT_EQ(p.dictionary.compounds.size(), c.kept) << c.after_equals;
  }
}

TEST(PinyinDictionaryTest, HeadersAreRecognisedExactlyAtLineStart) {
  const Parsed p = parse(std::string(kCharacterHeader) + "]\n" + "[gbk\xB5\xA5\xD7\xD6=]\n" +  // no header
                         " " + kCharacterHeader + "]\n" +                                    // no header
                         "\x81\x42 c c\n");
  EXPECT_EQ(record(p, 0).ordinary, "bk\xB5\xA5\xD7\xD6=]");  // after the two bytes "[g"
  EXPECT_EQ(record(p, 1).ordinary, "GBK\xB5\xA5\xD7\xD6=]");  // after " ["
  EXPECT_EQ(record(p, 2).ordinary, "c");
}

TEST(PinyinDictionaryTest, RepeatedHeadersStartTheirSectionOver) {
  const Parsed p = parse(std::string(kCharacterHeader) + "]\n" + character_lines(3) + kCompoundHeader +
                         "1]\n" + kOuyang + " a b\n" + kCharacterHeader + "]\n" +
                         "\x81\x40 again again\n" + kCompoundHeader + "1]\n" + kChanyu + " c d\n");
  EXPECT_EQ(record(p, 0).ordinary, "again");
  EXPECT_EQ(record(p, 1).ordinary, "r1");  // not filled again: keeps the first value
  ASSERT_EQ(p.dictionary.compounds.size(), 1u);
  EXPECT_EQ(p.dictionary.compounds[0].characters, kChanyu);
}

TEST(PinyinDictionaryTest, LastLineWithoutLineFeedIsRead) {
  const Parsed p = parse(std::string(kCharacterHeader) + "]\n\x81\x40 last line");
  EXPECT_EQ(record(p, 0).ordinary, "last");
  EXPECT_EQ(record(p, 0).surname, "line");
}

TEST(PinyinDictionaryTest, LongReadingsAreStoredWhole) {
  const std::string long_reading(300, 'a');
  const Parsed p = parse(std::string(kCharacterHeader) + "]\n\x81\x40 " + long_reading + " shan4\n" +
                         "\x81\x41 b b\n" + kCompoundHeader + "1]\n" + kOuyang + " " + long_reading +
                         " yang2\n");
  EXPECT_EQ(record(p, 0).ordinary, long_reading);
  EXPECT_EQ(record(p, 0).surname, "shan4");
  EXPECT_EQ(record(p, 1).ordinary, "b");
  ASSERT_EQ(p.dictionary.compounds.size(), 1u);
  EXPECT_EQ(p.dictionary.compounds[0].first_reading, long_reading);
}

TEST(PinyinDictionaryTest, LinesPastTheLimitsAreReportedAndIgnored) {
  const Parsed p = parse("\x81\x40 before header\n"  // line 1
                         "% comment\n" +
                         std::string(kCompoundHeader) + "1]\n" +  // line 3
                         kOuyang + " a b\n" +                     // line 4
                         kChanyu + " c d\n" +                     // line 5: past the count
                         "\xC5\xB7 a b\n" +                       // line 6: not two characters
                         kCharacterHeader + "]\n" +               // line 7
                         character_lines(23941) + "\n" +          // lines 8..23948, 23949 blank
                         "\x81\x40 more\n");                      // line 23950
  EXPECT_EQ(p.messages,
            "GBK2py.inf:1: record line before any section header ignored\n"
            "GBK2py.inf:5: compound surname line past the count of 1 ignored\n"
            "GBK2py.inf:6: compound surname line past the count of 1 ignored\n"
            "GBK2py.inf:23948: character line past the 23940th ignored\n"
            "GBK2py.inf:23950: character line past the 23940th ignored\n");
  EXPECT_EQ(record(p, 23939).ordinary, "r23939");
  EXPECT_EQ(record(p, 0).ordinary, "r0");
  ASSERT_EQ(p.dictionary.compounds.size(), 1u);
}

TEST(PinyinDictionaryTest, CompoundThatIsNotTwoCharactersIsReported) {
  const Parsed p = parse(std::string(kCompoundHeader) + "3]\n" + "\xC5\xB7 a b\n" + "   \n" + kOuyang +
                         " ou1 yang2\n");
  EXPECT_EQ(p.messages,
            "GBK2py.inf:2: compound surname is not two GBK characters, line ignored\n"
            "GBK2py.inf:3: compound surname is not two GBK characters, line ignored\n");
  ASSERT_EQ(p.dictionary.compounds.size(), 1u);
  EXPECT_EQ(p.dictionary.compounds[0].characters, kOuyang);
}

TEST(PinyinDictionaryTest, ParsingAgainReplacesEverything) {
  Parsed p = parse(std::string(kCompoundHeader) + "1]\n" + kOuyang + " a b\n" + kCharacterHeader + "]\n" +
                   character_lines(2));
  parse_pinyin_dictionary("", "GBK2py.inf", &p.dictionary, &p.messages);
  EXPECT_TRUE(p.dictionary.compounds.empty());
  EXPECT_EQ(p.dictionary.characters.size(), 23940u);
  EXPECT_EQ(record(p, 1).ordinary, "");
}

// Runs in a fresh empty current directory, so that no GBK2py.inf is found
// there; `dictionary_dir` is another fresh directory.
class LoadPinyinDictionaryTest : public testing::Test {
 protected:
  void SetUp() override {
    // Tests may run in parallel processes: the name must be their own.
    const auto base = std::filesystem::temp_directory_path() /
                      (std::string("tolvar_") + testing::UnitTest::GetInstance()->current_test_info()->name() +
                       "_" + std::to_string(std::random_device{}()));
    std::filesystem::remove_all(base);
    std::filesystem::create_directories(base / "cwd");
    std::filesystem::create_directories(base / "dir");
    base_ = base;
    old_cwd_ = std::filesystem::current_path();
    std::filesystem::current_path(base / "cwd");
    dictionary_dir_ = (base / "dir").string() + platform::directory_separator();
  }
  void TearDown() override {
    std::filesystem::current_path(old_cwd_);
    std::filesystem::remove_all(base_);
  }
  void write_dictionary(const std::string& text) {
    std::ofstream(dictionary_dir_ + "GBK2py.inf", std::ios::binary) << text;
  }

  std::filesystem::path base_, old_cwd_;
  std::string dictionary_dir_;
  PinyinDictionary dictionary_;
  std::string messages_;
};

TEST_F(LoadPinyinDictionaryTest, MissingFileFails) {
  SearchPlaces places;
  places.program_directory = dictionary_dir_;
  EXPECT_EQ(load_pinyin_dictionary(places, &dictionary_, &messages_), -1);
  EXPECT_EQ(messages_, "Failed to open GBK2py.inf!\n");
}

TEST_F(LoadPinyinDictionaryTest, FindsTheFileAndReportsItsIgnoredLines) {
  write_dictionary(std::string("stray\r\n") + kCharacterHeader + "]\r\n\x81\x40 kao3 kao3\r\n");
  SearchPlaces places;
  places.search_path = {dictionary_dir_};
  EXPECT_EQ(load_pinyin_dictionary(places, &dictionary_, &messages_), 1);
  EXPECT_EQ(dictionary_.characters.at(0).ordinary, "kao3");
  EXPECT_EQ(dictionary_.characters.at(0).surname, "kao3");
  EXPECT_EQ(messages_, dictionary_dir_ + "GBK2py.inf:1: record line before any section header ignored\n");
}

TEST_F(LoadPinyinDictionaryTest, LoadsTheShippedFileFromTheDataDirectory) {
  SearchPlaces places;
  places.installed_data_directory = std::string(TOLVAR_DATA_DIR) + platform::directory_separator();
  EXPECT_EQ(load_pinyin_dictionary(places, &dictionary_, &messages_), 1);
  EXPECT_EQ(messages_, "");
  EXPECT_EQ(dictionary_.characters.at(9980).surname, "shan4");  // 单
}

// The dictionary shipped in data/.
class ShippedDictionaryTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::ifstream in(TOLVAR_DATA_DIR "/GBK2py.inf", std::ios::binary);
    ASSERT_TRUE(in) << "cannot read " TOLVAR_DATA_DIR "/GBK2py.inf";
    std::stringstream text;
    text << in.rdbuf();
    text_ = new std::string(text.str());
    shipped_ = new Parsed(parse(*text_));
  }
  static void TearDownTestSuite() {
    delete shipped_;
    delete text_;
  }

  static const CharacterReadings& readings_of(const char* gbk) {
    return record(*shipped_, gbk_index(reinterpret_cast<const unsigned char*>(gbk)));
  }

  static std::string* text_;
  static Parsed* shipped_;
};

std::string* ShippedDictionaryTest::text_ = nullptr;
Parsed* ShippedDictionaryTest::shipped_ = nullptr;

TEST_F(ShippedDictionaryTest, HasOneLineForEveryCodeInIndexOrder) {
  std::istringstream lines(*text_);
  std::string line;
  while (std::getline(lines, line) && !line.starts_with(kCharacterHeader)) {
  }
  int index = 0;
  while (std::getline(lines, line)) {
    if (line.empty() || line[0] == '%') continue;
    ASSERT_GE(line.size(), 2u);
    ASSERT_LT(index, kGbkCharacterCount);
    EXPECT_EQ(gbk_index(reinterpret_cast<const unsigned char*>(line.data())), index) << line;
    ++index;
  }
  EXPECT_EQ(index, kGbkCharacterCount);
}

TEST_F(ShippedDictionaryTest, LoadsCleanly) {
  EXPECT_EQ(shipped_->messages, "");
  EXPECT_EQ(shipped_->dictionary.compounds.size(), 62u);
}

TEST_F(ShippedDictionaryTest, Readings) {
  const struct {
    const char* gbk;
    const char *ordinary, *surname;
  } cases[] = {
      {"\xD5\xC5", "zhang1", "zhang1"},  // 张
      {"\xB5\xA5", "dan1", "shan4"},     // 单
      {"\xD4\xF8", "ceng2", "zeng1"},    // 曾
      {"\xC2\xDE", "luo2", "luo2"},      // 罗
      {"\xD6\xF8", "zhu4", "zhu4"},      // 著
      {"\xD6\xD6", "zhong3", "chong2"},  // 种
      {"\xCE\xBE", "wei4", "yu4"},       // 尉
      {"\xB3\xA4", "zhang3", "chang2"},  // 长
      {"\xC2\xBF", "lv2", "lv2"},        // 驴
      {"\x81\x40", "kao3", "kao3"},      // 丂
      {"\xA9\x96", "ling2", "ling2"},    // 〇
      {"\xA1\xA1", "", ""},              // ideographic space
      {"\xAA\xA1", "", ""},              // user-defined
  };
  for (const auto& c : cases) {
    EXPECT_EQ(readings_of(c.gbk).ordinary, c.ordinary) << c.gbk;
    EXPECT_EQ(readings_of(c.gbk).surname, c.surname) << c.gbk;
  }
}

TEST_F(ShippedDictionaryTest, EveryReadingIsPinyinWithATone) {
  int with_reading = 0;
  for (const CharacterReadings& r : shipped_->dictionary.characters) {
    EXPECT_EQ(r.ordinary.empty(), r.surname.empty());
    if (r.ordinary.empty()) continue;
    ++with_reading;
    for (const std::string* reading : {&r.ordinary, &r.surname}) {
      ASSERT_GE(reading->size(), 2u);
      EXPECT_LE(reading->size(), 9u) << *reading;
      EXPECT_EQ(reading->find_first_not_of("abcdefghijklmnopqrstuvwxyz"), reading->size() - 1) << *reading;
      EXPECT_NE(std::string("12345").find(reading->back()), std::string::npos) << *reading;
    }
  }
  EXPECT_GT(with_reading, 20900);
}

TEST_F(ShippedDictionaryTest, CompoundSurnames) {
  const struct {
    const char *characters, *first, *second;
  } cases[] = {
      {kOuyang, "ou1", "yang2"},
      {kChanyu, "chan2", "yu2"},
      {"\xB3\xA4\xCB\xEF", "zhang3", "sun1"},  // 长孙
      {"\xCE\xBE\xB3\xD9", "yu4", "chi2"},     // 尉迟
      {"\xCD\xF2\xD9\xB9", "mo4", "qi2"},      // 万俟
      {"\xE5\xA3\xCC\xA8", "tan2", "tai2"},    // 澹台
  };
  for (const auto& c : cases) {
    bool found = false;
    for (const CompoundSurname& compound : shipped_->dictionary.compounds) {
      if (compound.characters != c.characters) continue;
      found = true;
      EXPECT_EQ(compound.first_reading, c.first);
      EXPECT_EQ(compound.second_reading, c.second);
    }
    EXPECT_TRUE(found) << c.characters;
  }
}

}  // namespace
}  // namespace tolvar

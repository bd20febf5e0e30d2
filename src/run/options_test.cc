#include "run/options.h"

#include <gtest/gtest.h>

#include <numeric>

namespace tolvar {
namespace {

CommandLine parse(std::vector<std::string> args, Settings* settings) {
  return parse_command_line(args, settings);
}

TEST(CommandLine, FlagOptions) {
  const struct {
    std::vector<std::string> args;
    bool silent, show_parse_errors, visible, cjk;
  } cases[] = {
      {{"-s"}, true, true, false, false},
      {{"-S"}, true, true, false, false},
      {{"-npe"}, false, false, false, false},
      {{"-NPE"}, false, false, false, false},
      {{"-visible"}, false, true, true, false},
      {{"-visible", "-invisible"}, false, true, false, false},
      {{"-invisible", "-Visible"}, false, true, true, false},
      {{"-cjk"}, false, true, false, true},
      {{"-s", "-npe", "-visible", "-cjk"}, true, false, true, true},
  };
  for (const auto& c : cases) {
    Settings s;
    CommandLine cl = parse(c.args, &s);
    EXPECT_EQ(cl.action, CommandAction::kRun);
    EXPECT_FALSE(cl.file_name.has_value());
    EXPECT_EQ(s.silent, c.silent) << c.args[0];
    EXPECT_EQ(s.show_parse_errors, c.show_parse_errors) << c.args[0];
    EXPECT_EQ(s.visible, c.visible) << c.args[0];
    EXPECT_EQ(s.cjk, c.cjk) << c.args[0];
  }
}

TEST(CommandLine, EncodingAndEnglishFirst) {
  const struct {
    std::vector<std::string> args;
    Encoding encoding;
    bool english_first;
    bool file_name;  // some argument was taken as the file name
  } cases[] = {
      {{"paper"}, Encoding::kGbk, false, true},
      {{"-utf8"}, Encoding::kUtf8, false, false},
      {{"-UTF8", "paper"}, Encoding::kUtf8, false, true},
      {{"-english-first"}, Encoding::kGbk, true, false},
      {{"-English-First", "-utf8"}, Encoding::kUtf8, true, false},
      {{"-utf-8"}, Encoding::kGbk, false, true},
      {{"-utf8x"}, Encoding::kGbk, false, true},
      {{"-english"}, Encoding::kGbk, false, true},
  };
  for (const auto& c : cases) {
    Settings s;
    CommandLine cl = parse(c.args, &s);
    EXPECT_EQ(s.encoding, c.encoding) << c.args[0];
    EXPECT_EQ(s.english_first, c.english_first) << c.args[0];
    EXPECT_EQ(cl.file_name.has_value(), c.file_name) << c.args[0];
  }
}

// A GBK console hands the value over in GBK, a UTF-8 one in UTF-8; either
// reaches a UTF-8 run as UTF-8, and -utf8 may come after the value.
TEST(CommandLine, Utf8RunTakesKeywordValuesInEitherEncoding) {
  // GBK 页码 (D2 B3 C2 EB); a lone 页 (D2 B3) would pass as UTF-8 U+04B3.
  for (const char* value : {"-pages=\xD2\xB3\xC2\xEB ", "-pages=页码 "}) {
    for (bool utf8_first : {true, false}) {
      Settings s;
      parse(utf8_first ? std::vector<std::string>{"-utf8", value}
                       : std::vector<std::string>{value, "-utf8"},
            &s);
      std::string messages;
      finish_keyword_strings(&s, &messages);
      EXPECT_EQ(s.words.pages, "页码 ") << value;
      EXPECT_EQ(s.words.in, "发表于: ");
    }
  }
}

TEST(CommandLine, SortOptionsLastOneWins) {
  const struct {
    std::vector<std::string> args;
    SortMode want;
  } cases[] = {
      {{"-sort"}, SortMode::kPinyin},
      {{"-SORT=BHS"}, SortMode::kBihuashu},
      {{"-sort=py", "-sort=foo"}, SortMode::kNone},
      {{"-sort=foo", "-sort"}, SortMode::kPinyin},
      {{"-sort=bs", "-sort="}, SortMode::kNone},
      {{"-sort=uni", "-sort=bishun"}, SortMode::kBishun},
  };
  for (const auto& c : cases) {
    Settings s;
    parse(c.args, &s);
    EXPECT_EQ(s.sort_mode, c.want) << c.args.back();
  }
}

TEST(SortModeFromValue, EveryRow) {
  const struct {
    const char* value;
    SortMode want;
  } cases[] = {
      {"pinyin", SortMode::kPinyin},    {"pinyinx", SortMode::kPinyin},  {"PinYin", SortMode::kPinyin},
      {"pinyi", SortMode::kNone},       {"py", SortMode::kPinyin},       {"pyx", SortMode::kPinyin},
      {"p", SortMode::kNone},           {"bishun", SortMode::kBishun},   {"bishu", SortMode::kBishun},
      {"bishuz", SortMode::kBishun},    {"bish", SortMode::kNone},       {"bs", SortMode::kBishun},
      {"bsq", SortMode::kBishun},       {"bihuashu", SortMode::kBihuashu}, {"bihua", SortMode::kBihuashu},
      {"bihuaxyz", SortMode::kBihuashu}, {"bihu", SortMode::kNone},      {"bhs", SortMode::kBihuashu},
      {"BHS", SortMode::kBihuashu},     {"bhsx", SortMode::kNone},       {"bh", SortMode::kNone},
      {"unicode", SortMode::kUnicode},  {"un", SortMode::kUnicode},      {"uni", SortMode::kUnicode},
      {"unz", SortMode::kUnicode},      {"u", SortMode::kNone},          {"", SortMode::kNone},
      {"foo", SortMode::kNone},         {" py", SortMode::kNone},
  };
  for (const auto& c : cases) EXPECT_EQ(sort_mode_from_value(c.value), c.want) << c.value;
}

TEST(CommandLine, KeywordOptionsKeepTheirBytes) {
  // 0xB0 0x41 is a GBK pair whose trail byte is an upper-case ASCII letter.
  Settings s;
  CommandLine cl = parse({"-_In=In ", "-AND= And ", "-etal.=\xB0\x41", "-in=X", "-Chapter=",
                          "-_editors=E1", "-_editor=E2", "-editors=E3", "-_editors2=E4",
                          "-_editor2=E5", "-editors2=E6", "-_pages=P1", "-pages=P2",
                          "-_chapter=C1", "-_edition=D1", "-edition=D2"},
                         &s);
  EXPECT_FALSE(cl.file_name.has_value());
  const KeywordStrings& w = s.words;
  EXPECT_EQ(w.in_from, "In ");
  EXPECT_EQ(w.and_, " And ");
  EXPECT_EQ(w.etal, "\xB0\x41");
  EXPECT_EQ(w.in, "X");
  EXPECT_EQ(w.chapter, "");
  EXPECT_EQ(w.editors_from, "E1");
  EXPECT_EQ(w.editor_from, "E2");
  EXPECT_EQ(w.editors, "E3");
  EXPECT_EQ(w.editors2_from, "E4");
  EXPECT_EQ(w.editor2_from, "E5");
  EXPECT_EQ(w.editors2, "E6");
  EXPECT_EQ(w.pages_from, "P1");
  EXPECT_EQ(w.pages, "P2");
  EXPECT_EQ(w.chapter_from, "C1");
  EXPECT_EQ(w.edition_from, "D1");
  EXPECT_EQ(w.edition, "D2");
}

TEST(CommandLine, FileNameIsAnyOtherArgumentTheLastWins) {
  const struct {
    std::vector<std::string> args;
    const char* want;
  } cases[] = {
      {{"MyThesis"}, "MyThesis"},
      {{"-sx"}, "-sx"},
      {{"-x"}, "-x"},
      {{"paper", "-x"}, "-x"},
      {{"-s", "Paper.BBL", "-npe"}, "Paper.BBL"},
      {{"-sort=py", "a b"}, "a b"},
      {{"-and"}, "-and"},
      {{"-"}, "-"},
      {{""}, ""},
      {{"-help"}, "-help"},
  };
  for (const auto& c : cases) {
    Settings s;
    CommandLine cl = parse(c.args, &s);
    ASSERT_TRUE(cl.file_name.has_value()) << c.want;
    EXPECT_EQ(*cl.file_name, c.want);
  }
}

TEST(CommandLine, HelpTextsEndTheParse) {
  const struct {
    std::vector<std::string> args;
    CommandAction want;
    bool silent;
  } cases[] = {
      {{"-strings", "-s"}, CommandAction::kShowStrings, false},
      {{"-s", "-strings"}, CommandAction::kShowStrings, true},
      {{"paper", "-DispCJK", "-s"}, CommandAction::kShowCjk, false},
      {{"--help", "paper"}, CommandAction::kShowHelp, false},
      {{"-s", "--version"}, CommandAction::kShowVersion, true},
  };
  for (const auto& c : cases) {
    Settings s;
    CommandLine cl = parse(c.args, &s);
    EXPECT_EQ(cl.action, c.want);
    EXPECT_EQ(s.silent, c.silent);
  }
}

// The label forms are made once the whole command line is read.
TEST(CommandLine, VisibleAfterEtalStillShapesItsLabelForm) {
  const struct {
    std::vector<std::string> args;
    std::string want_label;
  } cases[] = {
      {{"-etal.=\xB5\xC8", "-visible"}, "^^7f^^b5^^7f200^^7f"},
      {{"-visible", "-etal.=\xB5\xC8", "-invisible"}, "\x7F\xB5\x7F" "200\x7F"},
      {{"-etal.= \xB5\xC8  x", "-VISIBLE"}, "~^^7f^^b5^^7f200^^7f~x"},
  };
  for (const auto& c : cases) {
    Settings s;
    parse(c.args, &s);
    std::string messages;
    finish_keyword_strings(&s, &messages);
    EXPECT_EQ(s.words.etal_label, c.want_label);
    EXPECT_EQ(messages, "");
  }
}

TEST(Configuration, KeysCommentsAndValues) {
  const std::string text =
      "% a comment\n"
      "%and=x\n"
      "and=x%\n"
      "In=\xB7\xA2\xB1\xED\xD3\xDA: \n"
      " pages=ignored\n"
      "_pages =ignored\n"
      "chapter= x\n"
      "unknown=1\n"
      "\n"
      "ETAL.=et al.\r\n"
      "edition=a\rb\n"
      "_EDITORS=, Hrsg.\n"
      "_editor=first\n"
      "_editor=last\n"
      "editors2=";
  KeywordStrings w;
  apply_configuration(text, &w);
  EXPECT_EQ(w.and_, "x%");
  EXPECT_EQ(w.in, "\xB7\xA2\xB1\xED\xD3\xDA: ");
  EXPECT_EQ(w.pages, "\xD2\xB3\xC2\xEB: ");
  EXPECT_EQ(w.pages_from, "pages ");
  EXPECT_EQ(w.chapter, " x");
  EXPECT_EQ(w.etal, "et al.");
  EXPECT_EQ(w.edition, "a");
  EXPECT_EQ(w.editors_from, ", Hrsg.");
  EXPECT_EQ(w.editor_from, "last");
  EXPECT_EQ(w.editors2, "");
}

TEST(Configuration, LowerCaseInSetsInAndUnderscoreKeysAreDistinct) {
  KeywordStrings w;
  apply_configuration("in=x\n_In=In \n_in=y\n", &w);
  EXPECT_EQ(w.in, "x");
  EXPECT_EQ(w.in_from, "y");
  w = KeywordStrings();
  apply_configuration("_In=In \n", &w);
  EXPECT_EQ(w.in_from, "In ");
  EXPECT_EQ(w.in, "\xB7\xA2\xB1\xED\xD3\xDA: ");
}

TEST(Configuration, EveryKeyReachesItsString) {
  const struct {
    const char* key;
    std::string KeywordStrings::*member;
  } keys[] = {
      {"and", &KeywordStrings::and_},          {"etal.", &KeywordStrings::etal},
      {"_In", &KeywordStrings::in_from},       {"In", &KeywordStrings::in},
      {"_pages", &KeywordStrings::pages_from}, {"pages", &KeywordStrings::pages},
      {"_chapter", &KeywordStrings::chapter_from}, {"chapter", &KeywordStrings::chapter},
      {"_edition", &KeywordStrings::edition_from}, {"edition", &KeywordStrings::edition},
      {"_editors", &KeywordStrings::editors_from}, {"_editor", &KeywordStrings::editor_from},
      {"editors", &KeywordStrings::editors},   {"_editors2", &KeywordStrings::editors2_from},
      {"_editor2", &KeywordStrings::editor2_from}, {"editors2", &KeywordStrings::editors2},
  };
  for (const auto& k : keys) {
    KeywordStrings from_file;
    apply_configuration(std::string(k.key) + "=V\n", &from_file);
    EXPECT_EQ(from_file.*k.member, "V") << k.key;
    Settings from_option;
    parse({std::string("-") + k.key + "=W"}, &from_option);
    EXPECT_EQ(from_option.words.*k.member, "W") << k.key;
    // Only that one string changed.
    int changed = 0;
    for (const auto& other : keys) changed += from_file.*other.member != KeywordStrings().*other.member;
    EXPECT_EQ(changed, 1) << k.key;
  }
}

TEST(Configuration, LongLinesAreHeldWhole) {
  const std::string value(5000, 'v');
  KeywordStrings w;
  apply_configuration("and=" + value + "\nedition=" + value + "x\n", &w);
  EXPECT_EQ(w.and_, value);
  EXPECT_EQ(w.edition, value + "x");
}

std::string lines(std::initializer_list<const char*> parts) {
  return std::accumulate(parts.begin(), parts.end(), std::string());
}

TEST(HelpTexts, Banner) {
  const std::string b = banner();
  EXPECT_TRUE(b.starts_with("tolvar, version 0.41, ")) << b;
  EXPECT_TRUE(b.ends_with(" on 30 November 2005\n")) << b;
  EXPECT_EQ(b.find('\n'), b.size() - 1);
}

// --help: the usage text as it always was, then the options it leaves out,
// one line each beginning with a tab and the option.
TEST(HelpTexts, HelpAddsTheNewerOptionsAfterTheUsageText) {
  const std::string h = help_text();
  ASSERT_TRUE(h.starts_with(usage_text()));
  const std::string rest = h.substr(usage_text().size());
  for (const char* option : {"\t-utf8\t", "\t-english-first\t", "\t--help\t", "\t--version\t"}) {
    EXPECT_TRUE(rest.starts_with(option) || rest.find(std::string("\n") + option) != std::string::npos)
        << option << " missing in:\n" << rest;
  }
  EXPECT_TRUE(rest.ends_with("\n"));
}

TEST(HelpTexts, UsageText) {
  const std::string u = usage_text();
  ASSERT_TRUE(u.starts_with(banner()));
  std::string rest = u.substr(banner().size());
  const std::string head = lines({
      "This tool fixes .bbl file to solve problems with CJK and BibTeX as follows:\n",
      "1) transform CJK characters to '^^7f'-format;\n",
      "2) transform English keywords to Chinese:\n",
      "   \"\\&\", \"and\", \"et al.\", \"et~al.\", \"In \", \", editors\", \"pages \", \"chapter \" and ",
      "     \" edition\" (default Chinese keywords can be found in tolvar.cfg);\n",
      "3) sort Chinese bibitems by PINYIN (\xC6\xB4\xD2\xF4), BIHUA (\xB1\xCA\xBB\xAD) or Unicode.\n",
      "For more information, please see tolvar.pdf.\n",
  });
  const std::string tail = lines({
      "Usage : tolvar [options] filename[.bbl] [options]\n",
      "Options :\n",
      "\t-invisible\t convert to '0x7f0xa10x7f1230x7f'-format (default)\n",
      "\t-visible\t convert to '^^7f^^xx^^7fddd^^7f'-format\n",
      "\t-sort\n",
      "\t-sort=py\n",
      "\t-sort=pinyin\t sort all bibitems by PINYIN (\xC6\xB4\xD2\xF4) order\n",
      "\t-sort=bs\n",
      "\t-sort=bishun\t sort all bibitems by BISHUN (\xB1\xCA\xCB\xB3) order\n",
      "\t-sort=bhs\n",
      "\t-sort=bihuashu\t sort all bibitems by BIHUASHU (\xB1\xCA\xBB\xAD\xCA\xFD+\xB1\xCA\xCB\xB3) order\n",
      "\t-sort=uni\n",
      "\t-sort=unicode\t sort all bibitems by Unicode order\n",
      "\t-s\t\t run tolvar silently (but errors remain)\n",
      "\t-npe\t\t disable display of all parsing errors\n",
      "\t-cjk\t\t CJK support (see below) are used\n",
      "\t-dispcjk\t display CJK support commands only\n",
      "\t-strings\t display commands on redefinable strings\n",
  });
  ASSERT_TRUE(rest.starts_with(head));
  ASSERT_TRUE(rest.ends_with(tail));
  // Between them: exactly one line inviting reports, with a web address.
  std::string middle = rest.substr(head.size(), rest.size() - head.size() - tail.size());
  EXPECT_EQ(middle.find('\n'), middle.size() - 1) << middle;
  EXPECT_NE(middle.find("http"), std::string::npos) << middle;
}

TEST(HelpTexts, StringsHelp) {
  const std::string stars(80, '*');
  const std::string want = banner() + lines({
      "The following are commands to redefine strings:\n",
      "They can also be pre-stored in tolvar.cfg ('-' is cancelled).\n",
  }) + stars + lines({
      "\"-and=, \"\t\t redefine the replacing string of \"\\&\" and \"and\"\n",
      "\"-etal.=\xB5\xC8\"\t\t redefine the replacing string of \"et~al.\" and \"et al.\"\n",
      "\"-_In=In \"\t\t redefine the replaced string \"In \"\n",
      "\"-In=\xB7\xA2\xB1\xED\xD3\xDA: \"\t\t redefine the replacing string of \"In \"\n",
      "\"-_pages=pages \"\t redefine the replaced string \"pages \"\n",
      "\"-pages=\xD2\xB3\xC2\xEB: \"\t\t redefine the replacing string \"pages \"\n",
      "\"-_chapter=chapter \"\t redefine the replaced string \"chapter \"\n",
      "\"-chapter=\"\t\t redefine the replacing string \"chapter \"\n",
      "\"-_edition= edition\"\t redefine the replaced string \" edition\"\n",
      "\"-edition=\xB0\xE6\"\t\t redefine the replacing string \" edition\"\n",
      "\"-_editors=, editors\"\t redefine the replaced string \", editors\" in @Proceedings item\n",
      "\"-_editor=, editor\"\t redefine the replaced string \", editor\" in @Proceedings item\n",
      "\"-editors= (\xB1\xE0\xD5\xDF)\"\t redefine the replacing string of \", editor(s)\" in @Proceedings item\n",
      "\"-_editors2=, editors\"\t redefine the replaced string \", editors\" in @InProceedings item\n",
      "\"-_editor2=, editor\"\t redefine the replaced string \", editor\" in @InProceedings item\n",
      "\"-editors2=\xD6\xF7\xB1\xE0\xB5\xC4\"\t redefine the replacing string of \", editor(s)\" in @InProceedings item\n",
  }) + stars;
  EXPECT_EQ(strings_help(), want);
}

TEST(HelpTexts, CjkSupportCommands) {
  const std::string want = lines({
      "Place the following commands in preamble of your .tex file\n  or directly modify your CJK.sty in your local TeX system.\n",
      "With the help of the commands, problems with .bbl can be partially solved.\n",
      "Note: The commands will be officially released in future versions of CJK.\n",
      "      They cannot transform English terms to Chinese terms.\n",
      "\n",
      "\\makeatletter\n",
      "\\AtBeginDocument{%\n",
      "  \\if@filesw\n",
      "    \\immediate\\write\\@mainaux{%\n",
      "      \\string\\begin{CJK}{GBK}{song}}%\n",
      "    \\immediate\\write\\@mainaux{%\n",
      "      \\string\\makeatletter}%\n",
      "  \\fi}\n",
      "\\AtEndDocument{%\n",
      "  \\if@filesw\n",
      "    \\immediate\\write\\@mainaux{%\n",
      "      \\string\\end{CJK}}%\n",
      "  \\fi}\n",
      "\\makeatother\n",
  });
  EXPECT_EQ(cjk_support_commands(), want);
}

}  // namespace
}  // namespace tolvar

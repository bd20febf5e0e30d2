#include "run/options.h"

#include <iterator>

#ifndef TOLVAR_VERSION
#define TOLVAR_VERSION "0.41"
#endif

namespace tolvar {

namespace {

char ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Compares at most `n` bytes of `text` and `pattern` without regard to ASCII
// case; also a match when both end together before `n` bytes.
bool equal_prefix_nocase(std::string_view text, std::string_view pattern, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    char a = i < text.size() ? text[i] : '\0';
    char b = i < pattern.size() ? pattern[i] : '\0';
    if (ascii_lower(a) != ascii_lower(b)) return false;
    if (a == '\0') return true;
  }
  return true;
}

bool starts_with_nocase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && equal_prefix_nocase(text, prefix, prefix.size());
}

bool equals_nocase(std::string_view text, std::string_view other) {
  return text.size() == other.size() && starts_with_nocase(text, other);
}

// The configuration keys in the order they are tried; the command-line
// option for each is '-' followed by the key.
struct KeywordKey {
  std::string_view key;
  std::string KeywordStrings::*member;
};
constexpr KeywordKey kKeywordKeys[] = {
    {"and=", &KeywordStrings::and_},
    {"etal.=", &KeywordStrings::etal},
    {"_In=", &KeywordStrings::in_from},
    {"In=", &KeywordStrings::in},
    {"_pages=", &KeywordStrings::pages_from},
    {"pages=", &KeywordStrings::pages},
    {"_chapter=", &KeywordStrings::chapter_from},
    {"chapter=", &KeywordStrings::chapter},
    {"_edition=", &KeywordStrings::edition_from},
    {"edition=", &KeywordStrings::edition},
    {"_editors=", &KeywordStrings::editors_from},
    {"_editor=", &KeywordStrings::editor_from},
    {"editors=", &KeywordStrings::editors},
    {"_editors2=", &KeywordStrings::editors2_from},
    {"_editor2=", &KeywordStrings::editor2_from},
    {"editors2=", &KeywordStrings::editors2},
};

// Sets the keyword string whose key begins `text`; false when none does.
bool apply_keyword(std::string_view text, KeywordStrings* words) {
  for (const KeywordKey& k : kKeywordKeys) {
    if (starts_with_nocase(text, k.key)) {
      words->*k.member = std::string(text.substr(k.key.size()));
      return true;
    }
  }
  return false;
}

}  // namespace

SortMode sort_mode_from_value(std::string_view value) {
  struct Row {
    std::string_view text;
    size_t length;
    SortMode mode;
  };
  static constexpr Row kRows[] = {
      {"pinyin", 6, SortMode::kPinyin},   {"py", 2, SortMode::kPinyin},
      {"bishun", 5, SortMode::kBishun},   {"bs", 2, SortMode::kBishun},
      {"bihuashu", 5, SortMode::kBihuashu}, {"bhs", 5, SortMode::kBihuashu},
      {"unicode", 2, SortMode::kUnicode}, {"uni", 2, SortMode::kUnicode},
  };
  for (const Row& row : kRows) {
    if (equal_prefix_nocase(value, row.text, row.length)) return row.mode;
  }
  return SortMode::kNone;
}

CommandLine parse_command_line(const std::vector<std::string>& args, Settings* settings) {
  CommandLine result;
  for (const std::string& arg : args) {
    if (equals_nocase(arg, "-sort")) {
      settings->sort_mode = SortMode::kPinyin;
    } else if (starts_with_nocase(arg, "-sort=")) {
      settings->sort_mode = sort_mode_from_value(std::string_view(arg).substr(6));
    } else if (equals_nocase(arg, "-s")) {
      settings->silent = true;
    } else if (equals_nocase(arg, "-npe")) {
      settings->show_parse_errors = false;
    } else if (equals_nocase(arg, "-invisible")) {
      settings->visible = false;
    } else if (equals_nocase(arg, "-visible")) {
      settings->visible = true;
    } else if (equals_nocase(arg, "-cjk")) {
      settings->cjk = true;
    } else if (equals_nocase(arg, "-utf8")) {
      settings->encoding = Encoding::kUtf8;
    } else if (equals_nocase(arg, "-english-first")) {
      settings->english_first = true;
    } else if (equals_nocase(arg, "-keys")) {
      settings->keys = true;
      settings->keys_mode = SortMode::kPinyin;
    } else if (starts_with_nocase(arg, "-keys=")) {
      settings->keys = true;
      settings->keys_mode = sort_mode_from_value(std::string_view(arg).substr(6));
    } else if (starts_with_nocase(arg, "-keyfield=")) {
      settings->key_field = arg.substr(10);
    } else if (equals_nocase(arg, "-replace-keys")) {
      settings->replace_keys = true;
    } else if (equals_nocase(arg, "-dispcjk")) {
      result.action = CommandAction::kShowCjk;
      return result;
    } else if (equals_nocase(arg, "-strings")) {
      result.action = CommandAction::kShowStrings;
      return result;
    } else if (equals_nocase(arg, "--help")) {
      result.action = CommandAction::kShowHelp;
      return result;
    } else if (equals_nocase(arg, "--version")) {
      result.action = CommandAction::kShowVersion;
      return result;
    } else if (arg.empty() || arg[0] != '-' || !apply_keyword(std::string_view(arg).substr(1), &settings->words)) {
      result.file_name = arg;
    }
  }
  return result;
}

void apply_configuration(std::string_view text, KeywordStrings* words) {
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (!line.empty() && line[0] == '%') continue;
    line = line.substr(0, line.find('\r'));
    apply_keyword(line, words);
  }
}

std::string banner() {
  return "tolvar, version " TOLVAR_VERSION
         ", fixes BibTeX .bbl files for CJK and GBK, released on 30 November 2005\n";
}

std::string usage_text() {
  return banner() +
         "This tool fixes .bbl file to solve problems with CJK and BibTeX as follows:\n"
         "1) transform CJK characters to '^^7f'-format;\n"
         "2) transform English keywords to Chinese:\n"
         "   \"\\&\", \"and\", \"et al.\", \"et~al.\", \"In \", \", editors\", \"pages \", \"chapter \" and "
         "     \" edition\" (default Chinese keywords can be found in tolvar.cfg);\n"
         "3) sort Chinese bibitems by PINYIN (\xC6\xB4\xD2\xF4), BIHUA (\xB1\xCA\xBB\xAD) or Unicode.\n"
         "For more information, please see tolvar.pdf.\n"
         "Please report problems and send comments to https://tolvar.example.org/issues\n"
         "Usage : tolvar [options] filename[.bbl] [options]\n"
         "Options :\n"
         "\t-invisible\t convert to '0x7f0xa10x7f1230x7f'-format (default)\n"
         "\t-visible\t convert to '^^7f^^xx^^7fddd^^7f'-format\n"
         "\t-sort\n"
         "\t-sort=py\n"
         "\t-sort=pinyin\t sort all bibitems by PINYIN (\xC6\xB4\xD2\xF4) order\n"
         "\t-sort=bs\n"
         "\t-sort=bishun\t sort all bibitems by BISHUN (\xB1\xCA\xCB\xB3) order\n"
         "\t-sort=bhs\n"
         "\t-sort=bihuashu\t sort all bibitems by BIHUASHU (\xB1\xCA\xBB\xAD\xCA\xFD+\xB1\xCA\xCB\xB3) order\n"
         "\t-sort=uni\n"
         "\t-sort=unicode\t sort all bibitems by Unicode order\n"
         "\t-s\t\t run tolvar silently (but errors remain)\n"
         "\t-npe\t\t disable display of all parsing errors\n"
         "\t-cjk\t\t CJK support (see below) are used\n"
         "\t-dispcjk\t display CJK support commands only\n"
         "\t-strings\t display commands on redefinable strings\n";
}

std::string help_text() {
  return usage_text() +
         "\t-utf8\t\t the .bbl is UTF-8 (XeLaTeX, LuaLaTeX with ctex or xeCJK):\n"
         "\t\t\t Chinese keywords and sorting in UTF-8, labels kept as they are\n"
         "\t-english-first\t put the entries whose author is not Chinese before\n"
         "\t\t\t the Chinese ones (with or without -sort)\n"
         "\t-keys\t\t write pinyin sort keys into FILE.bib, or into the .bib\n"
         "\t\t\t files of a document (from its .bcf or .aux), for biber\n"
         "\t\t\t and BibTeX styles that sort by a key field\n"
         "\t-keys=MODE\t the same in the order MODE: py, bs, bhs or uni as for -sort=\n"
         "\t-keyfield=NAME\t the field written (default key; sortname as a name list)\n"
         "\t-replace-keys\t replace the key fields that are there already\n"
         "\t--help\t\t display this text\n"
         "\t--version\t display the version line\n";
}

std::string strings_help() {
  const std::string stars(80, '*');
  return banner() +
         "The following are commands to redefine strings:\n"
         "They can also be pre-stored in tolvar.cfg ('-' is cancelled).\n" +
         stars +
         "\"-and=, \"\t\t redefine the replacing string of \"\\&\" and \"and\"\n"
         "\"-etal.=\xB5\xC8\"\t\t redefine the replacing string of \"et~al.\" and \"et al.\"\n"
         "\"-_In=In \"\t\t redefine the replaced string \"In \"\n"
         "\"-In=\xB7\xA2\xB1\xED\xD3\xDA: \"\t\t redefine the replacing string of \"In \"\n"
         "\"-_pages=pages \"\t redefine the replaced string \"pages \"\n"
         "\"-pages=\xD2\xB3\xC2\xEB: \"\t\t redefine the replacing string \"pages \"\n"
         "\"-_chapter=chapter \"\t redefine the replaced string \"chapter \"\n"
         "\"-chapter=\"\t\t redefine the replacing string \"chapter \"\n"
         "\"-_edition= edition\"\t redefine the replaced string \" edition\"\n"
         "\"-edition=\xB0\xE6\"\t\t redefine the replacing string \" edition\"\n"
         "\"-_editors=, editors\"\t redefine the replaced string \", editors\" in @Proceedings item\n"
         "\"-_editor=, editor\"\t redefine the replaced string \", editor\" in @Proceedings item\n"
         "\"-editors= (\xB1\xE0\xD5\xDF)\"\t redefine the replacing string of \", editor(s)\" in @Proceedings item\n"
         "\"-_editors2=, editors\"\t redefine the replaced string \", editors\" in @InProceedings item\n"
         "\"-_editor2=, editor\"\t redefine the replaced string \", editor\" in @InProceedings item\n"
         "\"-editors2=\xD6\xF7\xB1\xE0\xB5\xC4\"\t redefine the replacing string of \", editor(s)\" in @InProceedings item\n" +
         stars;
}

std::string cjk_support_commands() {
  return "Place the following commands in preamble of your .tex file\n"
         "  or directly modify your CJK.sty in your local TeX system.\n"
         "With the help of the commands, problems with .bbl can be partially solved.\n"
         "Note: The commands will be officially released in future versions of CJK.\n"
         "      They cannot transform English terms to Chinese terms.\n"
         "\n"
         "\\makeatletter\n"
         "\\AtBeginDocument{%\n"
         "  \\if@filesw\n"
         "    \\immediate\\write\\@mainaux{%\n"
         "      \\string\\begin{CJK}{GBK}{song}}%\n"
         "    \\immediate\\write\\@mainaux{%\n"
         "      \\string\\makeatletter}%\n"
         "  \\fi}\n"
         "\\AtEndDocument{%\n"
         "  \\if@filesw\n"
         "    \\immediate\\write\\@mainaux{%\n"
         "      \\string\\end{CJK}}%\n"
         "  \\fi}\n"
         "\\makeatother\n";
}

}  // namespace tolvar

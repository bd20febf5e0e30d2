#include "shared/pinyin_dictionary.h"

#include <climits>
#include <new>
#include <optional>
#include <utility>

#include "platform/platform.h"
#include "shared/data_file.h"
#include "shared/gbk_tables.h"

namespace tolvar {
namespace {

// Section headers, in GBK: "[特殊复姓=" and "[GBK单字=".
constexpr std::string_view kCompoundHeader = "[\xCC\xD8\xCA\xE2\xB8\xB4\xD0\xD5=";
constexpr std::string_view kCharacterHeader = "[GBK\xB5\xA5\xD7\xD6=";

enum class Section { kNone, kCharacters, kCompounds };

// The white space of the C library's isspace in the "C" locale.
// (tab, LF, vertical tab, form feed and CR are 9 to 13).
bool is_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Skips white space, then returns the word that follows (possibly empty)
// and moves `rest` past it.
//
// Performance-critical (twice for each of the 24,000 lines); please
// benchmark any changes.
std::string_view next_word(std::string_view* rest) {
  const char* p = rest->data();
  const char* const end = p + rest->size();
  while (p < end && is_space(*p)) ++p;
  const char* const start = p;
  // No byte above ' ' is white space: the usual case costs one comparison.
  while (p < end && (static_cast<unsigned char>(*p) > ' ' || !is_space(*p))) ++p;
  rest->remove_prefix(static_cast<std::size_t>(p - rest->data()));
  return {start, static_cast<std::size_t>(p - start)};
}

// The count after "[特殊复姓=": leading white space, an optional sign and
// digits, as atoi reads them; no digits give 0. Clamped to the int range.
int parse_count(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && is_space(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > INT_MAX) {
      value = INT_MAX;
      break;
    }
  }
  return static_cast<int>(negative ? -value : value);
}

// "%c%c %s %s": the first two bytes as they are, then two words.
void parse_character_line(std::string_view line, CharacterReadings* record) {
  std::string_view rest = line.substr(std::min<std::size_t>(2, line.size()));
  record->ordinary.assign(next_word(&rest));
  record->surname.assign(next_word(&rest));
}

// "%s %s %s": the compound surname, then the reading of each character.
CompoundSurname parse_compound_line(std::string_view line) {
  CompoundSurname compound;
  compound.characters = std::string(next_word(&line));
  compound.first_reading = std::string(next_word(&line));
  compound.second_reading = std::string(next_word(&line));
  return compound;
}

void report(std::string* messages, std::string_view file_name, int line_number, std::string_view what) {
  messages->append(file_name).append(":").append(std::to_string(line_number)).append(": ");
  messages->append(what).append("\n");
}

}  // namespace

void parse_pinyin_dictionary(std::string_view text, std::string_view file_name,
                             PinyinDictionary* dictionary, std::string* messages) {
  dictionary->characters.clear();
  dictionary->characters.resize(kGbkCharacterCount);
  dictionary->compounds.clear();
  Section section = Section::kNone;
  int record = 0;
  int compound_count = 0;
  int line_number = 0;
  while (!text.empty()) {
    // Lines are taken whole, however long, so that no reading is cut.
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++line_number;

    if (line.empty() || line[0] == '%' || line[0] == '\r') continue;
    // Both headers start with '[': testing it first spares nearly every
    // record line both comparisons.
    if (line[0] == '[' && line.starts_with(kCompoundHeader)) {
      // A repeated header starts a new table of its own count.
      compound_count = parse_count(line.substr(kCompoundHeader.size()));
      dictionary->compounds.clear();
      section = Section::kCompounds;
      record = 0;
      continue;
    }
    if (line[0] == '[' && line.starts_with(kCharacterHeader)) {
      section = Section::kCharacters;
      record = 0;
      continue;
    }

    switch (section) {
      case Section::kNone:
        report(messages, file_name, line_number, "record line before any section header ignored");
        break;
      case Section::kCharacters:
        if (record < kGbkCharacterCount) {
          parse_character_line(line, &dictionary->characters[static_cast<std::size_t>(record)]);
        } else {
          report(messages, file_name, line_number, "character line past the 23940th ignored");
        }
        ++record;
        break;
      case Section::kCompounds:
        if (record >= compound_count) {
          report(messages, file_name, line_number,
                 "compound surname line past the count of " + std::to_string(compound_count) +
                     " ignored");
        } else if (CompoundSurname compound = parse_compound_line(line); compound.characters.size() == 4) {
          dictionary->compounds.push_back(std::move(compound));
        } else {
          // Such a record could never match a name; keeping it out spares
          // every reader of the table the check.
          report(messages, file_name, line_number,
                 "compound surname is not two GBK characters, line ignored");
        }
        ++record;
        break;
    }
  }
}

int load_pinyin_dictionary(const SearchPlaces& places, PinyinDictionary* dictionary,
                           std::string* messages) {
  const std::optional<std::string> path = find_data_file("GBK2py.inf", places);
  platform::FileText text;
  if (!path || !platform::read_file_text(*path, &text)) {
    messages->append("Failed to open GBK2py.inf!\n");
    return -1;
  }
  try {
    parse_pinyin_dictionary(text.view(), *path, dictionary, messages);
  } catch (const std::bad_alloc&) {
    messages->append("System memory is not enough to allocate " +
                     std::to_string(kGbkCharacterCount * 22) + " bytes!\n");
    return -1;
  }
  return 1;
}

}  // namespace tolvar

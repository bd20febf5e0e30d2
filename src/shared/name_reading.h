// How the Chinese characters of a name are read in pinyin: the one place
// that decides it, for the sort keys of a .bbl and for the keys written
// into a .bib, so that the two never disagree.
//
// A name is read from its first character on. While that first character
// is still to come, a compound surname of the dictionary's table (its two
// characters side by side) is read with the table's two readings, and a
// single character with its surname reading; every later character takes
// its ordinary reading. A character directly followed by "\pinyin{...}"
// (letter case ignored) is read as written there, and leaves the first
// character still to come. An organisation has no surname: all its
// characters take their ordinary readings.
#ifndef TOLVAR_SHARED_NAME_READING_H_
#define TOLVAR_SHARED_NAME_READING_H_

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "shared/char_model.h"
#include "shared/pinyin_dictionary.h"

namespace tolvar {

inline constexpr std::string_view kPinyinMacro = "\\pinyin{";

// The compound surnames of a dictionary by their four bytes, so that a
// name's first characters are looked up instead of walking the table.
struct CompoundIndex {
  const PinyinDictionary* dictionary = nullptr;  // the one it was built from
  // (packed bytes, position in the table), sorted: the first of equal
  // bytes is the first in file order.
  std::vector<std::pair<std::uint32_t, std::uint32_t>> by_bytes;
  // A bit for the first two bytes of each, by their value as a number:
  // most names start with a character that starts no compound surname,
  // and this spares them the search.
  std::vector<std::uint64_t> first_pairs;
};

void build_compound_index(const PinyinDictionary& dictionary, CompoundIndex* index);

// What reads a name: the dictionary, and optionally the index of its
// compound surnames (without one the table is walked).
struct NameReader {
  const PinyinDictionary* dictionary = nullptr;
  const CompoundIndex* compounds = nullptr;
  CharModel model;
};

// Where the reading of a character comes from.
enum class ReadingSource : std::uint8_t { kOrdinary, kSurname, kCompound, kExplicit };

// One step of reading a name: one character, or the two characters of a
// compound surname.
struct CharacterReading {
  size_t consumed = 0;        // bytes of the name taken, an explicit reading included
  size_t second_length = 0;   // bytes of a compound surname's second character; 0 for one character
  ReadingSource source = ReadingSource::kOrdinary;
  int index = -1;             // GBK index of the first (or only) character, -1 when GBK lacks it
  int second_index = -1;      // of a compound surname's second character
  std::string_view reading;         // of the first (or only) character, maybe empty
  std::string_view second_reading;  // of a compound surname's second character
};

// Reads the Chinese character of `length` bytes at `name[i]`.
// *first_character says that the name's first character is still to come;
// a reading from the dictionary's tables clears it. Readings end before any
// NUL byte they hold. An explicit reading runs to the next "}" or the end
// of the name, and that "}" is taken with it.
//
// Performance-critical (once per Chinese character of a sort key); please
// benchmark any changes.
CharacterReading read_chinese_character(const NameReader& reader, std::string_view name, size_t i,
                                        size_t length, bool* first_character);

// The GBK code (lead * 256 + trail) of the character of `length` bytes at
// `p`, or -1 when GBK lacks it. A GBK pair is its own code.
inline int gbk_code_of(const CharModel& model, const unsigned char* p, size_t length) {
  if (!model.is_utf8() && length == 2) return p[0] << 8 | p[1];
  return model.gbk_code(p, length);
}

// Bytes of the Chinese character that starts at `text[i]`, 0 when none
// does. Most bytes of a name are ASCII, which starts no multi-byte
// character in either encoding; they are let go before the model is asked.
inline size_t chinese_at(const CharModel& model, std::string_view text, size_t i) {
  if (i + 1 >= text.size() || static_cast<unsigned char>(text[i]) < 0x80) return 0;
  const size_t length = model.char_length(text, i);
  return length > 1 && model.is_chinese(reinterpret_cast<const unsigned char*>(text.data() + i), length)
             ? length
             : 0;
}

}  // namespace tolvar

#endif  // TOLVAR_SHARED_NAME_READING_H_

// Sort keys: an entry's author line cut into names, and each name turned
// into a name key whose segments the comparison walks.
//
// A name list is a sequence of non-empty names, each ended by NUL, followed
// by one more NUL. A sort key is a sequence of name keys, each ended by NUL,
// followed by one more NUL (an empty name key); inside a name key the byte
// 0x07 separates segments.
#ifndef TOLVAR_SORT_SORT_KEY_H_
#define TOLVAR_SORT_SORT_KEY_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "shared/settings.h"
#include "shared/char_model.h"
#include "shared/name_reading.h"

namespace tolvar {

struct PinyinDictionary;

inline constexpr char kSegmentSeparator = '\x07';

// A Chinese character stands in a key as its GBK pair, whatever the
// encoding of the .bbl, so that one set of rules orders it. One that GBK
// lacks (only in keys built from UTF-8) stands as kMarkedLead and three
// bytes of its code point, 7 bits each with the high bit set: no NUL or
// 0x07 among them, and the bytes order as the code points do.
inline constexpr unsigned char kMarkedLead = 0xFF;
inline constexpr std::size_t kMarkedLength = 4;
// Put before a run of other text that would read as a Chinese character
// (UTF-8 keys only; GBK text never starts such a run with a GBK pair).
inline constexpr char kTextMark = '\x80';

// Whether the key segment at `p` starts with a Chinese character. Marked
// characters exist only in keys built from UTF-8 (`marked`); in GBK keys a
// byte 0xFF is other text.
inline bool starts_key_character(const unsigned char* p, bool marked) {
  if (p[0] >= 0x81 && p[0] <= 0xFE) return p[1] >= 0x40 && p[1] <= 0xFE && p[1] != 0x7F;
  return marked && p[0] == kMarkedLead;
}

// Bytes of the Chinese character at `p` in a key.
inline std::size_t key_character_length(const unsigned char* p, bool marked) {
  return marked && p[0] == kMarkedLead ? kMarkedLength : 2;
}

// Appends the key form of the Chinese character `p` (`length` bytes in the
// model's encoding).
void append_key_character(const CharModel& model, const unsigned char* p, std::size_t length,
                          std::string* key);

// What key building reads besides the line itself.
struct SortKeyContext {
  SortMode mode = SortMode::kPinyin;
  std::string editors_stop_word = "editors";
  std::string editor_stop_word = "editor";
  const PinyinDictionary* dictionary = nullptr;  // used in pinyin mode only
  CharModel model;  // how the bytes of the line make characters
};

// Copies `text` without its leading blanks and commas.
std::string strip_leading_separators(std::string_view text);

// The context of a sort run: the mode, and the stop words taken from
// `_editors2` and `_editor2` without their leading blanks and commas.
SortKeyContext make_sort_key_context(const Settings& settings, const PinyinDictionary* dictionary);

// Cuts one author line (line end included, if any) into its name list and
// appends it to *name_list. A NUL byte ends the line.
void split_names(const SortKeyContext& context, std::string_view key_line, std::string* name_list);

// Appends the name key of `name` for the stroke and Unicode orders, its NUL
// included.
void plain_name_key(std::string_view name, std::string* key, const CharModel& model = CharModel());

// Appends the name key of `name` for the pinyin order, its NUL included.
void pinyin_name_key(const PinyinDictionary& dictionary, std::string_view name, std::string* key,
                     const CharModel& model = CharModel());

// Appends the sort key of `key_line` to *key.
void build_sort_key(const SortKeyContext& context, std::string_view key_line, std::string* key);

// A set of byte values, tested with one load instead of a chain of
// comparisons.
struct ByteSet {
  std::uint64_t words[4] = {};

  static constexpr ByteSet all() {
    return {{~std::uint64_t{0}, ~std::uint64_t{0}, ~std::uint64_t{0}, ~std::uint64_t{0}}};
  }

  constexpr void add(unsigned char c) { words[c >> 6] |= std::uint64_t{1} << (c & 63); }
  constexpr void add_all(const ByteSet& other) {
    for (int k = 0; k < 4; ++k) words[k] |= other.words[k];
  }
  constexpr bool has(char c) const {
    const auto b = static_cast<unsigned char>(c);
    return (words[b >> 6] >> (b & 63) & 1) != 0;
  }
};

// The byte sets of the name splitter that follow from the stop words.
struct SplitSets {
  ByteSet stop_starts;          // where a stop test can succeed
  ByteSet run_ends_at_depth_0;  // where a plain run at brace depth 0 may end
};

// Buffers of key building, kept from line to line by a caller that builds
// many keys, so that a line costs no allocation, and what follows from the
// context, worked out once. It serves the context it was made for, which
// must not change while it is in use.
struct SortKeyScratch {
  explicit SortKeyScratch(const SortKeyContext& context);

  SplitSets split_sets;
  CompoundIndex compounds;  // pinyin mode only
  std::string line;   // the key line, ties and line ends made blanks
  std::string names;  // its name list
};

// The same, with the caller's scratch space.
//
// Performance-critical (once per entry); please benchmark any changes.
void build_sort_key(const SortKeyContext& context, std::string_view key_line, std::string* key,
                    SortKeyScratch* scratch);

}  // namespace tolvar

#endif  // TOLVAR_SORT_SORT_KEY_H_

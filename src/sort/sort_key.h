// Sort keys: an entry's author line cut into names, and each name turned
// into a name key whose segments the comparison walks.
//
// A name list is a sequence of non-empty names, each ended by NUL, followed
// by one more NUL. A sort key is a sequence of name keys, each ended by NUL,
// followed by one more NUL (an empty name key); inside a name key the byte
// 0x07 separates segments.
#ifndef TOLVAR_SORT_SORT_KEY_H_
#define TOLVAR_SORT_SORT_KEY_H_

#include <string>
#include <string_view>

#include "run/settings.h"

namespace tolvar {

struct PinyinDictionary;

inline constexpr char kSegmentSeparator = '\x07';

// What key building reads besides the line itself.
struct SortKeyContext {
  SortMode mode = SortMode::kPinyin;
  std::string editors_stop_word = "editors";
  std::string editor_stop_word = "editor";
  const PinyinDictionary* dictionary = nullptr;  // used in pinyin mode only
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
void plain_name_key(std::string_view name, std::string* key);

// Appends the name key of `name` for the pinyin order, its NUL included.
void pinyin_name_key(const PinyinDictionary& dictionary, std::string_view name, std::string* key);

// Appends the sort key of `key_line` to *key.
void build_sort_key(const SortKeyContext& context, std::string_view key_line, std::string* key);

}  // namespace tolvar

#endif  // TOLVAR_SORT_SORT_KEY_H_

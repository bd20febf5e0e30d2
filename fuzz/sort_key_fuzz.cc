// Fuzzes key building and comparison in all four orders: two author lines
// from the input become sort keys, which must be well formed and compare
// consistently.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "sort/compare_keys.h"
#include "sort/gbk_tables.h"
#include "sort/pinyin_dictionary.h"
#include "sort/sort_key.h"

namespace {

using tolvar::SortMode;

// Every character gets readings made from its index, so that readings of
// all lengths, equal readings and empty ones all occur; plus a few
// compound surnames and a zero-filled record that must never match.
const tolvar::PinyinDictionary& fuzz_dictionary() {
  static const tolvar::PinyinDictionary dictionary = [] {
    tolvar::PinyinDictionary d;
    d.characters.resize(tolvar::kGbkCharacterCount);
    for (int i = 0; i < tolvar::kGbkCharacterCount; ++i) {
      const int length = i % 10;
      std::string reading;
      for (int k = 0; k < length; ++k) reading += static_cast<char>('a' + (i / (k + 1)) % 26);
      d.characters[i] = {reading, i % 7 == 0 ? std::string() : reading.substr(0, length / 2 + 1)};
    }
    d.compounds.push_back({"\xC5\xB7\xD1\xF4", "ou", "yang"});
    d.compounds.push_back({"\xB5\xA5\xD3\xDA", "chan", "yu"});
    d.compounds.push_back({});
    return d;
  }();
  return dictionary;
}

void check(bool condition) {
  if (!condition) std::abort();
}

// A key is name keys ended by NUL, then one more NUL. A name key may be
// empty ("{}"), so NUL NUL can also stand inside.
void check_well_formed(const std::string& key, SortMode mode) {
  check(!key.empty() && key.back() == '\0');
  check(key.size() == 1 || key[key.size() - 2] == '\0');
  if (mode != SortMode::kPinyin) {
    // Blanks and commas only ever separate segments.
    check(key.find(' ') == std::string::npos && key.find(',') == std::string::npos);
  }
}

int sign(int value) { return (value > 0) - (value < 0); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t control = data[0];
  const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  const size_t cut = rest.find('\n');
  const std::string_view line_a = rest.substr(0, cut == std::string_view::npos ? rest.size() : cut + 1);
  const std::string_view line_b = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);

  tolvar::SortKeyContext context;
  context.mode = static_cast<SortMode>(1 + control % 4);
  context.dictionary = &fuzz_dictionary();
  if (control & 0x10) context.editor_stop_word = "ed";
  if (control & 0x20) context.editors_stop_word = "\xB1\xE0";

  std::string key_a, key_b;
  tolvar::build_sort_key(context, line_a, &key_a);
  tolvar::build_sort_key(context, line_b, &key_b);
  check_well_formed(key_a, context.mode);
  check_well_formed(key_b, context.mode);

  const int ab = tolvar::compare_keys(context.mode, key_a.c_str(), key_b.c_str(), 0, 1);
  const int ba = tolvar::compare_keys(context.mode, key_b.c_str(), key_a.c_str(), 1, 0);
  check(sign(ab) == -sign(ba));
  check(tolvar::compare_keys(context.mode, key_a.c_str(), key_a.c_str(), 0, 0) == 0);
  check(tolvar::compare_keys(context.mode, key_a.c_str(), key_a.c_str(), 0, 1) == 0);
  return 0;
}

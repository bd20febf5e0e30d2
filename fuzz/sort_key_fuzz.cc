// Fuzzes key building and comparison in all four orders, from GBK or (bit
// 0x40 of the first byte) UTF-8 lines: two author lines from the input
// become sort keys, which must be well formed and compare consistently, and
// whose GBK segments must order by their weights as compare_gbk_segments
// orders them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "sort/compare_keys.h"
#include "shared/gbk_tables.h"
#include "shared/pinyin_dictionary.h"
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
void check_well_formed(const std::string& key, SortMode mode, bool utf8) {
  check(!key.empty() && key.back() == '\0');
  check(key.size() == 1 || key[key.size() - 2] == '\0');
  const bool pinyin = mode == SortMode::kPinyin;
  // Blanks and commas only ever separate segments.
  check(pinyin || (key.find(' ') == std::string::npos && key.find(',') == std::string::npos));
  // A segment that starts with a Chinese character, marked ones included,
  // starts with a whole one; in the stroke and Unicode orders it holds
  // whole characters only.
  const auto* p = reinterpret_cast<const unsigned char*>(key.data());
  for (size_t at = 0; at < key.size();) {
    size_t end = at;
    while (p[end] != 0 && p[end] != 0x07) ++end;
    if (end > at && tolvar::starts_key_character(p + at, utf8)) {
      for (size_t i = at; i < (pinyin ? at + 1 : end); i += tolvar::key_character_length(p + i, utf8)) {
        check(tolvar::starts_key_character(p + i, utf8) &&
              i + tolvar::key_character_length(p + i, utf8) <= end);
      }
    }
    at = end + 1;
  }
}

int sign(int value) { return (value > 0) - (value < 0); }

// The segments of a key that start with a Chinese character.
std::vector<std::string_view> gbk_segments(const std::string& key, bool utf8) {
  std::vector<std::string_view> segments;
  const auto* p = reinterpret_cast<const unsigned char*>(key.data());
  for (size_t at = 0; at < key.size();) {
    size_t end = at;
    while (p[end] != 0 && p[end] != 0x07) ++end;
    if (end > at && tolvar::starts_key_character(p + at, utf8)) {
      segments.emplace_back(key.data() + at, end - at);
    }
    at = end + 1;
  }
  return segments;
}

// Weights stand for the segment rule wherever they exist; in keys as built
// they always do, except for characters without a code point in the
// Unicode order.
void check_weights(const std::string& key_a, const std::string& key_b, SortMode mode,
                   tolvar::Encoding encoding) {
  const bool utf8 = encoding == tolvar::Encoding::kUtf8;
  std::vector<std::string_view> segments = gbk_segments(key_a, utf8);
  for (std::string_view segment : gbk_segments(key_b, utf8)) segments.push_back(segment);
  std::vector<std::string> weights(segments.size());
  for (size_t i = 0; i < segments.size(); ++i) {
    std::vector<char> weight;
    const bool weighed = tolvar::append_gbk_segment_weight(mode, segments[i], &weight, encoding);
    check(weighed || mode == SortMode::kUnicode);
    if (weighed) weights[i].assign(weight.begin(), weight.end());
  }
  for (size_t i = 0; i < segments.size(); ++i) {
    for (size_t k = 0; k < segments.size(); ++k) {
      if (weights[i].empty() || weights[k].empty()) continue;
      check(sign(weights[i].compare(weights[k])) ==
            sign(tolvar::compare_gbk_segments(mode, segments[i], segments[k], encoding)));
      // No weight starts another, so that weights can be joined.
      check(i == k || weights[i] == weights[k] || !weights[k].starts_with(weights[i]));
    }
  }
}

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
  const bool utf8 = control & 0x40;
  const tolvar::Encoding encoding = utf8 ? tolvar::Encoding::kUtf8 : tolvar::Encoding::kGbk;
  context.model = tolvar::CharModel(encoding);

  std::string key_a, key_b;
  tolvar::build_sort_key(context, line_a, &key_a);
  tolvar::build_sort_key(context, line_b, &key_b);
  check_well_formed(key_a, context.mode, utf8);
  check_well_formed(key_b, context.mode, utf8);

  const auto compare = [&](const std::string& a, const std::string& b, int index_a, int index_b) {
    return tolvar::compare_keys(context.mode, a.c_str(), b.c_str(), index_a, index_b, encoding);
  };
  check(sign(compare(key_a, key_b, 0, 1)) == -sign(compare(key_b, key_a, 1, 0)));
  check(compare(key_a, key_a, 0, 0) == 0);
  check(compare(key_a, key_a, 0, 1) == 0);
  check_weights(key_a, key_b, context.mode, encoding);
  return 0;
}

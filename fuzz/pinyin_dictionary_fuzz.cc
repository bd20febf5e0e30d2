// Fuzzes the pinyin dictionary loader, then builds a pinyin key with what
// it loaded.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "sort/compare_keys.h"
#include "shared/gbk_tables.h"
#include "shared/pinyin_dictionary.h"
#include "sort/sort_key.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  tolvar::PinyinDictionary dictionary;
  std::string messages;
  tolvar::parse_pinyin_dictionary(text, "GBK2py.inf", &dictionary, &messages);
  if (dictionary.characters.size() > static_cast<size_t>(tolvar::kGbkCharacterCount)) std::abort();

  tolvar::SortKeyContext context;
  context.mode = tolvar::SortMode::kPinyin;
  context.dictionary = &dictionary;
  std::string key_a, key_b;
  // Characters from the first rows, a compound surname and an explicit reading.
  tolvar::build_sort_key(context, "\x81\x40\x81\x41, \xC5\xB7\xD1\xF4\x81\x42 and Doe, J.\n", &key_a);
  tolvar::build_sort_key(context, "\x81\x41\\pinyin{x}\x81\x40 and \xFE\xFE\n", &key_b);
  const int ab = tolvar::compare_keys(context.mode, key_a.c_str(), key_b.c_str(), 0, 1);
  const int ba = tolvar::compare_keys(context.mode, key_b.c_str(), key_a.c_str(), 1, 0);
  if ((ab > 0) != (ba < 0) || (ab < 0) != (ba > 0)) std::abort();
  return 0;
}

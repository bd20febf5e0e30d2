// Fuzzes the whole sort step on a .bbl: every line must come out exactly
// once, and the entry order must be that of the plain insertion walk.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "sort/compare_keys.h"
#include "sort/gbk_tables.h"
#include "sort/pinyin_dictionary.h"
#include "sort/sort_bibitems.h"
#include "sort/sort_key.h"

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

std::vector<std::string_view> sorted_lines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const size_t end = std::min(text.find('\n'), text.size() - 1) + 1;
    std::string_view line = text.substr(0, end);
    if (line.back() == '\n') line.remove_suffix(1);
    lines.push_back(line);
    text.remove_prefix(end);
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

// The insertion walk, written the plain way.
std::vector<uint32_t> plain_walk(tolvar::SortMode mode, const tolvar::BibEntryTable& table,
                                 const tolvar::BibPiece& piece) {
  std::vector<uint32_t> order;
  const auto key = [&](uint32_t i) { return table.keys.data() + table.entries[piece.first_entry + i].key; };
  for (uint32_t added = 0; added < piece.entry_count; ++added) {
    auto at = order.begin();
    while (at != order.end() && tolvar::compare_keys(mode, key(*at), key(added), *at, added) <= 0) ++at;
    order.insert(at, added);
  }
  return order;
}

const tolvar::PinyinDictionary& fuzz_dictionary() {
  static const tolvar::PinyinDictionary dictionary = [] {
    tolvar::PinyinDictionary d;
    d.characters.resize(tolvar::kGbkCharacterCount);
    for (int i = 0; i < tolvar::kGbkCharacterCount; ++i) {
      const std::string reading(1 + i % 3, static_cast<char>('a' + i % 5));
      d.characters[i] = {reading, i % 2 ? reading : std::string()};
    }
    d.compounds.push_back({"\xC5\xB7\xD1\xF4", "ou", "yang"});
    return d;
  }();
  return dictionary;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  tolvar::Settings settings;
  settings.sort_mode = static_cast<tolvar::SortMode>(1 + data[0] % 4);
  const std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);

  std::string out, messages;
  check(tolvar::sort_bibitems(settings, &fuzz_dictionary(), input, &out, &messages));
  // Only a missing last line end may be added.
  check(out.size() == input.size() || (out.size() == input.size() + 1 && input.back() != '\n'));
  check(sorted_lines(out) == sorted_lines(input));

  const tolvar::SortKeyContext context = tolvar::make_sort_key_context(settings, &fuzz_dictionary());
  tolvar::BibEntryTable table;
  tolvar::scan_bibitems(context, input, &table);
  for (const tolvar::BibPiece& piece : table.pieces) {
    check(tolvar::link_bibitems(settings.sort_mode, table, piece.first_entry, piece.entry_count) ==
          plain_walk(settings.sort_mode, table, piece));
  }
  return 0;
}

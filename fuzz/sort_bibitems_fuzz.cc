// Fuzzes the whole sort step on a .bbl, GBK or UTF-8, Chinese or English
// first, sorted or not (bits of the first byte): every line must come out
// exactly once, and the entry order must be that of the plain insertion
// walk, its groups swapped for English first.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "sort/compare_keys.h"
#include "shared/gbk_tables.h"
#include "shared/pinyin_dictionary.h"
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

// The group of an entry: no author line, Chinese author, other author.
int group_of(const char* key, const tolvar::EntryOrder& order) {
  if (key[0] == 0) return 0;
  const bool chinese =
      tolvar::starts_key_character(reinterpret_cast<const unsigned char*>(key),
                                   order.encoding == tolvar::Encoding::kUtf8);
  return chinese != order.english_first ? 1 : 2;
}

// The insertion walk, written the plain way (the file order without a sort
// mode), then the groups put in their order by a stable partition. For
// Chinese first the walk must already have them in order.
std::vector<uint32_t> plain_walk(const tolvar::EntryOrder& order, const tolvar::BibEntryTable& table,
                                 const tolvar::BibPiece& piece) {
  std::vector<uint32_t> walk;
  const auto key = [&](uint32_t i) { return table.keys.data() + table.entries[piece.first_entry + i].key; };
  for (uint32_t added = 0; added < piece.entry_count; ++added) {
    auto at = order.mode == tolvar::SortMode::kNone ? walk.end() : walk.begin();
    while (at != walk.end() &&
           tolvar::compare_keys(order.mode, key(*at), key(added), *at, added, order.encoding) <= 0) {
      ++at;
    }
    walk.insert(at, added);
  }
  const auto group = [&](uint32_t i) { return group_of(key(i), order); };
  if (order.mode != tolvar::SortMode::kNone && !order.english_first) {
    check(std::is_sorted(walk.begin(), walk.end(),
                         [&](uint32_t a, uint32_t b) { return group(a) < group(b); }));
  }
  std::stable_sort(walk.begin(), walk.end(), [&](uint32_t a, uint32_t b) { return group(a) < group(b); });
  return walk;
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
  if (data[0] & 0x10) settings.encoding = tolvar::Encoding::kUtf8;
  settings.english_first = data[0] & 0x20;
  if (settings.english_first && (data[0] & 0x40)) settings.sort_mode = tolvar::SortMode::kNone;
  const std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);

  std::string out, messages;
  check(tolvar::sort_bibitems(settings, &fuzz_dictionary(), input, &out, &messages));
  // Only a missing last line end may be added.
  check(out.size() == input.size() || (out.size() == input.size() + 1 && input.back() != '\n'));
  check(sorted_lines(out) == sorted_lines(input));

  const tolvar::SortKeyContext context = tolvar::make_sort_key_context(settings, &fuzz_dictionary());
  tolvar::BibEntryTable table;
  tolvar::scan_bibitems(context, input, &table);
  const tolvar::EntryOrder order{settings.sort_mode, settings.encoding, settings.english_first};
  for (const tolvar::BibPiece& piece : table.pieces) {
    check(tolvar::link_bibitems(order, table, piece.first_entry, piece.entry_count) ==
          plain_walk(order, table, piece));
  }
  return 0;
}

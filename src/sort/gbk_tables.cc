#include "sort/gbk_tables.h"

#include <array>
#include <cstddef>

namespace tolvar {
namespace {

// The entries come from data/gbk-unicode.txt and data/gbk-strokes.txt,
// turned into C++ by the build. The tables are filled from them at compile
// time, so nothing runs at start-up and the entry lists are not kept.

struct UnicodeEntry {
  uint16_t gbk;  // lead << 8 | trail
  uint16_t code_point;
};

struct StrokeEntry {
  uint16_t gbk;
  std::string_view digits;  // from a "..."sv literal: no length count at compile time
};

constexpr int unicode_cell(uint16_t gbk) {
  const int lead = gbk >> 8, trail = gbk & 0xFF;
  return (lead - 0x81) * 192 + (trail - 0x40);
}

constexpr int index_of(uint16_t gbk) {
  const unsigned char bytes[2] = {static_cast<unsigned char>(gbk >> 8),
                                  static_cast<unsigned char>(gbk & 0xFF)};
  return gbk_index(bytes);
}

// A code outside GBK in the data files stops the build here: throwing is
// not allowed in a constant expression.
constexpr std::array<uint16_t, kGbkUnicodeCells> build_unicode_table() {
  constexpr UnicodeEntry entries[] = {
#include "gbk_unicode_entries.inc"
  };
  std::array<uint16_t, kGbkUnicodeCells> table{};
  for (const UnicodeEntry& entry : entries) {
    if (index_of(entry.gbk) < 0) throw "gbk-unicode.txt: not a GBK code";
    table[static_cast<std::size_t>(unicode_cell(entry.gbk))] = entry.code_point;
  }
  return table;
}

constexpr std::array<std::string_view, kGbkCharacterCount> build_stroke_table() {
  using namespace std::string_view_literals;
  constexpr StrokeEntry entries[] = {
#include "gbk_stroke_entries.inc"
  };
  std::array<std::string_view, kGbkCharacterCount> table{};
  for (const StrokeEntry& entry : entries) {
    const int index = index_of(entry.gbk);
    if (index < 0) throw "gbk-strokes.txt: not a GBK code";
    table[static_cast<std::size_t>(index)] = entry.digits;
  }
  return table;
}

constexpr std::array<uint16_t, kGbkUnicodeCells> kUnicodeTable = build_unicode_table();
constexpr std::array<std::string_view, kGbkCharacterCount> kStrokeTable = build_stroke_table();

}  // namespace

uint16_t gbk_to_unicode(int cell) {
  if (cell < 0 || cell >= kGbkUnicodeCells) return 0;
  return kUnicodeTable[static_cast<std::size_t>(cell)];
}

std::string_view stroke_sequence(int index) {
  if (index < 0 || index >= kGbkCharacterCount) return {};
  return kStrokeTable[static_cast<std::size_t>(index)];
}

}  // namespace tolvar

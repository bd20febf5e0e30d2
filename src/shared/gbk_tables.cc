#include "shared/gbk_tables.h"

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

using namespace std::string_view_literals;
constexpr StrokeEntry kStrokeEntries[] = {
#include "gbk_stroke_entries.inc"
};

// The same sequences back to back, in the order of the entries.
constexpr char kStrokeDigits[] =
#include "gbk_stroke_digits.inc"
    ;

// Where each character's sequence starts in kStrokeDigits and how long it
// is: offsets instead of pointers, so that loading the program has no
// table of pointers to relocate.
struct StrokeTable {
  std::array<uint32_t, kGbkCharacterCount> begin{};
  std::array<uint8_t, kGbkCharacterCount> length{};
};

constexpr StrokeTable build_stroke_table() {
  StrokeTable table;
  std::size_t next = 0;
  for (const StrokeEntry& entry : kStrokeEntries) {
    const int index = index_of(entry.gbk);
    if (index < 0) throw "gbk-strokes.txt: not a GBK code";
    const std::size_t length = entry.digits.size();
    if (length == 0 || length > 255) throw "gbk-strokes.txt: a stroke sequence of a length not provided for";
    if (next + length >= sizeof(kStrokeDigits) || kStrokeDigits[next] != entry.digits.front() ||
        kStrokeDigits[next + length - 1] != entry.digits.back()) {
      throw "the stroke digits do not follow the stroke entries";
    }
    table.begin[static_cast<std::size_t>(index)] = static_cast<uint32_t>(next);
    table.length[static_cast<std::size_t>(index)] = static_cast<uint8_t>(length);
    next += length;
  }
  if (next + 1 != sizeof(kStrokeDigits)) throw "the stroke digits do not follow the stroke entries";
  return table;
}

constexpr std::array<uint16_t, kGbkUnicodeCells> kUnicodeTable = build_unicode_table();
constexpr StrokeTable kStrokeTable = build_stroke_table();

}  // namespace

uint16_t gbk_to_unicode(int cell) {
  if (cell < 0 || cell >= kGbkUnicodeCells) return 0;
  return kUnicodeTable[static_cast<std::size_t>(cell)];
}

std::string_view stroke_sequence(int index) {
  if (index < 0 || index >= kGbkCharacterCount) return {};
  const auto at = static_cast<std::size_t>(index);
  return {kStrokeDigits + kStrokeTable.begin[at], kStrokeTable.length[at]};
}

}  // namespace tolvar

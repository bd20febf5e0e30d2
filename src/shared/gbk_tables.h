// GBK code tables, compiled into the program: the GBK index, the GBK to
// Unicode table and the stroke-sequence table.
#ifndef TOLVAR_SHARED_GBK_TABLES_H_
#define TOLVAR_SHARED_GBK_TABLES_H_

#include <cstdint>
#include <string_view>

namespace tolvar {

inline constexpr int kGbkCharacterCount = 23940;
inline constexpr int kGbkUnicodeCells = 24192;

// The GBK index (0..23939) of the two bytes at `p`, or -1 when they are not
// a GBK character. Reads exactly two bytes.
constexpr int gbk_index(const unsigned char* p) {
  const unsigned lead = p[0], trail = p[1];
  if (lead < 0x81 || lead == 0xFF || trail < 0x40 || trail == 0x7F || trail == 0xFF) return -1;
  return static_cast<int>((lead - 0x81) * 190 + (trail - 0x40) - (trail >= 0x80 ? 1 : 0));
}

// Unicode code point of a GBK cell ((lead - 0x81) * 192 + (trail - 0x40)),
// 0 for none. Cells outside 0..24191 have none.
uint16_t gbk_to_unicode(int cell);

// Stroke sequence ("1".."5" per stroke) of the character with GBK index
// `index` (0..23939); empty when unknown.
std::string_view stroke_sequence(int index);

}  // namespace tolvar

#endif  // TOLVAR_SHARED_GBK_TABLES_H_

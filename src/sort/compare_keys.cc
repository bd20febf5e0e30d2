#include "sort/compare_keys.h"

#include <cstring>
#include <string>
#include <vector>

#include "shared/gbk_tables.h"
#include "sort/sort_key.h"

namespace tolvar {
namespace {

// Keys are walked in place through their NUL and 0x07 bytes; a built key
// always ends with NUL NUL, so no walk leaves it.
using Byte = unsigned char;
constexpr Byte kSeparator = 0x07;

int sign(long long value) { return (value > 0) - (value < 0); }

// kMarked: the keys were built from UTF-8 and may hold marked characters
// (see kMarkedLead), which order after every GBK character of the same
// order, by their code points.
template <bool kMarked>
bool is_gbk_segment(const Byte* p) {
  return starts_key_character(p, kMarked);
}

bool is_marked(const Byte* p) { return p[0] == kMarkedLead; }

// Two key characters of which at least one is marked.
int compare_marked(const Byte* a, const Byte* b) {
  if (!is_marked(a) || !is_marked(b)) return is_marked(a) ? 1 : -1;
  return sign(std::memcmp(a + 1, b + 1, kMarkedLength - 1));
}

const Byte* segment_end(const Byte* p) {
  while (*p != 0 && *p != kSeparator) ++p;
  return p;
}

Byte fold_case(Byte c) { return (c >= 'A' && c <= 'Z') ? static_cast<Byte>(c + ('a' - 'A')) : c; }

int compare_folded(const Byte* a, const Byte* a_end, const Byte* b, const Byte* b_end) {
  for (; a < a_end && b < b_end; ++a, ++b) {
    const Byte fa = fold_case(*a), fb = fold_case(*b);
    if (fa != fb) return fa < fb ? -1 : 1;
  }
  return a < a_end ? 1 : (b < b_end ? -1 : 0);
}

bool equal_folded(const Byte* a, const Byte* a_end, const Byte* b, const Byte* b_end) {
  if (a_end - a != b_end - b) return false;
  for (; a < a_end; ++a, ++b) {
    if (*a != *b && fold_case(*a) != fold_case(*b)) return false;
  }
  return true;
}

// Pinyin: the readings first, then the characters' bytes taken as signed.
// A marked character has no reading of its own, so the character decides.
template <bool kMarked>
int compare_readings(const Byte* a, const Byte* a_end, const Byte* b, const Byte* b_end) {
  if (kMarked && (is_marked(a) || is_marked(b))) {
    const int by_character = compare_marked(a, b);
    if (by_character != 0) return by_character;
    return compare_folded(a + kMarkedLength, a_end, b + kMarkedLength, b_end);
  }
  const int by_reading = compare_folded(a + 2, a_end, b + 2, b_end);
  if (by_reading != 0) return by_reading;
  for (int k = 0; k < 2; ++k) {
    const auto sa = static_cast<signed char>(a[k]), sb = static_cast<signed char>(b[k]);
    if (sa != sb) return sa > sb ? 1 : -1;
  }
  return 0;
}

// One character of each segment, compared under the stroke or Unicode
// rule. *decided is set when the rest of both segments counts as equal.
int compare_characters(SortMode mode, const Byte* a, const Byte* b, bool* decided) {
  if (mode == SortMode::kUnicode) {
    const int cell_a = (a[0] - 0x81) * 192 + (a[1] - 0x40);
    const int cell_b = (b[0] - 0x81) * 192 + (b[1] - 0x40);
    const int unicode_a = cell_a >= 0 && cell_a < kGbkUnicodeCells ? gbk_to_unicode(cell_a) : 0;
    const int unicode_b = cell_b >= 0 && cell_b < kGbkUnicodeCells ? gbk_to_unicode(cell_b) : 0;
    if (unicode_a == 0 || unicode_b == 0) {
      *decided = true;
      return 0;
    }
    return sign(unicode_a - unicode_b);
  }
  const int index_a = gbk_index(a), index_b = gbk_index(b);
  if (index_a < 0 || index_b < 0) {
    *decided = true;
    return 0;
  }
  const std::string_view strokes_a = stroke_sequence(index_a);
  const std::string_view strokes_b = stroke_sequence(index_b);
  if (mode == SortMode::kBihuashu && strokes_a.size() != strokes_b.size()) {
    return strokes_a.size() < strokes_b.size() ? -1 : 1;
  }
  return sign(strokes_a.compare(strokes_b));
}

// Stroke and Unicode orders: character by character, then the longer
// segment last.
template <bool kMarked>
int compare_character_runs(SortMode mode, const Byte* a, const Byte* a_end, const Byte* b,
                           const Byte* b_end) {
  for (; a < a_end && b < b_end;) {
    const size_t length_a = key_character_length(a, kMarked);
    const size_t length_b = key_character_length(b, kMarked);
    // A character cut short by the segment end has no code.
    if (a_end - a < static_cast<ptrdiff_t>(length_a) || b_end - b < static_cast<ptrdiff_t>(length_b)) {
      return 0;
    }
    if (kMarked && (length_a != 2 || length_b != 2)) {
      const int result = compare_marked(a, b);
      if (result != 0) return result;
    } else {
      bool decided = false;
      const int result = compare_characters(mode, a, b, &decided);
      if (result != 0 || decided) return result;
    }
    a += length_a;
    b += length_b;
  }
  return a < a_end ? 1 : (b < b_end ? -1 : 0);
}

// Walks the segments of two name keys. On 0 both cursors stand on the
// NUL that ends their name keys.
template <bool kMarked>
int compare_name_keys(SortMode mode, const Byte*& a, const Byte*& b, int index_a, int index_b) {
  while (*a != 0 && *b != 0) {
    const bool gbk_a = is_gbk_segment<kMarked>(a), gbk_b = is_gbk_segment<kMarked>(b);
    if (gbk_a != gbk_b) return gbk_a ? -1 : 1;
    const Byte* a_end = segment_end(a);
    const Byte* b_end = segment_end(b);
    int result;
    if (!gbk_a) {
      result = equal_folded(a, a_end, b, b_end) ? 0 : sign(static_cast<long long>(index_a) - index_b);
    } else if (mode == SortMode::kPinyin) {
      result = compare_readings<kMarked>(a, a_end, b, b_end);
    } else {
      result = compare_character_runs<kMarked>(mode, a, a_end, b, b_end);
    }
    if (result != 0) return result;
    a = *a_end == kSeparator ? a_end + 1 : a_end;
    b = *b_end == kSeparator ? b_end + 1 : b_end;
  }
  return *a != 0 ? 1 : (*b != 0 ? -1 : 0);
}

template <bool kMarked>
int compare_segments(SortMode mode, std::string_view segment_a, std::string_view segment_b) {
  const Byte* a = reinterpret_cast<const Byte*>(segment_a.data());
  const Byte* b = reinterpret_cast<const Byte*>(segment_b.data());
  if (mode == SortMode::kPinyin) {
    return compare_readings<kMarked>(a, a + segment_a.size(), b, b + segment_b.size());
  }
  return compare_character_runs<kMarked>(mode, a, a + segment_a.size(), b, b + segment_b.size());
}

template <bool kMarked>
int compare_name_lists(SortMode mode, const char* key_a, const char* key_b, int index_a, int index_b) {
  const Byte* a = reinterpret_cast<const Byte*>(key_a);
  const Byte* b = reinterpret_cast<const Byte*>(key_b);
  while (*a != 0) {
    const int result = compare_name_keys<kMarked>(mode, a, b, index_a, index_b);
    if (result != 0) return result;
    ++a;
    ++b;
  }
  return *b != 0 ? -1 : 0;
}

// Weights (see append_gbk_segment_weight). Each character's weight opens
// with a class byte above the byte that ends a segment's weight, so that a
// segment that is the start of another orders first, and marked characters
// after GBK ones.
constexpr char kWeightEnd = 0x00;
constexpr char kWeightGbk = 0x01;
constexpr char kWeightMarked = 0x02;

void append_folded(const Byte* p, const Byte* end, std::vector<char>* weight) {
  for (; p < end; ++p) weight->push_back(static_cast<char>(fold_case(*p)));
}

// Pinyin: the folded reading, ended by a byte below all of its own (a key
// holds no NUL), then the character's bytes with the top bit flipped, which
// orders them as signed values.
template <bool kMarked>
bool append_reading_weight(const Byte* p, const Byte* end, std::vector<char>* weight) {
  if (kMarked && is_marked(p)) {
    if (end - p < static_cast<ptrdiff_t>(kMarkedLength)) return false;
    weight->push_back(kWeightMarked);
    weight->insert(weight->end(), p + 1, p + kMarkedLength);
    append_folded(p + kMarkedLength, end, weight);
    weight->push_back(kWeightEnd);
    return true;
  }
  weight->push_back(kWeightGbk);
  append_folded(p + 2, end, weight);
  weight->push_back(kWeightEnd);
  weight->push_back(static_cast<char>(p[0] ^ 0x80));
  weight->push_back(static_cast<char>(p[1] ^ 0x80));
  return true;
}

// One GBK character under the stroke or Unicode rule. Stroke sequences are
// digits, so the NUL after one ends it below any longer sequence; in the
// stroke-count order the count goes first.
bool append_character_weight(SortMode mode, const Byte* p, std::vector<char>* weight) {
  weight->push_back(kWeightGbk);
  if (mode == SortMode::kUnicode) {
    const int cell = (p[0] - 0x81) * 192 + (p[1] - 0x40);
    const int unicode = cell >= 0 && cell < kGbkUnicodeCells ? gbk_to_unicode(cell) : 0;
    if (unicode == 0) return false;  // the rest of the segment would count as equal
    weight->push_back(static_cast<char>(unicode >> 8));
    weight->push_back(static_cast<char>(unicode & 0xFF));
    return true;
  }
  const int index = gbk_index(p);
  if (index < 0) return false;
  const std::string_view strokes = stroke_sequence(index);
  if (mode == SortMode::kBihuashu) {
    if (strokes.size() > 0xFF) return false;
    weight->push_back(static_cast<char>(strokes.size()));
  }
  weight->insert(weight->end(), strokes.begin(), strokes.end());
  weight->push_back(kWeightEnd);
  return true;
}

// Stroke and Unicode orders: the characters' weights, then the segment end,
// below every character's class byte, so the shorter segment goes first.
template <bool kMarked>
bool append_character_run_weight(SortMode mode, const Byte* p, const Byte* end,
                                 std::vector<char>* weight) {
  while (p < end) {
    const size_t length = key_character_length(p, kMarked);
    if (end - p < static_cast<ptrdiff_t>(length)) return false;
    if (kMarked && length != 2) {
      weight->push_back(kWeightMarked);
      weight->insert(weight->end(), p + 1, p + kMarkedLength);
    } else if (!append_character_weight(mode, p, weight)) {
      return false;
    }
    p += length;
  }
  weight->push_back(kWeightEnd);
  return true;
}

template <bool kMarked>
bool append_segment_weight(SortMode mode, std::string_view segment, std::vector<char>* weight) {
  const Byte* p = reinterpret_cast<const Byte*>(segment.data());
  const Byte* end = p + segment.size();
  if (mode == SortMode::kPinyin) return append_reading_weight<kMarked>(p, end, weight);
  return append_character_run_weight<kMarked>(mode, p, end, weight);
}

}  // namespace

bool append_gbk_segment_weight(SortMode mode, std::string_view segment,
                               std::vector<char>* weight, Encoding encoding) {
  return encoding == Encoding::kUtf8 ? append_segment_weight<true>(mode, segment, weight)
                                     : append_segment_weight<false>(mode, segment, weight);
}

int compare_gbk_segments(SortMode mode, std::string_view segment_a, std::string_view segment_b,
                         Encoding encoding) {
  return encoding == Encoding::kUtf8 ? compare_segments<true>(mode, segment_a, segment_b)
                                     : compare_segments<false>(mode, segment_a, segment_b);
}

int compare_keys(SortMode mode, const char* key_a, const char* key_b, int index_a, int index_b,
                 Encoding encoding) {
  return encoding == Encoding::kUtf8
             ? compare_name_lists<true>(mode, key_a, key_b, index_a, index_b)
             : compare_name_lists<false>(mode, key_a, key_b, index_a, index_b);
}

}  // namespace tolvar

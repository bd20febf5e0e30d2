// Comparison of two sort keys under one of the four Chinese orders.
#ifndef TOLVAR_SORT_COMPARE_KEYS_H_
#define TOLVAR_SORT_COMPARE_KEYS_H_

#include <string_view>
#include <vector>

#include "shared/settings.h"
#include "shared/char_model.h"

namespace tolvar {

// Compares sort keys as built by build_sort_key (each ends with its empty
// name key) under `mode` (not kNone). Only the sign of the result counts:
// negative when A goes first, positive when B goes first, zero when equal.
// Segments that begin with a GBK character order before all others; two
// other segments that differ beyond letter case order by the entries' file
// positions `index_a` and `index_b`, never by their letters.
//
// `encoding` is that of the text the keys were built from: keys built from
// UTF-8 may hold characters that GBK lacks, which order after all others
// of their order, by code point.
//
// Both keys are read in place up to their terminating NUL NUL.
//
// This function is performance-critical (the entry walk calls it for every
// pair it cannot settle from the first segments); please benchmark any
// changes with bench/sort_bench.py.
int compare_keys(SortMode mode, const char* key_a, const char* key_b, int index_a, int index_b,
                 Encoding encoding = Encoding::kGbk);

// The mode's rule for two GBK segments (each starts with a GBK character
// and holds no 0x07 or NUL): the sign compare_keys would take from them.
int compare_gbk_segments(SortMode mode, std::string_view segment_a, std::string_view segment_b,
                         Encoding encoding = Encoding::kGbk);

// Appends to *weight the bytes that stand for a GBK segment (as above)
// under the mode's rule: two segments compare under compare_gbk_segments
// as their weights compare as byte strings (unsigned), and no weight is a
// prefix of another, so weights can be joined. Ranking entries then sorts
// precomputed bytes instead of walking the keys again for every pair.
// Returns false, leaving *weight unspecified, where the rule is no order:
// a character without a code point in the Unicode order, or one that is
// not a whole character of the key. The bytes go into a vector, which grows
// by a byte at less cost than a string.
//
// Performance-critical; please benchmark any changes.
bool append_gbk_segment_weight(SortMode mode, std::string_view segment,
                               std::vector<char>* weight, Encoding encoding = Encoding::kGbk);

}  // namespace tolvar

#endif  // TOLVAR_SORT_COMPARE_KEYS_H_

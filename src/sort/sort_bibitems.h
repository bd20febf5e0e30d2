// The sort step: reorders the \bibitem entries of a .bbl by the sort key of
// each entry's author line, stably.
#ifndef TOLVAR_SORT_SORT_BIBITEMS_H_
#define TOLVAR_SORT_SORT_BIBITEMS_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "shared/settings.h"

namespace tolvar {

struct PinyinDictionary;
struct SortKeyContext;

// Reorders the entries of `input` (the whole .bbl, CR LF folded to LF)
// under settings.sort_mode, settings.encoding and settings.english_first
// and appends the rewritten text to *out; with neither a sort mode nor
// English first, the text goes out as it came. `dictionary` is required in pinyin mode and ignored otherwise.
// Returns true on success; on failure appends a message to *messages and
// leaves *out unspecified.
//
// Each thebibliography environment is sorted on its own; every line outside
// its entries stays where it stood. A file without entries comes out as it
// went in. When `entry_count` is given, it receives the number of entries.
bool sort_bibitems(const Settings& settings, const PinyinDictionary* dictionary,
                   std::string_view input, std::string* out, std::string* messages,
                   size_t* entry_count = nullptr);

// Sorts like sort_bibitems, but gives the rewritten text as the stretches
// of `input` it is made of, in order (and a line end where one must be
// added), appended to *pieces: the caller can write them out without a
// copy of the whole text. They point into `input`.
bool sort_bibitems_pieces(const Settings& settings, const PinyinDictionary* dictionary,
                          std::string_view input, std::vector<std::string_view>* pieces,
                          std::string* messages, size_t* entry_count = nullptr);

// One entry: its lines, from its \bibitem line up to the next \bibitem,
// environment end or environment start, or the end of the file.
struct BblEntry {
  size_t begin = 0;
  size_t end = 0;
  size_t key = 0;  // offset of its sort key in BibEntryTable::keys
};

// A stretch of the file that keeps its place, followed by the entries of
// one environment (none after the last environment).
struct BibPiece {
  size_t text_begin = 0;
  size_t text_end = 0;
  size_t first_entry = 0;
  size_t entry_count = 0;
};

struct BibEntryTable {
  // Every sort key, back to back. Offset 0 holds the empty key of the
  // entries whose author line was never found.
  std::string keys{'\0'};
  std::vector<BblEntry> entries;
  std::vector<BibPiece> pieces;  // in file order; they cover the whole file
};

// The number of lines of `input` that contain "\bibitem".
int count_bibitems(std::string_view input);

// Cuts `input` into pieces and entries and builds each entry's sort key
// from its author line.
void scan_bibitems(const SortKeyContext& context, std::string_view input, BibEntryTable* table);

// How the entries are ordered. Entries without an author line go first;
// those whose author line starts with Chinese text go before the others,
// or after them with `english_first`. kNone keeps the file order in each
// of these groups.
struct EntryOrder {
  SortMode mode = SortMode::kPinyin;
  Encoding encoding = Encoding::kGbk;  // of the text the keys were built from
  bool english_first = false;
};

// Returns the output order of the `count` entries that start at `first`, as
// positions relative to `first`: each entry in file order is inserted before
// the first placed entry that compares greater than it, so equal entries
// keep their file order. English first then only swaps the two groups.
std::vector<uint32_t> link_bibitems(const EntryOrder& order, const BibEntryTable& table,
                                    size_t first, size_t count);

// The Chinese-first order of `mode` over keys built from GBK.
inline std::vector<uint32_t> link_bibitems(SortMode mode, const BibEntryTable& table, size_t first,
                                           size_t count) {
  return link_bibitems(EntryOrder{mode}, table, first, count);
}

}  // namespace tolvar

#endif  // TOLVAR_SORT_SORT_BIBITEMS_H_

#include "sort/sort_bibitems.h"

#include "sort/compare_keys.h"
#include "sort/sort_key.h"

namespace tolvar {
namespace {

constexpr std::string_view kBeginText = "\\begin{thebibliography}{";
constexpr std::string_view kEndText = "\\end{thebibliography}";
constexpr std::string_view kBibitem = "\\bibitem";

bool contains(std::string_view line, std::string_view text) {
  return line.find(text) != std::string_view::npos;
}

// Where the author line of the current entry stands.
enum class KeyLine {
  kNone,           // not pending
  kAfterBracket,   // the label's "[" is open; the line after its "]"
  kNext,           // the next ordinary line
};

// How the \bibitem line sets the key-line state: a label in brackets or a
// citation key in braces puts the author line on a following line.
KeyLine key_line_after_bibitem(std::string_view line, KeyLine state) {
  const size_t after = line.find(kBibitem) + kBibitem.size();
  if (after >= line.size()) return state;
  if (line[after] == '[') {
    return line.find(']', after) != std::string_view::npos ? KeyLine::kNext : KeyLine::kAfterBracket;
  }
  return line[after] == '{' ? KeyLine::kNext : state;
}

class EntryScanner {
 public:
  EntryScanner(const SortKeyContext& context, std::string_view input, BibEntryTable* table)
      : context_(context), input_(input), table_(table) {}

  void run() {
    size_t begin = 0;
    while (begin < input_.size()) {
      const size_t newline = input_.find('\n', begin);
      const size_t end = newline == std::string_view::npos ? input_.size() : newline + 1;
      take_line(begin, input_.substr(begin, end - begin));
      begin = end;
    }
    close_environment(input_.size());
    table_->pieces.push_back({text_begin_, input_.size(), table_->entries.size(), 0});
  }

 private:
  void take_line(size_t begin, std::string_view line) {
    if (contains(line, kBeginText)) {
      close_environment(begin);
      in_environment_ = true;
    } else if (contains(line, kEndText)) {
      close_environment(begin);
      in_environment_ = false;
    } else if (in_environment_ && contains(line, kBibitem)) {
      start_entry(begin);
      key_line_ = key_line_after_bibitem(line, key_line_);
    } else if (entry_open_) {
      take_ordinary_line(line);
    }
  }

  void start_entry(size_t begin) {
    if (entry_open_) {
      table_->entries.back().end = begin;
    } else {
      entry_open_ = true;
      first_entry_ = table_->entries.size();
      entries_begin_ = begin;
    }
    table_->entries.push_back({begin, begin, 0});
  }

  void take_ordinary_line(std::string_view line) {
    if (key_line_ == KeyLine::kAfterBracket) {
      if (contains(line, "]")) key_line_ = KeyLine::kNext;
    } else if (key_line_ == KeyLine::kNext) {
      table_->entries.back().key = table_->keys.size();
      build_sort_key(context_, line, &table_->keys);
      key_line_ = KeyLine::kNone;
    }
  }

  // Ends the entries of the environment in progress at `position`; what
  // follows keeps its place.
  void close_environment(size_t position) {
    key_line_ = KeyLine::kNone;
    if (!entry_open_) return;
    entry_open_ = false;
    table_->entries.back().end = position;
    table_->pieces.push_back(
        {text_begin_, entries_begin_, first_entry_, table_->entries.size() - first_entry_});
    text_begin_ = position;
  }

  const SortKeyContext& context_;
  std::string_view input_;
  BibEntryTable* table_;
  bool in_environment_ = false;
  bool entry_open_ = false;
  KeyLine key_line_ = KeyLine::kNone;
  size_t text_begin_ = 0;     // start of the text that keeps its place
  size_t entries_begin_ = 0;  // start of the first entry of the environment
  size_t first_entry_ = 0;
};

// What the walk needs of each placed entry, kept small so that the walk
// stays in cache: most comparisons are decided by the first segment alone.
enum class FirstSegment : uint8_t { kEmptyKey, kGbk, kOther };

struct LinkNode {
  int32_t next;
  uint32_t first_hash;  // of the case-folded first segment, for kOther
  FirstSegment first;
};

LinkNode link_node_of(const char* key) {
  const auto* p = reinterpret_cast<const unsigned char*>(key);
  if (p[0] == 0) return {-1, 0, FirstSegment::kEmptyKey};
  if (p[0] >= 0x81 && p[0] <= 0xFE && p[1] >= 0x40 && p[1] <= 0xFE && p[1] != 0x7F) {
    return {-1, 0, FirstSegment::kGbk};
  }
  uint32_t hash = 2166136261u;
  for (; *p != 0 && *p != 0x07; ++p) {
    const unsigned char c = (*p >= 'A' && *p <= 'Z') ? *p + ('a' - 'A') : *p;
    hash = (hash ^ c) * 16777619u;
  }
  return {-1, hash, FirstSegment::kOther};
}

// The sign of compare_keys(placed, added, placed index, added index) for a
// placed entry that comes before the added one in the file. Settles from
// the first segments what compare_keys would settle there.
int compare_placed(SortMode mode, const LinkNode& placed, const LinkNode& added,
                   const char* placed_key, const char* added_key, int placed_index,
                   int added_index) {
  if (placed.first == FirstSegment::kEmptyKey) return added.first == FirstSegment::kEmptyKey ? 0 : -1;
  if (added.first == FirstSegment::kEmptyKey) return 1;
  if (placed.first != added.first) return placed.first == FirstSegment::kGbk ? -1 : 1;
  // Different first segments of other text: the file order decides.
  if (placed.first == FirstSegment::kOther && placed.first_hash != added.first_hash) return -1;
  return compare_keys(mode, placed_key, added_key, placed_index, added_index);
}

void append_piece(std::string_view text, bool* pending_line_end, std::string* out) {
  if (text.empty()) return;
  // Never join the last line of the file, which has no line end, to another.
  if (*pending_line_end) out->push_back('\n');
  out->append(text);
  *pending_line_end = text.back() != '\n';
}

}  // namespace

int count_bibitems(std::string_view input) {
  int count = 0;
  size_t begin = 0;
  while (begin < input.size()) {
    const size_t found = input.find(kBibitem, begin);
    if (found == std::string_view::npos) break;
    ++count;
    const size_t newline = input.find('\n', found);
    if (newline == std::string_view::npos) break;
    begin = newline + 1;
  }
  return count;
}

void scan_bibitems(const SortKeyContext& context, std::string_view input, BibEntryTable* table) {
  table->entries.reserve(table->entries.size() + count_bibitems(input));
  EntryScanner(context, input, table).run();
}

std::vector<uint32_t> link_bibitems(SortMode mode, const BibEntryTable& table, size_t first,
                                    size_t count) {
  std::vector<LinkNode> nodes(count);
  std::vector<const char*> keys(count);
  for (size_t i = 0; i < count; ++i) {
    keys[i] = table.keys.data() + table.entries[first + i].key;
    nodes[i] = link_node_of(keys[i]);
  }
  int32_t head = count > 0 ? 0 : -1;
  for (int32_t added = 1; added < static_cast<int32_t>(count); ++added) {
    int32_t previous = -1;
    int32_t placed = head;
    while (placed != -1 && compare_placed(mode, nodes[placed], nodes[added], keys[placed],
                                          keys[added], placed, added) <= 0) {
      previous = placed;
      placed = nodes[placed].next;
    }
    nodes[added].next = placed;
    if (previous == -1) {
      head = added;
    } else {
      nodes[previous].next = added;
    }
  }
  std::vector<uint32_t> order;
  order.reserve(count);
  for (int32_t i = head; i != -1; i = nodes[i].next) order.push_back(static_cast<uint32_t>(i));
  return order;
}

bool sort_bibitems(const Settings& settings, const PinyinDictionary* dictionary,
                   std::string_view input, std::string* out, std::string* messages) {
  if (settings.sort_mode == SortMode::kNone) {
    out->append(input);
    return true;
  }
  if (settings.sort_mode == SortMode::kPinyin && dictionary == nullptr) {
    messages->append("Failed to open GBK2py.inf!\n");
    return false;
  }
  const SortKeyContext context = make_sort_key_context(settings, dictionary);
  BibEntryTable table;
  scan_bibitems(context, input, &table);
  bool pending_line_end = false;
  for (const BibPiece& piece : table.pieces) {
    append_piece(input.substr(piece.text_begin, piece.text_end - piece.text_begin),
                 &pending_line_end, out);
    if (piece.entry_count == 0) continue;
    for (uint32_t i : link_bibitems(settings.sort_mode, table, piece.first_entry, piece.entry_count)) {
      const BibEntry& entry = table.entries[piece.first_entry + i];
      append_piece(input.substr(entry.begin, entry.end - entry.begin), &pending_line_end, out);
    }
  }
  return true;
}

}  // namespace tolvar

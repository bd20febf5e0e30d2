#include "sort/sort_bibitems.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <string>
#include <utility>

#include "sort/compare_keys.h"
#include "sort/sort_key.h"

namespace tolvar {
namespace {

constexpr std::string_view kBeginText = "\\begin{thebibliography}{";
constexpr std::string_view kEndText = "\\end{thebibliography}";
constexpr std::string_view kBibitem = "\\bibitem";

// What a line holds of the texts that shape the entries.
enum class LineKind { kOrdinary, kBegin, kEnd, kBibitem };

// Whether `rest`, which opens with a backslash, starts one of the texts
// that shape the entries.
bool starts_text(std::string_view rest) {
  // Most commands (\newblock, \emph) start none of the texts: their second
  // byte sends them away before any comparison.
  if (rest.size() > 1 && rest[1] != 'b' && rest[1] != 'e') return false;
  return rest.starts_with(kBibitem) || rest.starts_with(kBeginText) || rest.starts_with(kEndText);
}

// The position of the first text that shapes the entries at or after
// `from`, npos for none. No text holds a line end, so the lines it finds
// no text in are exactly those classify_line calls ordinary.
size_t find_text(std::string_view input, size_t from) {
  for (size_t at = input.find('\\', from); at != std::string_view::npos;
       at = input.find('\\', at + 1)) {
    if (starts_text(input.substr(at))) return at;
  }
  return std::string_view::npos;
}

// The kind of the line of `input` that ends at `end` and holds its first
// text at *text (every text starts with a backslash): the environment start
// wins over its end and both over "\bibitem", wherever each stands in the
// line. For kBibitem, *bibitem receives the position of the first
// "\bibitem". *text moves on past the texts read, so that each backslash
// of the file is looked at once.
LineKind classify_line(std::string_view input, size_t end, size_t* text, size_t* bibitem) {
  LineKind kind = LineKind::kOrdinary;
  for (; *text < end; *text = find_text(input, *text + 1)) {
    const std::string_view rest = input.substr(*text);
    if (rest.starts_with(kBeginText)) return LineKind::kBegin;
    if (rest.starts_with(kEndText)) {
      kind = LineKind::kEnd;
    } else if (kind == LineKind::kOrdinary) {
      kind = LineKind::kBibitem;
      *bibitem = *text;
    }
  }
  return kind;
}

// Where the author line of the current entry stands.
enum class KeyLine {
  kNone,           // not pending
  kAfterBracket,   // the label's "[" is open; the line after its "]"
  kNext,           // the next ordinary line
};

// How the \bibitem line, its first "\bibitem" at `bibitem`, sets the
// key-line state: a label in brackets or a citation key in braces puts the
// author line on a following line. Any raw "]" closes a label, also one
// right after a lead byte, as in the conversion pass.
KeyLine key_line_after_bibitem(std::string_view line, size_t bibitem, KeyLine state) {
  const size_t after = bibitem + kBibitem.size();
  if (after >= line.size()) return state;
  if (line[after] == '[') {
    return line.find(']', after) != std::string_view::npos ? KeyLine::kNext
                                                            : KeyLine::kAfterBracket;
  }
  return line[after] == '{' ? KeyLine::kNext : state;
}

class EntryScanner {
 public:
  EntryScanner(const SortKeyContext& context, std::string_view input, BibEntryTable* table)
      : context_(context), input_(input), table_(table), scratch_(context) {}

  // Lines are cut only where they can matter: an ordinary line does
  // nothing unless the author line of an open entry is pending, so the
  // scan otherwise leaps to the line of the next text that shapes the
  // entries.
  //
  // Performance-critical (the whole file); please benchmark any changes.
  void run() {
    size_t begin = 0;
    size_t next_text = find_text(input_, 0);
    while (begin < input_.size()) {
      // A line that starts the environment leaves its later texts unread.
      if (next_text < begin) next_text = find_text(input_, begin);
      if (!author_line_pending()) {
        if (next_text == std::string_view::npos) break;
        begin = line_start(next_text, begin);
      }
      const size_t newline = input_.find('\n', begin);
      const size_t end = newline == std::string_view::npos ? input_.size() : newline + 1;
      take_line(begin, end, &next_text);
      begin = end;
    }
    close_environment(input_.size());
    table_->pieces.push_back({text_begin_, input_.size(), table_->entries.size(), 0});
  }

 private:
  bool author_line_pending() const { return entry_open_ && key_line_ != KeyLine::kNone; }

  // The start of the line that holds `position`, a line that starts at
  // `from` or later.
  size_t line_start(size_t position, size_t from) const {
    const size_t newline = input_.substr(from, position - from).rfind('\n');
    return newline == std::string_view::npos ? from : from + newline + 1;
  }

  // The line [begin, end); *next_text: the first text that shapes the
  // entries at or after `begin`.
  void take_line(size_t begin, size_t end, size_t* next_text) {
    const std::string_view line = input_.substr(begin, end - begin);
    size_t bibitem = 0;
    const LineKind kind = classify_line(input_, end, next_text, &bibitem);
    if (kind == LineKind::kBegin) {
      close_environment(begin);
      in_environment_ = true;
    } else if (kind == LineKind::kEnd) {
      close_environment(begin);
      in_environment_ = false;
    } else if (in_environment_ && kind == LineKind::kBibitem) {
      start_entry(begin);
      key_line_ = key_line_after_bibitem(line, bibitem - begin, key_line_);
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
      if (line.find(']') != std::string_view::npos) key_line_ = KeyLine::kNext;
    } else if (key_line_ == KeyLine::kNext) {
      table_->entries.back().key = table_->keys.size();
      build_sort_key(context_, line, &table_->keys, &scratch_);
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
  SortKeyScratch scratch_;
  bool in_environment_ = false;
  bool entry_open_ = false;
  KeyLine key_line_ = KeyLine::kNone;
  size_t text_begin_ = 0;     // start of the text that keeps its place
  size_t entries_begin_ = 0;  // start of the first entry of the environment
  size_t first_entry_ = 0;
};

// The walk of the entry list, done without visiting every placed entry.
//
// The walk inserts each entry before the first placed entry that compares
// greater. Whatever the keys, that keeps the list in three runs: entries
// with an empty key (which compare below every other key and equal to each
// other), entries whose key starts with a GBK segment (below every other
// segment), then entries whose key starts with other text. An added entry
// therefore lands inside its own run, and only that run has to be walked:
// - an empty key goes to the end of its run;
// - a key that starts with other text compares greater than the added one
//   only where the run of other text that opens the added key's first name
//   key also opens the placed key's (differing text keeps the file order,
//   and a shorter run goes first); lists by the hashes of these runs give
//   just those placed keys, without reading the others;
// - a key that starts with GBK text is ranked by the weight of its GBK
//   start (below), and the ranks agree with compare_keys wherever they
//   differ. The run
//   stays ordered by rank, since the walk passes every entry of lower rank
//   and stops at the first of higher rank; so the walk starts at the first
//   entry of equal rank and compares only the entries of that rank.
// The result is exactly the walk's, also where the comparison is not a
// consistent order.
enum class FirstSegment : uint8_t { kEmptyKey, kGbk, kOther };

// `marked`: the keys were built from UTF-8 (see starts_key_character).
bool starts_gbk_segment(const char* key, bool marked) {
  return starts_key_character(reinterpret_cast<const unsigned char*>(key), marked);
}

FirstSegment first_segment_of(const char* key, bool marked) {
  if (key[0] == 0) return FirstSegment::kEmptyKey;
  return starts_gbk_segment(key, marked) ? FirstSegment::kGbk : FirstSegment::kOther;
}

std::string_view first_segment(const char* key) {
  size_t length = 0;
  // No byte above the separator ends a segment: most take one comparison.
  while (static_cast<unsigned char>(key[length]) > kSegmentSeparator ||
         (key[length] != 0 && key[length] != kSegmentSeparator)) {
    ++length;
  }
  return {key, length};
}

// Adds a segment, case-folded, and its end to a running FNV-1a hash.
uint32_t hash_segment(uint32_t hash, std::string_view segment) {
  for (char c : segment) {
    const unsigned char folded = (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
    hash = (hash ^ folded) * 16777619u;
  }
  return (hash ^ static_cast<unsigned char>(kSegmentSeparator)) * 16777619u;
}

// What follows a segment in its name key, in the order compare_keys gives
// it against a GBK segment: the end of the name key goes first, other text
// after.
enum class Next { kEnd, kGbk, kOther };

Next next_segment(const char** cursor, std::string_view segment, bool marked) {
  const char* next = segment.data() + segment.size();
  if (*next == kSegmentSeparator) ++next;
  *cursor = next;
  if (*next == 0) return Next::kEnd;
  return starts_gbk_segment(next, marked) ? Next::kGbk : Next::kOther;
}

// Appends, for a key that starts with other text, the hash of the run of
// other-text segments that opens its first name key after each of them.
void hash_other_start(const char* key, bool marked, std::vector<uint32_t>* hashes) {
  uint32_t hash = 2166136261u;
  for (;;) {
    const std::string_view segment = first_segment(key);
    hash = hash_segment(hash, segment);
    hashes->push_back(hash);
    if (next_segment(&key, segment, marked) != Next::kOther) return;
  }
}

// Appends the weight of the GBK start of `key`, a key that starts with a
// GBK segment: the weight of each GBK segment of the run that opens its
// first name key, each followed by what comes next (Next is in the order
// compare_keys gives it). Where the weights of two keys differ, compare_keys
// orders the keys as the weights order. False when the mode's rule is no
// order on these segments (see append_gbk_segment_weight).
bool append_gbk_start_weight(const EntryOrder& order, const char* key, std::vector<char>* weight) {
  const bool marked = order.encoding == Encoding::kUtf8;
  for (;;) {
    const std::string_view segment = first_segment(key);
    if (!append_gbk_segment_weight(order.mode, segment, weight, order.encoding)) return false;
    const Next next = next_segment(&key, segment, marked);
    weight->push_back(static_cast<char>(next));
    if (next != Next::kGbk) return true;
  }
}

constexpr size_t kNoBit = SIZE_MAX;

// The lowest bit set in `words` at `from` or above, kNoBit for none.
size_t lowest_bit_from(const std::vector<uint64_t>& words, size_t from) {
  size_t word = from / 64;
  if (word >= words.size()) return kNoBit;
  uint64_t bits = words[word] & (~uint64_t{0} << (from % 64));
  while (bits == 0) {
    if (++word == words.size()) return kNoBit;
    bits = words[word];
  }
  return word * 64 + std::countr_zero(bits);
}

// The ends of a doubly linked list of entries.
struct List {
  int32_t head = -1;
  int32_t tail = -1;
};

// Lists by a key that is never 0: open addressing in a table kept at most
// half full, so that a lookup takes a probe or two and no list costs an
// allocation of its own.
class ListsByKey {
 public:
  // For up to `count` keys.
  void reset(size_t count) {
    size_t size = 16;
    while (size < 2 * count) size *= 2;
    slots_.assign(size, Slot{});
  }

  List& operator[](uint64_t key) {
    const size_t mask = slots_.size() - 1;
    // Fibonacci hashing spreads keys that differ in few bits.
    size_t i = static_cast<size_t>((key * 0x9E3779B97F4A7C15u) >> 32) & mask;
    while (slots_[i].key != key && slots_[i].key != 0) i = (i + 1) & mask;
    slots_[i].key = key;
    return slots_[i].list;
  }

 private:
  struct Slot {
    uint64_t key = 0;  // 0: free
    List list;
  };
  std::vector<Slot> slots_;
};

class EntryLinker {
 public:
  EntryLinker(const EntryOrder& order, const BibEntryTable& table, size_t first, size_t count)
      : order_(order), marked_(order.encoding == Encoding::kUtf8), nodes_(count) {
    for (size_t i = 0; i < count; ++i) {
      nodes_[i].key = table.keys.data() + table.entries[first + i].key;
      nodes_[i].kind = first_segment_of(nodes_[i].key, marked_);
      if (nodes_[i].kind == FirstSegment::kOther && sorting()) {
        nodes_[i].other_hashes = static_cast<uint32_t>(other_hashes_.size());
        hash_other_start(nodes_[i].key, marked_, &other_hashes_);
        nodes_[i].other_run = static_cast<uint32_t>(other_hashes_.size()) - nodes_[i].other_hashes;
      }
    }
    if (sorting()) rank_gbk_starts();
    prefix_links_.resize(other_hashes_.size());
    prefix_lists_.reset(other_hashes_.size());
  }

  // Without a Chinese order each run keeps the file order.
  std::vector<uint32_t> run() {
    for (int32_t i = 0; i < static_cast<int32_t>(nodes_.size()); ++i) {
      switch (nodes_[i].kind) {
        case FirstSegment::kEmptyKey: empty_keys_.push_back(i); break;
        case FirstSegment::kGbk:
          if (!sorting()) {
            insert_before(&gbk_, -1, i);
          } else {
            ranked_ ? insert_ranked(i) : insert_walking(i);
          }
          break;
        case FirstSegment::kOther: sorting() ? insert_other(i) : insert_before(&other_, -1, i); break;
      }
    }
    // Entries without an author line stay first in either order.
    std::vector<uint32_t> order(empty_keys_.begin(), empty_keys_.end());
    append_list(order_.english_first ? other_ : gbk_, &order);
    append_list(order_.english_first ? gbk_ : other_, &order);
    return order;
  }

 private:
  // Where an entry stands in a list of entries.
  struct Link {
    int32_t next = -1;
    int32_t previous = -1;
  };

  struct Node {
    const char* key = nullptr;
    Link link;                  // in its run's list
    uint32_t rank = 0;          // of the GBK start
    uint32_t other_hashes = 0;  // offset in other_hashes_ of the other-text run
    uint32_t other_run = 0;     // its number of segments
    FirstSegment kind = FirstSegment::kEmptyKey;
  };

  // A weight with its first sixteen bytes as two numbers, which decide
  // most comparisons without a call to compare the bytes: eight alone often
  // hold no more than a surname. The weight itself is a pointer and a 32-bit
  // size, which keeps the struct to 32 bytes for the moves of the sort.
  struct Weighed {
    uint64_t head = 0;
    uint64_t next = 0;
    const char* data = nullptr;
    uint32_t size = 0;
    int32_t node = 0;

    static Weighed of(std::string_view weight, int32_t node) {
      return {bytes_as_number(weight, 0), bytes_as_number(weight, 8), weight.data(),
              static_cast<uint32_t>(weight.size()), node};
    }
    std::string_view weight() const { return {data, size}; }
    // The eight bytes from `from`, zeros past the end.
    static uint64_t bytes_as_number(std::string_view weight, size_t from) {
      unsigned char bytes[8] = {};
      if (from < weight.size()) weight.copy(reinterpret_cast<char*>(bytes), sizeof bytes, from);
      uint64_t number = 0;
      for (unsigned char byte : bytes) number = number << 8 | byte;
      return number;
    }
    bool operator<(const Weighed& other) const {
      if (head != other.head) return head < other.head;
      if (next != other.next) return next < other.next;
      return weight() < other.weight();
    }
  };

  bool sorting() const { return order_.mode != SortMode::kNone; }

  void append_list(const List& list, std::vector<uint32_t>* order) const {
    for (int32_t i = list.head; i != -1; i = nodes_[i].link.next) order->push_back(i);
  }

  // compare_keys of a placed entry against the added one; the placed one
  // is always the earlier in the file.
  int compare(int32_t placed, int32_t added) const {
    return compare_keys(order_.mode, nodes_[placed].key, nodes_[added].key, placed, added,
                        order_.encoding);
  }

  // Dense ranks of the GBK starts, from their weights: one pass over each
  // key, then a sort of byte strings. When any start has no weight, or one
  // too long for a Weighed, every entry is placed by the plain walk.
  //
  // Performance-critical; please benchmark any changes.
  void rank_gbk_starts() {
    std::vector<char> weights;
    std::vector<std::pair<size_t, int32_t>> ends;  // end of each weight in `weights`, its entry
    for (int32_t i = 0; i < static_cast<int32_t>(nodes_.size()); ++i) {
      if (nodes_[i].kind != FirstSegment::kGbk) continue;
      const size_t begin = weights.size();
      if (!append_gbk_start_weight(order_, nodes_[i].key, &weights) ||
          weights.size() - begin > UINT32_MAX) {
        ranked_ = false;
        return;
      }
      ends.emplace_back(weights.size(), i);
    }
    // Views are taken once `weights` no longer grows.
    std::vector<Weighed> ranked;
    ranked.reserve(ends.size());
    size_t begin = 0;
    for (const auto& [end, node] : ends) {
      ranked.push_back(Weighed::of(std::string_view(weights.data() + begin, end - begin), node));
      begin = end;
    }
    std::sort(ranked.begin(), ranked.end());
    uint32_t rank = 0;
    for (size_t k = 0; k < ranked.size(); ++k) {
      if (k > 0 && ranked[k - 1].weight() != ranked[k].weight()) ++rank;
      nodes_[ranked[k].node].rank = rank;
    }
    first_of_rank_.assign(rank + 1, -1);
    ranks_placed_.assign(rank / 64 + 1, 0);
    words_placed_.assign(ranks_placed_.size() / 64 + 1, 0);
  }

  // Puts `added` before `placed` in `list`, or at its end when `placed` is
  // -1; link_of(i) gives the Link of entry i in that list.
  template <class LinkOf>
  static void insert_before(List* list, int32_t placed, int32_t added, LinkOf link_of) {
    Link& link = link_of(added);
    link.next = placed;
    link.previous = placed == -1 ? list->tail : link_of(placed).previous;
    (link.previous == -1 ? list->head : link_of(link.previous).next) = added;
    (placed == -1 ? list->tail : link_of(placed).previous) = added;
  }

  void insert_before(List* list, int32_t placed, int32_t added) {
    insert_before(list, placed, added, [this](int32_t i) -> Link& { return nodes_[i].link; });
  }

  // The first placed entry of the lowest rank at or above `rank` that has
  // one, -1 for none. Past the word of `rank`, the bits of the words that
  // have a placed rank spare the walk over the empty ones.
  int32_t first_at_or_above(uint32_t rank) const {
    const uint64_t bits = ranks_placed_[rank / 64] & (~uint64_t{0} << (rank % 64));
    if (bits != 0) return first_of_rank_[rank / 64 * 64 + std::countr_zero(bits)];
    const size_t word = lowest_bit_from(words_placed_, rank / 64 + 1);
    if (word == kNoBit) return -1;
    return first_of_rank_[word * 64 + std::countr_zero(ranks_placed_[word])];
  }

  void insert_ranked(int32_t added) {
    const uint32_t rank = nodes_[added].rank;
    int32_t& first = first_of_rank_[rank];
    if (first == -1) {
      insert_before(&gbk_, first_at_or_above(rank), added);
      first = added;
      ranks_placed_[rank / 64] |= uint64_t{1} << (rank % 64);
      words_placed_[rank / 4096] |= uint64_t{1} << (rank / 64 % 64);
      return;
    }
    int32_t placed = first;
    while (placed != -1 && nodes_[placed].rank == rank && compare(placed, added) <= 0) {
      placed = nodes_[placed].link.next;
    }
    if (placed == first) first = added;
    insert_before(&gbk_, placed, added);
  }

  void insert_walking(int32_t added) {
    int32_t placed = gbk_.head;
    while (placed != -1 && compare(placed, added) <= 0) placed = nodes_[placed].link.next;
    insert_before(&gbk_, placed, added);
  }

  // Entry i's place in other_hashes_ and prefix_links_ for the prefix of
  // `depth` segments.
  uint32_t prefix_slot(int32_t i, uint32_t depth) const {
    return nodes_[i].other_hashes + depth - 1;
  }

  uint32_t hash_at(int32_t i, uint32_t depth) const { return other_hashes_[prefix_slot(i, depth)]; }

  // Whether the other-text run of entry `i` has `depth` segments or more,
  // the first `depth` of them hashing to `hash`.
  bool has_prefix(int32_t i, uint32_t depth, uint32_t hash) const {
    return nodes_[i].other_run >= depth && hash_at(i, depth) == hash;
  }

  // Never 0, as the depth is at least 1.
  static uint64_t prefix_key(uint32_t depth, uint32_t hash) { return uint64_t{depth} << 32 | hash; }

  // Only a placed entry whose other-text run starts with the whole run of
  // the added one can compare greater (see above); the list of that prefix
  // holds just these, in list order. Entries whose text only shares the
  // hash compare below the added one, as the earlier in the file.
  //
  // Performance-critical; please benchmark any changes.
  void insert_other(int32_t added) {
    const uint32_t run = nodes_[added].other_run;
    const List& list = prefix_lists_[prefix_key(run, hash_at(added, run))];
    for (int32_t placed = list.head; placed != -1;
         placed = prefix_links_[prefix_slot(placed, run)].next) {
      if (compare(placed, added) > 0) {
        insert_before(&other_, placed, added);
        file_under_prefixes(added, placed);
        return;
      }
    }
    insert_before(&other_, -1, added);
    file_under_prefixes(added, -1);
  }

  // Puts `added`, which now stands just before `successor` (-1 for none),
  // into the list of each prefix of its run, before the first entry of that
  // list that follows it. That is nearly always `successor` itself, which
  // has them all but where hashes collide.
  void file_under_prefixes(int32_t added, int32_t successor) {
    for (uint32_t depth = 1; depth <= nodes_[added].other_run; ++depth) {
      const uint32_t hash = hash_at(added, depth);
      int32_t next = successor;
      while (next != -1 && !has_prefix(next, depth, hash)) next = nodes_[next].link.next;
      const auto link_of = [this, depth](int32_t i) -> Link& {
        return prefix_links_[prefix_slot(i, depth)];
      };
      insert_before(&prefix_lists_[prefix_key(depth, hash)], next, added, link_of);
    }
  }

  EntryOrder order_;
  bool marked_;  // keys built from UTF-8 may hold marked characters
  std::vector<Node> nodes_;
  bool ranked_ = true;
  std::vector<int32_t> empty_keys_;
  List gbk_;
  List other_;
  // The first entry in the list of each rank, -1 while it has none, and a
  // bit for each rank that has one.
  std::vector<int32_t> first_of_rank_;
  std::vector<uint64_t> ranks_placed_;
  std::vector<uint64_t> words_placed_;  // a bit for each word of ranks_placed_ not 0
  std::vector<uint32_t> other_hashes_;
  // For each depth and hash (prefix_key), the entries whose other-text
  // run has that prefix, in list order; the links of each entry in these
  // lists are in prefix_links_, at its prefix_slot.
  ListsByKey prefix_lists_;
  std::vector<Link> prefix_links_;
};

void append_piece(std::string_view text, bool* pending_line_end, std::vector<std::string_view>* pieces) {
  if (text.empty()) return;
  // Never join the last line of the file, which has no line end, to another.
  if (*pending_line_end) pieces->push_back("\n");
  pieces->push_back(text);
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
  // No count of the entries first: that would read the text once more,
  // for less than the vector's own growth costs.
  EntryScanner(context, input, table).run();
}

std::vector<uint32_t> link_bibitems(const EntryOrder& order, const BibEntryTable& table,
                                    size_t first, size_t count) {
  return EntryLinker(order, table, first, count).run();
}

bool sort_bibitems_pieces(const Settings& settings, const PinyinDictionary* dictionary,
                          std::string_view input, std::vector<std::string_view>* pieces,
                          std::string* messages, size_t* entry_count) {
  if (settings.sort_mode == SortMode::kNone && !settings.english_first) {
    if (!input.empty()) pieces->push_back(input);
    return true;
  }
  if (settings.sort_mode == SortMode::kPinyin && dictionary == nullptr) {
    messages->append("Failed to open GBK2py.inf!\n");
    return false;
  }
  const SortKeyContext context = make_sort_key_context(settings, dictionary);
  const EntryOrder order{settings.sort_mode, settings.encoding, settings.english_first};
  BibEntryTable table;
  scan_bibitems(context, input, &table);
  if (entry_count != nullptr) *entry_count = table.entries.size();
  // The same lines come out, with at most a line end added after each
  // piece that lacked one.
  pieces->reserve(pieces->size() + 2 * (table.pieces.size() + table.entries.size()));
  bool pending_line_end = false;
  for (const BibPiece& piece : table.pieces) {
    append_piece(input.substr(piece.text_begin, piece.text_end - piece.text_begin),
                 &pending_line_end, pieces);
    if (piece.entry_count == 0) continue;
    for (uint32_t i : link_bibitems(order, table, piece.first_entry, piece.entry_count)) {
      const BblEntry& entry = table.entries[piece.first_entry + i];
      append_piece(input.substr(entry.begin, entry.end - entry.begin), &pending_line_end, pieces);
    }
  }
  return true;
}

bool sort_bibitems(const Settings& settings, const PinyinDictionary* dictionary,
                   std::string_view input, std::string* out, std::string* messages,
                   size_t* entry_count) {
  std::vector<std::string_view> pieces;
  if (!sort_bibitems_pieces(settings, dictionary, input, &pieces, messages, entry_count)) return false;
  size_t size = 0;
  for (std::string_view piece : pieces) size += piece.size();
  out->reserve(out->size() + size);
  for (std::string_view piece : pieces) out->append(piece);
  return true;
}

}  // namespace tolvar

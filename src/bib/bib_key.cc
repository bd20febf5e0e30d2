#include "bib/bib_key.h"

#include <algorithm>
#include <array>
#include <unordered_map>

#include "bib/bib_file.h"
#include "shared/gbk_tables.h"

namespace tolvar {
namespace {

constexpr char fold_case(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }
constexpr bool is_key_letter(char c) { return c >= 'a' && c <= 'z'; }
constexpr bool is_key_digit(char c) { return c >= '0' && c <= '9'; }
constexpr bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '~'; }

const unsigned char* bytes_at(std::string_view text, size_t i) {
  return reinterpret_cast<const unsigned char*>(text.data() + i);
}

bool starts_with_folded(std::string_view text, std::string_view word) {
  if (text.size() < word.size()) return false;
  for (size_t k = 0; k < word.size(); ++k) {
    if (fold_case(text[k]) != word[k]) return false;
  }
  return true;
}

bool equals_folded(std::string_view text, std::string_view word) {
  if (text.size() != word.size()) return false;
  for (size_t k = 0; k < text.size(); ++k) {
    if (fold_case(text[k]) != word[k]) return false;
  }
  return true;
}

// The key byte of each byte: letters in lower case, digits, 0 for the
// rest.
constexpr std::array<char, 256> kKeyBytes = [] {
  std::array<char, 256> table{};
  for (int c = 0; c < 256; ++c) {
    const char f = fold_case(static_cast<char>(c));
    if (is_key_letter(f) || is_key_digit(f)) table[c] = f;
  }
  return table;
}();

// Appends the lower-case letters and digits of `text`.
void append_key_text(std::string_view text, std::string* out) {
  const size_t start = out->size();
  out->resize(start + text.size());
  char* p = out->data() + start;
  for (char c : text) {
    const char k = kKeyBytes[static_cast<unsigned char>(c)];
    *p = k;
    p += k != 0;
  }
  out->resize(static_cast<size_t>(p - out->data()));
}

// A reading as eight bytes of a number, its letters and digits in lower
// case; 0 for an empty reading or one too long to pack.
std::uint64_t pack_reading(std::string_view reading) {
  std::uint64_t packed = 0;
  int bytes = 0;
  for (char c : reading) {
    const char f = fold_case(c);
    if (!is_key_letter(f) && !is_key_digit(f)) continue;
    if (++bytes > 8) return 0;
    packed = packed << 8 | static_cast<unsigned char>(f);
  }
  return packed;
}

// The place of GBK index `index` in the order of the sort step: lead byte,
// then trail byte taken as signed (0x80..0xFE before 0x40..0x7E).
int signed_order_position(int index) {
  const int lead = index / 190, column = index % 190;
  const int trail = column + 0x40 + (column >= 0x3F ? 1 : 0);
  return lead * 190 + (trail >= 0x80 ? trail - 0x80 : 127 + trail - 0x40);
}

int index_at_signed_position(int position) {
  const int lead = position / 190, column = position % 190;
  const int trail = column < 127 ? column + 0x80 : column - 127 + 0x40;
  return lead * 190 + (trail - 0x40) - (trail >= 0x80 ? 1 : 0);
}

void append_digits(unsigned value, int width, int base, std::string* out) {
  char buffer[16];
  for (int k = width - 1; k >= 0; --k) {
    const unsigned digit = value % base;
    buffer[k] = static_cast<char>(digit < 10 ? '0' + digit : 'a' + digit - 10);
    value /= base;
  }
  out->append(buffer, width);
}

// Letters that order as the ranks do, none for rank 0 (see bib_key.h).
void append_rank(unsigned rank, std::string* out) {
  if (rank == 0) return;
  if (rank <= 25) {
    out->push_back(static_cast<char>('a' + rank - 1));
    return;
  }
  rank = std::min(rank - 26, 26u * 26u - 1);
  out->push_back('z');
  out->push_back(static_cast<char>('a' + rank / 26));
  out->push_back(static_cast<char>('a' + rank % 26));
}

unsigned rank_of(const BibKeyContext& context, int index, ReadingSource source, std::string_view reading) {
  const HomophoneRanks* ranks = context.ranks;
  if (ranks == nullptr || index < 0 || static_cast<size_t>(index) >= ranks->ordinary.size()) return 0;
  if (source == ReadingSource::kOrdinary) return ranks->ordinary[index];
  if (source == ReadingSource::kSurname) return ranks->surname[index];
  const std::uint64_t packed = pack_reading(reading);
  const CharacterReadings& own = context.dictionary->characters[index];
  if (packed == pack_reading(own.ordinary)) return ranks->ordinary[index];
  if (packed == pack_reading(own.surname)) return ranks->surname[index];
  for (const HomophoneRanks::Extra& extra : ranks->extras) {
    if (extra.index == index && extra.reading == packed) return extra.rank;
  }
  // An explicit reading that is none of the character's own.
  return 0;
}

// The next rank of each packed reading: an open-addressing table, which
// costs a fraction of a map's time for the 48,000 readings of a dictionary.
class RankCounter {
 public:
  std::uint16_t take(std::uint64_t packed) {
    if (2 * (used_ + 1) > slots_.size()) grow();
    Slot& slot = find(packed);
    if (slot.packed == 0) {
      slot.packed = packed;
      ++used_;
    }
    return slot.next == UINT16_MAX ? slot.next : slot.next++;
  }

 private:
  struct Slot {
    std::uint64_t packed = 0;  // 0: empty (no reading packs to 0)
    std::uint16_t next = 0;
  };

  Slot& find(std::uint64_t packed) {
    const size_t mask = slots_.size() - 1;
    size_t at = static_cast<size_t>((packed * 0x9E3779B97F4A7C15ull) >> 40) & mask;
    while (slots_[at].packed != 0 && slots_[at].packed != packed) at = (at + 1) & mask;
    return slots_[at];
  }

  void grow() {
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(old.empty() ? 4096 : old.size() * 2, Slot());
    for (const Slot& slot : old) {
      if (slot.packed != 0) find(slot.packed) = slot;
    }
  }

  std::vector<Slot> slots_;
  size_t used_ = 0;
};

// Builds the words of one name.
class NameKeyWriter {
 public:
  NameKeyWriter(const BibKeyContext& context, std::string* key, std::string* syllables)
      : context_(context), key_(key), syllables_(syllables) {}

  void write(const BibName& name);

 private:
  enum class Kind { kNone, kChinese, kOther };

  void write_part(std::string_view text, bool* first_character);
  void start_word(Kind kind);
  void write_unread_character(const unsigned char* p, size_t length);
  void write_pinyin_word(int index, ReadingSource source, std::string_view reading);
  void write_stroke_or_code_word(const unsigned char* p, size_t length, int index);

  const BibKeyContext& context_;
  std::string* key_;
  std::string* syllables_;
  Kind previous_ = Kind::kNone;
  bool after_blank_ = false;
};

// Starts a word: a blank between words, and in the stroke and Unicode
// orders "00" where the sort step starts a new run.
void NameKeyWriter::start_word(Kind kind) {
  if (previous_ != Kind::kNone) {
    key_->push_back(' ');
    const bool new_run = after_blank_ || kind != previous_ || kind == Kind::kOther;
    if (context_.mode != SortMode::kPinyin && new_run) key_->append("00 ");
  }
  previous_ = kind;
  after_blank_ = false;
}

void NameKeyWriter::write_stroke_or_code_word(const unsigned char* p, size_t length, int index) {
  if (context_.mode == SortMode::kUnicode) {
    const char32_t c = context_.model.code_point(p, length);
    if (c == 0) {
      key_->append("000");
    } else {
      append_digits(c, 5, 16, key_);
    }
    return;
  }
  const std::string_view strokes = stroke_sequence(index);
  if (strokes.empty()) {
    key_->append("000");
    return;
  }
  if (context_.mode == SortMode::kBihuashu) append_digits(static_cast<unsigned>(strokes.size()), 2, 10, key_);
  key_->append(strokes);
}

// A character that GBK lacks (only in UTF-8 text).
void NameKeyWriter::write_unread_character(const unsigned char* p, size_t length) {
  key_->append("zy");
  append_digits(context_.model.code_point(p, length), 6, 16, key_);
}

void NameKeyWriter::write_pinyin_word(int index, ReadingSource source, std::string_view reading) {
  start_word(Kind::kChinese);
  const size_t start = key_->size();
  append_key_text(reading, key_);
  if (key_->size() == start) {
    key_->push_back('0');
    append_digits(static_cast<unsigned>(signed_order_position(index)), 5, 10, key_);
    return;
  }
  if (syllables_ != nullptr) {
    for (size_t k = start; k < key_->size(); ++k) {
      if (is_key_letter((*key_)[k])) syllables_->push_back((*key_)[k]);
    }
  }
  append_rank(rank_of(context_, index, source, reading), key_);
}

void NameKeyWriter::write(const BibName& name) {
  bool first_character = !name.organisation;
  for (std::string_view part : name.parts) {
    if (part.empty()) continue;
    after_blank_ = true;
    write_part(part, &first_character);
  }
}

void NameKeyWriter::write_part(std::string_view text, bool* first_character) {
  const CharModel& model = context_.model;
  const NameReader reader{context_.dictionary, context_.compounds, model};
  size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == '{' || c == '}') {
      ++i;
      continue;
    }
    if (is_blank(c) || c == ',') {
      after_blank_ = true;
      ++i;
      continue;
    }
    const size_t length = chinese_at(model, text, i);
    if (length == 0) {
      const size_t begin = i;
      bool has_word = false;
      while (i < text.size() && chinese_at(model, text, i) == 0 && !is_blank(text[i]) && text[i] != ',' &&
             text[i] != '{' && text[i] != '}') {
        const char f = fold_case(text[i]);
        has_word = has_word || is_key_letter(f) || is_key_digit(f);
        i += model.char_length(text, i);
      }
      if (has_word) {
        start_word(Kind::kOther);
        key_->append("zz");
        append_key_text(text.substr(begin, i - begin), key_);
      }
      continue;
    }
    const auto* p = bytes_at(text, i);
    if (context_.mode != SortMode::kPinyin) {
      const int code = gbk_code_of(model, p, length);
      start_word(Kind::kChinese);
      if (code < 0) {
        write_unread_character(p, length);
      } else {
        const unsigned char pair[2] = {static_cast<unsigned char>(code >> 8), static_cast<unsigned char>(code)};
        write_stroke_or_code_word(p, length, gbk_index(pair));
      }
      i += length;
      // The stroke and Unicode orders leave explicit readings out.
      if (starts_with_folded(text.substr(i), kPinyinMacro)) {
        const size_t close = text.find('}', i + kPinyinMacro.size());
        i = close == std::string_view::npos ? text.size() : close + 1;
      }
      continue;
    }
    const CharacterReading read = read_chinese_character(reader, text, i, length, first_character);
    if (read.index < 0) {
      start_word(Kind::kChinese);
      write_unread_character(p, length);
    } else {
      write_pinyin_word(read.index, read.source, read.reading);
    }
    if (read.second_length != 0) write_pinyin_word(read.second_index, read.source, read.second_reading);
    i += read.consumed;
  }
}

// Cuts a name at its first two commas outside braces into *parts (the
// last part keeps any later comma); returns how many parts there are.
size_t comma_parts(std::string_view name, std::string_view (&parts)[3]) {
  size_t count = 0;
  int depth = 0;
  size_t begin = 0;
  for (size_t i = 0; i < name.size() && count < 2; ++i) {
    if (name[i] == '{') ++depth;
    if (name[i] == '}') --depth;
    if (name[i] == ',' && depth == 0) {
      parts[count++] = name.substr(begin, i - begin);
      begin = i + 1;
    }
  }
  parts[count++] = name.substr(begin);
  return count;
}

std::string_view trim(std::string_view text) {
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  return text;
}

// Whether the whole of `text` is one brace group.
bool is_one_group(std::string_view text) {
  if (text.size() < 2 || text.front() != '{' || text.back() != '}') return false;
  int depth = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '{') ++depth;
    if (text[i] == '}' && --depth == 0) return i + 1 == text.size();
  }
  return false;
}

}  // namespace

void build_homophone_ranks(const PinyinDictionary& dictionary, HomophoneRanks* ranks) {
  const int count = static_cast<int>(std::min<size_t>(dictionary.characters.size(), kGbkCharacterCount));
  ranks->ordinary.assign(count, 0);
  ranks->surname.assign(count, 0);
  ranks->extras.clear();
  // The readings compound surnames give their characters, by GBK index.
  std::unordered_map<int, std::vector<std::uint64_t>> compound_readings;
  for (const CompoundSurname& compound : dictionary.compounds) {
    if (compound.characters.size() != 4) continue;
    const auto* p = reinterpret_cast<const unsigned char*>(compound.characters.data());
    const std::string_view readings[2] = {compound.first_reading, compound.second_reading};
    for (int k = 0; k < 2; ++k) {
      const int index = gbk_index(p + 2 * k);
      const std::uint64_t packed = pack_reading(readings[k]);
      if (index >= 0 && index < count && packed != 0) compound_readings[index].push_back(packed);
    }
  }
  RankCounter counter;
  auto take_rank = [&counter](std::uint64_t packed) { return counter.take(packed); };
  for (int position = 0; position < kGbkCharacterCount; ++position) {
    const int index = index_at_signed_position(position);
    if (index >= count) continue;
    const CharacterReadings& own = dictionary.characters[index];
    const std::uint64_t ordinary = pack_reading(own.ordinary);
    const std::uint64_t surname = pack_reading(own.surname);
    if (ordinary != 0) ranks->ordinary[index] = take_rank(ordinary);
    if (surname != 0) ranks->surname[index] = surname == ordinary ? ranks->ordinary[index] : take_rank(surname);
    const auto extra = compound_readings.find(index);
    if (extra == compound_readings.end()) continue;
    std::vector<std::uint64_t> readings = extra->second;
    std::sort(readings.begin(), readings.end());
    readings.erase(std::unique(readings.begin(), readings.end()), readings.end());
    for (const std::uint64_t packed : readings) {
      std::uint16_t rank;
      if (packed == ordinary) {
        rank = ranks->ordinary[index];
      } else if (packed == surname) {
        rank = ranks->surname[index];
      } else {
        rank = take_rank(packed);
      }
      ranks->extras.push_back({index, packed, rank});
    }
  }
}

std::vector<BibName> bib_names(std::string_view value) {
  std::vector<BibName> names;
  names.reserve(4);
  for (std::string_view written : split_bib_names(value)) {
    written = trim(written);
    if (equals_folded(written, "others")) break;
    BibName name;
    if (is_one_group(written)) {
      name.organisation = true;
      name.parts[0] = written.substr(1, written.size() - 2);
    } else {
      // "last, first" and "last, jr, first" read as the Chinese write a
      // name: the surname first.
      std::string_view parts[3];
      const size_t count = comma_parts(written, parts);
      name.parts[0] = trim(parts[0]);
      if (count >= 2) name.parts[1] = trim(parts[count - 1]);
      if (count >= 3) name.parts[2] = trim(parts[1]);
    }
    names.push_back(name);
  }
  return names;
}

bool starts_chinese(const CharModel& model, const BibName& name) { return starts_chinese(model, name.parts[0]); }

bool starts_chinese(const CharModel& model, std::string_view name) {
  size_t i = 0;
  while (i < name.size() && (name[i] == '{' || name[i] == '}' || is_blank(name[i]))) ++i;
  return chinese_at(model, name, i) != 0;
}

std::string name_key(const BibKeyContext& context, const BibName& name, std::string* syllables) {
  std::string key;
  NameKeyWriter(context, &key, syllables).write(name);
  return key;
}

std::string names_key(const BibKeyContext& context, const std::vector<BibName>& names,
                      std::string* syllables) {
  std::string key;
  for (const BibName& name : names) {
    const size_t mark = key.size();
    if (mark != 0) key += " 0 ";
    const size_t start = key.size();
    NameKeyWriter(context, &key, syllables).write(name);
    // An empty name ends the key, as it ends the sort key of a .bbl.
    if (key.size() == start) {
      key.resize(mark);
      break;
    }
  }
  return key;
}

std::string names_sortname(const BibKeyContext& context, const std::vector<BibName>& names,
                           std::string* syllables) {
  std::string list;
  for (const BibName& name : names) {
    const size_t mark = list.size();
    list += mark == 0 ? "{" : " and {";
    const size_t start = list.size();
    NameKeyWriter(context, &list, syllables).write(name);
    if (list.size() == start) {
      list.resize(mark);
      break;
    }
    list += '}';
  }
  return list;
}

}  // namespace tolvar

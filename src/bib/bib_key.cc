#include "bib/bib_key.h"

#include <algorithm>
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

// Appends the lower-case letters and digits of `text`.
void append_key_text(std::string_view text, std::string* out) {
  for (char c : text) {
    const char f = fold_case(c);
    if (is_key_letter(f) || is_key_digit(f)) out->push_back(f);
  }
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

unsigned rank_of(const BibKeyContext& context, int index, std::string_view reading) {
  const HomophoneRanks* ranks = context.ranks;
  if (ranks == nullptr || index < 0 || static_cast<size_t>(index) >= ranks->ordinary.size()) return 0;
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

bool starts_with_folded(std::string_view text, std::string_view word);

// Builds the words of one name.
class NameKeyWriter {
 public:
  NameKeyWriter(const BibKeyContext& context, std::string* key, std::string* syllables)
      : context_(context), key_(key), syllables_(syllables) {}

  void write(const BibName& name);

 private:
  enum class Kind { kNone, kChinese, kOther };

  void start_word(Kind kind);
  void write_character(std::string_view text, size_t i, size_t length, std::string_view reading);
  void write_stroke_or_code_word(const unsigned char* p, size_t length);

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

void NameKeyWriter::write_stroke_or_code_word(const unsigned char* p, size_t length) {
  const int code = gbk_code_of(context_.model, p, length);
  if (context_.mode == SortMode::kUnicode) {
    const char32_t c = context_.model.code_point(p, length);
    if (c == 0) {
      key_->append("000");
    } else {
      append_digits(c, 5, 16, key_);
    }
    return;
  }
  const unsigned char pair[2] = {static_cast<unsigned char>(code >> 8), static_cast<unsigned char>(code)};
  const std::string_view strokes = stroke_sequence(gbk_index(pair));
  if (strokes.empty()) {
    key_->append("000");
    return;
  }
  if (context_.mode == SortMode::kBihuashu) append_digits(static_cast<unsigned>(strokes.size()), 2, 10, key_);
  key_->append(strokes);
}

void NameKeyWriter::write_character(std::string_view text, size_t i, size_t length, std::string_view reading) {
  start_word(Kind::kChinese);
  const unsigned char* p = bytes_at(text, i);
  const int code = gbk_code_of(context_.model, p, length);
  if (code < 0) {
    key_->append("zy");
    append_digits(context_.model.code_point(p, length), 6, 16, key_);
    return;
  }
  if (context_.mode != SortMode::kPinyin) {
    write_stroke_or_code_word(p, length);
    return;
  }
  const unsigned char pair[2] = {static_cast<unsigned char>(code >> 8), static_cast<unsigned char>(code)};
  const int index = gbk_index(pair);
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
  append_rank(rank_of(context_, index, reading), key_);
}

void NameKeyWriter::write(const BibName& name) {
  const std::string_view text = name.text;
  const CharModel& model = context_.model;
  const NameReader reader{context_.dictionary, context_.compounds, model};
  bool first_character = !name.organisation;
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
      while (i < text.size() && chinese_at(model, text, i) == 0 && !is_blank(text[i]) && text[i] != ',' &&
             text[i] != '{' && text[i] != '}') {
        i += model.char_length(text, i);
      }
      std::string word = "zz";
      append_key_text(text.substr(begin, i - begin), &word);
      if (word.size() > 2) {
        start_word(Kind::kOther);
        key_->append(word);
      }
      continue;
    }
    if (context_.mode != SortMode::kPinyin) {
      write_character(text, i, length, {});
      i += length;
      // The stroke and Unicode orders leave explicit readings out.
      if (starts_with_folded(text.substr(i), kPinyinMacro)) {
        const size_t close = text.find('}', i + kPinyinMacro.size());
        i = close == std::string_view::npos ? text.size() : close + 1;
      }
      continue;
    }
    const CharacterReading read = read_chinese_character(reader, text, i, length, &first_character);
    write_character(text, i, length, read.reading);
    if (read.second_length != 0) write_character(text, i + length, read.second_length, read.second_reading);
    i += read.consumed;
  }
}

// The parts of a name split at commas outside braces.
std::vector<std::string_view> comma_parts(std::string_view name) {
  std::vector<std::string_view> parts;
  int depth = 0;
  size_t begin = 0;
  for (size_t i = 0; i < name.size(); ++i) {
    if (name[i] == '{') ++depth;
    if (name[i] == '}') --depth;
    if (name[i] == ',' && depth == 0) {
      parts.push_back(name.substr(begin, i - begin));
      begin = i + 1;
    }
  }
  parts.push_back(name.substr(begin));
  return parts;
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
  std::unordered_map<std::uint64_t, std::uint16_t> next_rank;
  next_rank.reserve(4096);
  auto take_rank = [&next_rank](std::uint64_t packed) -> std::uint16_t {
    std::uint16_t& next = next_rank[packed];
    return next == UINT16_MAX ? next : next++;
  };
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
  for (std::string_view written : split_bib_names(value)) {
    written = trim(written);
    if (equals_folded(written, "others")) break;
    BibName name;
    if (is_one_group(written)) {
      name.organisation = true;
      name.text = std::string(written.substr(1, written.size() - 2));
    } else {
      const std::vector<std::string_view> parts = comma_parts(written);
      // "last, first" and "last, jr, first" read as the Chinese write a
      // name: the surname first.
      name.text = std::string(trim(parts[0]));
      if (parts.size() >= 2) {
        name.text += ' ';
        name.text += trim(parts.back());
      }
      if (parts.size() >= 3) {
        name.text += ' ';
        name.text += trim(parts[1]);
      }
    }
    names.push_back(std::move(name));
  }
  return names;
}

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
    const std::string one = name_key(context, name, syllables);
    // An empty name ends the key, as it ends the sort key of a .bbl.
    if (one.empty()) break;
    if (!key.empty()) key += " 0 ";
    key += one;
  }
  return key;
}

std::string names_sortname(const BibKeyContext& context, const std::vector<BibName>& names) {
  std::string list;
  for (const BibName& name : names) {
    const std::string one = name_key(context, name);
    if (one.empty()) break;
    if (!list.empty()) list += " and ";
    list += '{' + one + '}';
  }
  return list;
}

}  // namespace tolvar

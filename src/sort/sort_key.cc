#include "sort/sort_key.h"

#include <algorithm>

#include "sort/gbk_tables.h"
#include "sort/pinyin_dictionary.h"

namespace tolvar {
namespace {

constexpr std::string_view kPinyinMacro = "\\pinyin{";

bool is_lead_byte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
bool is_trail_byte(unsigned char c) { return c >= 0x40 && c <= 0xFE && c != 0x7F; }

// True when a whole GBK character starts at `i`.
bool gbk_at(std::string_view text, size_t i) {
  return i + 1 < text.size() && is_lead_byte(static_cast<unsigned char>(text[i])) &&
         is_trail_byte(static_cast<unsigned char>(text[i + 1]));
}

bool is_separator(char c) { return c == ' ' || c == ','; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
char fold_case(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }

// ASCII case-insensitive prefix test; an empty word matches everywhere, and
// a word longer than the rest of the text matches nowhere.
bool starts_with_folded(std::string_view text, size_t i, std::string_view word) {
  if (i > text.size() || text.size() - i < word.size()) return false;
  for (size_t k = 0; k < word.size(); ++k) {
    if (fold_case(text[i + k]) != fold_case(word[k])) return false;
  }
  return true;
}

// Cuts one key line into names. The counts decide where a name ends: only
// at brace depth 0, once it has a separator and two parts.
class NameSplitter {
 public:
  NameSplitter(const SortKeyContext& context, std::string_view key_line, std::string* out)
      : context_(context), line_(key_line.substr(0, key_line.find('\0'))), out_(out),
        name_start_(out->size()) {
    // Ties and line ends are blanks. A "~" that is the second byte of a GBK
    // character belongs to the character.
    for (size_t i = 0; i < line_.size(); ++i) {
      if (gbk_at(line_, i)) {
        ++i;
      } else if (line_[i] == '~' || line_[i] == '\n' || line_[i] == '\r') {
        line_[i] = ' ';
      }
    }
  }

  void run() {
    for (;;) {
      skip_separators();
      if (at_end()) break;
      if (depth_ == 0 && stop_word_here()) break;
      const Token token = take_token();
      if (token == Token::kFullStop) break;
      if (token == Token::kOther) {
        separator_step();
        if (depth_ == 0) name_end_step();
      }
      if (at_end()) break;
    }
    finish();
  }

 private:
  enum class Token { kOpenBrace, kFullStop, kOther };

  bool at_end() const { return pos_ >= line_.size(); }
  // The byte `k` places ahead, NUL past the end (a NUL cannot occur inside).
  char peek(size_t k = 0) const { return pos_ + k < line_.size() ? line_[pos_ + k] : '\0'; }
  void copy(size_t n) {
    out_->append(line_, pos_, n);
    pos_ += n;
  }
  void skip_separators() {
    while (!at_end() && is_separator(line_[pos_])) ++pos_;
  }

  // The list ends at "et al", at either editor stop word, or at a bracketed
  // number; tested at every token start, inside words too.
  bool stop_word_here() const {
    if (starts_with_folded(line_, pos_, "et al") ||
        starts_with_folded(line_, pos_, context_.editors_stop_word) ||
        starts_with_folded(line_, pos_, context_.editor_stop_word)) {
      return true;
    }
    return (peek() == '(' || peek() == '[') && is_digit(peek(1));
  }

  Token take_token() {
    const char c = line_[pos_];
    group_ = false;
    if (c == '{') {
      copy(1);
      ++depth_;
      return Token::kOpenBrace;
    }
    if (c == '}') {
      copy(1);
      --depth_;
    } else if (c == '(') {
      const size_t close = line_.find(')', pos_ + 1);
      copy(close == std::string::npos ? line_.size() - pos_ : close + 1 - pos_);
      group_ = true;
    } else if (c == '\\') {
      copy(peek(1) == '{' || peek(1) == '}' ? 2 : 1);
    } else if (gbk_at(line_, pos_)) {
      return take_gbk_character();
    } else {
      copy(1);
      if (gbk_at(line_, pos_)) ++parts_;
    }
    return Token::kOther;
  }

  Token take_gbk_character() {
    copy(2);
    if (peek() != ' ' && peek() != ',') ++parts_;
    if (context_.mode != SortMode::kPinyin && starts_with_folded(line_, pos_, kPinyinMacro)) {
      // The explicit reading only matters to the pinyin order; drop it whole.
      const size_t close = line_.find('}', pos_ + kPinyinMacro.size());
      pos_ = close == std::string::npos ? line_.size() : close + 1;
      return Token::kOther;
    }
    return peek() == '.' ? Token::kFullStop : Token::kOther;
  }

  void separator_step() {
    if (peek() == ',') {
      ++pos_;
      ++separators_;
      if (!group_) ++parts_;
      if (depth_ != 0 || parts_ < 2) {
        out_->push_back(',');
        if (peek() == ' ') copy(1);
      }
    } else if (peek() == ' ') {
      ++pos_;
      if (!group_) ++parts_;
      if (depth_ != 0 || separators_ == 0 || parts_ < 2) out_->push_back(' ');
    }
  }

  void name_end_step() {
    skip_separators();
    if (starts_with_folded(line_, pos_, "and ")) consume_joiner(4);
    if (starts_with_folded(line_, pos_, "\\& ")) consume_joiner(3);
    if (separators_ >= 1 && parts_ >= 2) {
      out_->push_back('\0');
      name_start_ = out_->size();
      parts_ = 0;
      separators_ = 0;
    }
  }

  void consume_joiner(size_t length) {
    pos_ += length;
    ++separators_;
    if (!group_) ++parts_;
    if (out_->size() > name_start_ && out_->back() == ' ') out_->pop_back();
  }

  void finish() {
    if (out_->size() > name_start_) out_->push_back('\0');
    out_->push_back('\0');
  }

  const SortKeyContext& context_;
  std::string line_;
  std::string* out_;
  size_t name_start_;
  size_t pos_ = 0;
  int parts_ = 0;
  int separators_ = 0;
  int depth_ = 0;
  bool group_ = false;
};

bool ends_with_gbk_character(std::string_view text) {
  bool gbk = false;
  for (size_t i = 0; i < text.size(); i += gbk ? 2 : 1) gbk = gbk_at(text, i);
  return gbk;
}

// The part of a name that its key is made from: without leading blanks,
// commas and "{", and without a closing "}" at its end. A "}" that is the
// second byte of a GBK character belongs to that character and stays.
std::string_view name_body(std::string_view name) {
  size_t begin = 0;
  while (begin < name.size() && (is_separator(name[begin]) || name[begin] == '{')) ++begin;
  std::string_view body = name.substr(begin);
  if (body.empty() || body.back() != '}' || ends_with_gbk_character(body)) return body;
  return body.substr(0, body.size() - 1);
}

// A compound surname that starts the name at `i`, or null.
const CompoundSurname* find_compound(const PinyinDictionary& dictionary, std::string_view name,
                                     size_t i) {
  if (name.size() - i < 4) return nullptr;
  const std::string_view four = name.substr(i, 4);
  for (const CompoundSurname& compound : dictionary.compounds) {
    if (compound.characters.size() == 4 && compound.characters == four) return &compound;
  }
  return nullptr;
}

// A reading as the key takes it: up to a NUL byte, which would end the
// name key.
std::string_view key_reading(std::string_view reading) { return reading.substr(0, reading.find('\0')); }

std::string_view dictionary_reading(const PinyinDictionary& dictionary, std::string_view name,
                                    size_t i, bool surname) {
  const int index = gbk_index(reinterpret_cast<const unsigned char*>(name.data() + i));
  if (index < 0 || static_cast<size_t>(index) >= dictionary.characters.size()) return {};
  const CharacterReadings& readings = dictionary.characters[index];
  return key_reading(surname ? readings.surname : readings.ordinary);
}

}  // namespace

std::string strip_leading_separators(std::string_view text) {
  size_t begin = 0;
  while (begin < text.size() && is_separator(text[begin])) ++begin;
  return std::string(text.substr(begin));
}

SortKeyContext make_sort_key_context(const Settings& settings, const PinyinDictionary* dictionary) {
  SortKeyContext context;
  context.mode = settings.sort_mode;
  context.editors_stop_word = strip_leading_separators(settings.words.editors2_from);
  context.editor_stop_word = strip_leading_separators(settings.words.editor2_from);
  context.dictionary = dictionary;
  return context;
}

void split_names(const SortKeyContext& context, std::string_view key_line, std::string* name_list) {
  NameSplitter(context, key_line, name_list).run();
}

void plain_name_key(std::string_view name, std::string* key) {
  const std::string_view body = name_body(name);
  enum class Kind { kNone, kGbk, kOther } previous = Kind::kNone;
  bool after_separator_run = false;
  size_t i = 0;
  while (i < body.size()) {
    if (is_separator(body[i])) {
      while (i < body.size() && is_separator(body[i])) ++i;
      if (i == body.size()) break;
      key->push_back(kSegmentSeparator);
      after_separator_run = true;
      continue;
    }
    const Kind kind = gbk_at(body, i) ? Kind::kGbk : Kind::kOther;
    if (previous != Kind::kNone && kind != previous && !after_separator_run) {
      key->push_back(kSegmentSeparator);
    }
    const size_t width = kind == Kind::kGbk ? 2 : 1;
    key->append(body, i, width);
    i += width;
    previous = kind;
    after_separator_run = false;
  }
  key->push_back('\0');
}

void pinyin_name_key(const PinyinDictionary& dictionary, std::string_view name, std::string* key) {
  const std::string_view body = name_body(name);
  const size_t key_start = key->size();
  bool first_character = true;
  size_t i = 0;
  for (;;) {
    while (i < body.size() && is_separator(body[i])) ++i;
    if (i == body.size()) break;
    if (!gbk_at(body, i)) {
      const size_t begin = i;
      while (i < body.size() && !gbk_at(body, i) && !is_separator(body[i])) ++i;
      key->append(body, begin, i - begin);
    } else if (const CompoundSurname* compound =
                   first_character ? find_compound(dictionary, body, i) : nullptr) {
      key->append(body, i, 2);
      key->append(key_reading(compound->first_reading));
      key->push_back(kSegmentSeparator);
      key->append(body, i + 2, 2);
      key->append(key_reading(compound->second_reading));
      i += 4;
      first_character = false;
    } else if (starts_with_folded(body, i + 2, kPinyinMacro)) {
      // An explicit reading leaves the first-character flag as it was.
      key->append(body, i, 2);
      const size_t begin = i + 2 + kPinyinMacro.size();
      const size_t close = std::min(body.find('}', begin), body.size());
      key->append(body, begin, close - begin);
      i = close == body.size() ? close : close + 1;
    } else {
      key->append(body, i, 2);
      key->append(dictionary_reading(dictionary, body, i, first_character));
      first_character = false;
      i += 2;
    }
    key->push_back(kSegmentSeparator);
  }
  // The last separator written closes the name key instead.
  if (key->size() > key_start) key->pop_back();
  key->push_back('\0');
}

void build_sort_key(const SortKeyContext& context, std::string_view key_line, std::string* key) {
  std::string names;
  split_names(context, key_line, &names);
  size_t begin = 0;
  while (begin < names.size() && names[begin] != '\0') {
    const size_t end = names.find('\0', begin);
    const std::string_view name(names.data() + begin, end - begin);
    if (context.mode == SortMode::kPinyin) {
      static const PinyinDictionary kEmpty;
      pinyin_name_key(context.dictionary ? *context.dictionary : kEmpty, name, key);
    } else {
      plain_name_key(name, key);
    }
    begin = end + 1;
  }
  key->push_back('\0');
}

}  // namespace tolvar

#include "sort/sort_key.h"

#include <algorithm>
#include <cstdint>

#include "shared/gbk_tables.h"
#include "shared/name_reading.h"
#include "shared/pinyin_dictionary.h"

namespace tolvar {
namespace {

const unsigned char* bytes_at(std::string_view text, size_t i) {
  return reinterpret_cast<const unsigned char*>(text.data() + i);
}

// Bytes of the character that starts at `i`, Chinese or not.
inline size_t char_at(const CharModel& model, std::string_view text, size_t i) {
  if (i >= text.size()) return 0;
  return static_cast<unsigned char>(text[i]) < 0x80 ? 1 : model.char_length(text, i);
}

constexpr bool is_separator(char c) { return c == ' ' || c == ','; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
constexpr char fold_case(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }

// Whether `c` makes a token of one byte that the name splitter only copies.
constexpr bool is_plain(char c) {
  return static_cast<unsigned char>(c) < 0x80 && !is_separator(c) && c != '{' && c != '}' && c != '(' &&
         c != '\\';
}

constexpr ByteSet not_plain_bytes() {
  ByteSet set;
  for (int c = 0; c < 256; ++c) {
    if (!is_plain(static_cast<char>(c))) set.add(static_cast<unsigned char>(c));
  }
  return set;
}

inline constexpr ByteSet kNotPlain = not_plain_bytes();

// ASCII case-insensitive prefix test; an empty word matches everywhere, and
// a word longer than the rest of the text matches nowhere.
bool starts_with_folded(std::string_view text, size_t i, std::string_view word) {
  if (i > text.size() || text.size() - i < word.size()) return false;
  for (size_t k = 0; k < word.size(); ++k) {
    if (fold_case(text[i + k]) != fold_case(word[k])) return false;
  }
  return true;
}

// Adds `c` and, for a lower-case letter, its upper case.
void add_folded(char c, ByteSet* set) {
  set->add(static_cast<unsigned char>(c));
  if (c >= 'a' && c <= 'z') set->add(static_cast<unsigned char>(c - ('a' - 'A')));
}

// The bytes where a stop test can succeed: those that fold to the first
// byte of "et al", of a stop word or of a bracketed number. An empty
// stop word matches everywhere.
ByteSet stop_start_bytes(const SortKeyContext& context) {
  if (context.editors_stop_word.empty() || context.editor_stop_word.empty()) return ByteSet::all();
  ByteSet set;
  for (const char c : {'e', '(', '[', fold_case(context.editors_stop_word[0]),
                       fold_case(context.editor_stop_word[0])}) {
    add_folded(c, &set);
  }
  return set;
}

// The bytes where a plain run at brace depth 0 may end: those that are
// not plain, and those where a stop test or "and " may succeed.
ByteSet plain_run_end_bytes(const ByteSet& stop_starts) {
  ByteSet set = stop_starts;
  set.add_all(kNotPlain);
  add_folded('a', &set);
  return set;
}

// The bytes of a key line that its copy does not take as they stand: the
// NUL that ends it, ties and line ends (made blanks), and the lead bytes
// of multi-byte characters, whose trail bytes stay as they are.
constexpr ByteSet line_rewrite_bytes() {
  ByteSet set;
  for (const char c : {'\0', '~', '\n', '\r'}) set.add(static_cast<unsigned char>(c));
  for (int c = 0x80; c < 256; ++c) set.add(static_cast<unsigned char>(c));
  return set;
}

inline constexpr ByteSet kLineRewrites = line_rewrite_bytes();

SplitSets split_sets_of(const SortKeyContext& context) {
  const ByteSet stop_starts = stop_start_bytes(context);
  return {stop_starts, plain_run_end_bytes(stop_starts)};
}

// Cuts one key line into names. The counts decide where a name ends: only
// at brace depth 0, once it has a separator and two parts.
//
// Performance-critical (once per entry); please benchmark any changes.
class NameSplitter {
 public:
  // `line` is scratch space, reused from line to line to spare an
  // allocation each; `sets` come from split_sets_of(context).
  NameSplitter(const SortKeyContext& context, const SplitSets& sets, std::string_view key_line,
               std::string* line, std::string* out)
      : context_(context), sets_(sets), line_(*line), out_(out), name_start_(out->size()) {
    take_line(key_line);
  }

  void run() {
    for (;;) {
      skip_separators();
      if (at_end()) break;
      if (depth_ == 0 && stop_word_at(pos_)) break;
      copy_plain_run();
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
    if (n == 1) {
      out_->push_back(line_[pos_]);
    } else {
      out_->append(line_.data() + pos_, n);
    }
    pos_ += n;
  }

  // Copies the key line up to a NUL, with ties and line ends made blanks.
  // A "~" that is the second byte of a GBK character belongs to the
  // character. No multi-byte character holds a NUL, so each is measured
  // the same in the whole line as in its part before a NUL.
  void take_line(std::string_view key_line) {
    line_.clear();
    size_t copied = 0;  // bytes before it are in line_
    for (size_t i = 0; i < key_line.size(); ++i) {
      const char c = key_line[i];
      if (!kLineRewrites.has(c)) continue;
      if (static_cast<unsigned char>(c) >= 0x80) {
        i += context_.model.char_length(key_line, i) - 1;
        continue;
      }
      line_.append(key_line.data() + copied, i - copied);
      if (c == '\0') return;
      line_.push_back(' ');
      copied = i + 1;
    }
    line_.append(key_line.data() + copied, key_line.size() - copied);
  }

  void skip_separators() {
    while (!at_end() && is_separator(line_[pos_])) ++pos_;
  }

  // Whether a stop test can succeed at `at`. Most bytes start none of the
  // stop words, and this spares them the prefix tests.
  bool may_stop_at(size_t at) const { return sets_.stop_starts.has(line_[at]); }

  // The list ends at "et al", at either editor stop word, or at a bracketed
  // number; tested at every token start, inside words too.
  bool stop_word_at(size_t at) const {
    if (!may_stop_at(at)) return false;
    if (starts_with_folded(line_, at, "et al") ||
        starts_with_folded(line_, at, context_.editors_stop_word) ||
        starts_with_folded(line_, at, context_.editor_stop_word)) {
      return true;
    }
    return (line_[at] == '(' || line_[at] == '[') && at + 1 < line_.size() && is_digit(line_[at + 1]);
  }

  // Copies the plain bytes from the cursor on in one go, up to the last one
  // of the run or the last before a byte where a stop word or "and " starts.
  // Taken one by one, each would only be copied: no separator, joiner or
  // Chinese character follows it, and no test succeeds at the next. Not
  // when a name end is due after the next token (counts reached at a
  // negative depth). The cursor is left on the last byte of the run, whose
  // stop test has passed, to be taken as a token.
  //
  // Performance-critical (most bytes of an author line go this way);
  // please benchmark any changes.
  void copy_plain_run() {
    if ((separators_ >= 1 && parts_ >= 2) || !is_plain(line_[pos_])) return;
    // Bytes outside `ends` pass without a test.
    const ByteSet& ends = depth_ == 0 ? sets_.run_ends_at_depth_0 : kNotPlain;
    size_t end = pos_;
    while (end + 1 < line_.size() &&
           !(ends.has(line_[end + 1]) &&
             (!is_plain(line_[end + 1]) || stop_word_at(end + 1) ||
              starts_with_folded(line_, end + 1, "and ")))) {
      ++end;
    }
    out_->append(line_, pos_, end - pos_);
    pos_ = end;
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
    } else if (const size_t length = chinese_at(context_.model, line_, pos_)) {
      return take_chinese_character(length);
    } else {
      copy(1);
      if (chinese_at(context_.model, line_, pos_)) ++parts_;
    }
    return Token::kOther;
  }

  Token take_chinese_character(size_t length) {
    copy(length);
    copy_chinese_run();
    if (peek() != ' ' && peek() != ',') ++parts_;
    if (context_.mode != SortMode::kPinyin && starts_with_folded(line_, pos_, kPinyinMacro)) {
      // The explicit reading only matters to the pinyin order; drop it whole.
      const size_t close = line_.find('}', pos_ + kPinyinMacro.size());
      pos_ = close == std::string::npos ? line_.size() : close + 1;
      return Token::kOther;
    }
    return peek() == '.' ? Token::kFullStop : Token::kOther;
  }

  // Copies the Chinese characters that follow the one just taken, each
  // while another Chinese character follows the last taken. Taken one by
  // one, each such character would only count a part and be copied: no
  // separator, joiner, full stop or reading follows it. At depth 0 only
  // while that part ends no name and no stop test succeeds at the next.
  //
  // Performance-critical (most bytes of a Chinese author line go this
  // way); please benchmark any changes.
  void copy_chinese_run() {
    for (;;) {
      const size_t next = chinese_at(context_.model, line_, pos_);
      if (next == 0) return;
      const bool name_end_due = separators_ >= 1 && parts_ + 1 >= 2;
      if (depth_ == 0 && (name_end_due || stop_word_at(pos_))) return;
      ++parts_;
      copy(next);
    }
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
    // The first byte is tested alone first: most tokens are followed by neither.
    if (fold_case(peek()) == 'a' && starts_with_folded(line_, pos_, "and ")) consume_joiner(4);
    if (peek() == '\\' && starts_with_folded(line_, pos_, "\\& ")) consume_joiner(3);
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
  const SplitSets& sets_;
  std::string& line_;
  std::string* out_;
  size_t name_start_;
  size_t pos_ = 0;
  int parts_ = 0;
  int separators_ = 0;
  int depth_ = 0;
  bool group_ = false;
};

bool ends_with_multibyte_character(const CharModel& model, std::string_view text) {
  size_t length = 0;
  for (size_t i = 0; i < text.size(); i += length) length = char_at(model, text, i);
  return length > 1;
}

// The part of a name that its key is made from: without leading blanks,
// commas and "{", and without a closing "}" at its end. A "}" that is the
// second byte of a GBK character belongs to that character and stays.
std::string_view name_body(const CharModel& model, std::string_view name) {
  size_t begin = 0;
  while (begin < name.size() && (is_separator(name[begin]) || name[begin] == '{')) ++begin;
  std::string_view body = name.substr(begin);
  if (body.empty() || body.back() != '}' || ends_with_multibyte_character(model, body)) return body;
  return body.substr(0, body.size() - 1);
}

// Copies text other than a Chinese character into the key (a run of other
// text, or a reading when `after_character`), marking every segment start
// in it that would read as a Chinese character (see kTextMark): the run's
// own start, and the byte after any 0x07 the text holds.
//
// (Readings and runs are a few bytes: a loop costs less than a call to
// search them for 0x07.)
void append_marked_text(std::string_view text, std::string* key, bool after_character) {
  for (size_t begin = 0;;) {
    size_t end = begin;
    while (end < text.size() && text[end] != kSegmentSeparator) ++end;
    const std::string_view piece = text.substr(begin, end - begin);
    const auto* p = reinterpret_cast<const unsigned char*>(piece.data());
    if (!(begin == 0 && after_character) && !piece.empty() &&
        (p[0] == kMarkedLead || (piece.size() >= 2 && starts_key_character(p, false)))) {
      key->push_back(kTextMark);
    }
    key->append(piece);
    if (end == text.size()) return;
    key->push_back(kSegmentSeparator);
    begin = end + 1;
  }
}

// The same for keys of either encoding: GBK keys need no marks.
inline void append_other_text(const CharModel& model, std::string_view text, std::string* key,
                              bool after_character = false) {
  if (model.is_utf8()) {
    append_marked_text(text, key, after_character);
  } else {
    key->append(text);
  }
}

// append_key_character, with the GBK pair that most characters are
// appended in place.
inline void append_character(const CharModel& model, const unsigned char* p, size_t length,
                             std::string* key) {
  if (!model.is_utf8() && length == 2) {
    key->append(reinterpret_cast<const char*>(p), 2);
  } else {
    append_key_character(model, p, length, key);
  }
}

// The name key of `name` for the pinyin order.
//
// Performance-critical (once per name); please benchmark any changes.
void append_pinyin_name_key(const NameReader& reader, std::string_view name, std::string* key) {
  const CharModel& model = reader.model;
  const std::string_view body = name_body(model, name);
  const size_t key_start = key->size();
  bool first_character = true;
  size_t i = 0;
  for (;;) {
    while (i < body.size() && is_separator(body[i])) ++i;
    if (i == body.size()) break;
    const size_t length = chinese_at(model, body, i);
    if (length == 0) {
      const size_t begin = i;
      while (i < body.size() && !chinese_at(model, body, i) && !is_separator(body[i])) ++i;
      append_other_text(model, body.substr(begin, i - begin), key);
    } else {
      const CharacterReading read = read_chinese_character(reader, body, i, length, &first_character);
      append_character(model, bytes_at(body, i), length, key);
      append_other_text(model, read.reading, key, true);
      if (read.second_length != 0) {
        key->push_back(kSegmentSeparator);
        append_character(model, bytes_at(body, i + length), read.second_length, key);
        append_other_text(model, read.second_reading, key, true);
      }
      i += read.consumed;
    }
    key->push_back(kSegmentSeparator);
  }
  // The last separator written closes the name key instead.
  if (key->size() > key_start) key->pop_back();
  key->push_back('\0');
}

// The dictionary of a pinyin run; an empty one when the context has none.
const PinyinDictionary& dictionary_of(const SortKeyContext& context) {
  static const PinyinDictionary kEmpty;
  return context.dictionary ? *context.dictionary : kEmpty;
}

}  // namespace

void append_key_character(const CharModel& model, const unsigned char* p, size_t length,
                          std::string* key) {
  // A GBK character is its own key form.
  if (!model.is_utf8() && length == 2) {
    key->append(reinterpret_cast<const char*>(p), 2);
    return;
  }
  const int code = model.gbk_code(p, length);
  if (code >= 0) {
    key->push_back(static_cast<char>(code >> 8));
    key->push_back(static_cast<char>(code & 0xFF));
    return;
  }
  const char32_t c = model.code_point(p, length);
  key->push_back(static_cast<char>(kMarkedLead));
  key->push_back(static_cast<char>(0x80 | (c >> 14 & 0x7F)));
  key->push_back(static_cast<char>(0x80 | (c >> 7 & 0x7F)));
  key->push_back(static_cast<char>(0x80 | (c & 0x7F)));
}

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
  context.model = CharModel(settings.encoding);
  return context;
}

void split_names(const SortKeyContext& context, std::string_view key_line, std::string* name_list) {
  std::string line;
  NameSplitter(context, split_sets_of(context), key_line, &line, name_list).run();
}

// Performance-critical (once per name); please benchmark any changes.
void plain_name_key(std::string_view name, std::string* key, const CharModel& model) {
  const std::string_view body = name_body(model, name);
  enum class Kind { kNone, kChinese, kOther } previous = Kind::kNone;
  bool after_separator_run = false;
  size_t other_begin = 0;  // start of the run of other text in progress
  size_t i = 0;
  while (i < body.size()) {
    if (is_separator(body[i])) {
      if (previous == Kind::kOther) append_other_text(model, body.substr(other_begin, i - other_begin), key);
      previous = Kind::kNone;
      while (i < body.size() && is_separator(body[i])) ++i;
      if (i == body.size()) break;
      key->push_back(kSegmentSeparator);
      after_separator_run = true;
      continue;
    }
    const size_t chinese = chinese_at(model, body, i);
    const Kind kind = chinese ? Kind::kChinese : Kind::kOther;
    if (previous != Kind::kNone && kind != previous && !after_separator_run) {
      if (previous == Kind::kOther) append_other_text(model, body.substr(other_begin, i - other_begin), key);
      key->push_back(kSegmentSeparator);
    }
    if (kind == Kind::kChinese) {
      append_character(model, bytes_at(body, i), chinese, key);
      i += chinese;
    } else {
      if (kind != previous) other_begin = i;
      ++i;
    }
    previous = kind;
    after_separator_run = false;
  }
  if (previous == Kind::kOther) append_other_text(model, body.substr(other_begin, i - other_begin), key);
  key->push_back('\0');
}

void pinyin_name_key(const PinyinDictionary& dictionary, std::string_view name, std::string* key,
                     const CharModel& model) {
  append_pinyin_name_key(NameReader{&dictionary, nullptr, model}, name, key);
}

SortKeyScratch::SortKeyScratch(const SortKeyContext& context) : split_sets(split_sets_of(context)) {
  if (context.mode == SortMode::kPinyin) build_compound_index(dictionary_of(context), &compounds);
}

void build_sort_key(const SortKeyContext& context, std::string_view key_line, std::string* key,
                    SortKeyScratch* scratch) {
  const NameReader reader{&dictionary_of(context), &scratch->compounds, context.model};
  std::string& names = scratch->names;
  names.clear();
  NameSplitter(context, scratch->split_sets, key_line, &scratch->line, &names).run();
  size_t begin = 0;
  while (begin < names.size() && names[begin] != '\0') {
    const size_t end = names.find('\0', begin);
    const std::string_view name(names.data() + begin, end - begin);
    if (context.mode == SortMode::kPinyin) {
      append_pinyin_name_key(reader, name, key);
    } else {
      plain_name_key(name, key, context.model);
    }
    begin = end + 1;
  }
  key->push_back('\0');
}

void build_sort_key(const SortKeyContext& context, std::string_view key_line, std::string* key) {
  SortKeyScratch scratch(context);
  build_sort_key(context, key_line, key, &scratch);
}

}  // namespace tolvar

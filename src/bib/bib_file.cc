#include "bib/bib_file.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>
#include <string>
#include <unordered_map>

namespace tolvar {
namespace {

bool is_blank(unsigned char c) { return c == ' ' || c == '\t'; }

constexpr std::array<bool, 256> kSpaceBytes = [] {
  std::array<bool, 256> table{};
  for (const char c : std::string_view(" \t\n\r\f\v")) table[static_cast<unsigned char>(c)] = true;
  return table;
}();

// One load: the reader asks this of nearly every byte between tokens.
bool is_space(unsigned char c) { return kSpaceBytes[c]; }

// The bytes BibTeX allows in a name (entry type, field, macro): printing
// ASCII but "#%'(),={} and every byte from 0x80 up.
constexpr std::array<bool, 256> kNameBytes = [] {
  std::array<bool, 256> table{};
  for (int c = 0x21; c < 0x100; ++c) table[c] = c != 0x7F;
  for (const char c : std::string_view("\"#%'(),={}")) table[static_cast<unsigned char>(c)] = false;
  return table;
}();

bool is_name_byte(unsigned char c) { return kNameBytes[c]; }

char ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }

bool equals_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
  }
  return true;
}

// What plain BibTeX styles define the month macros as.
const char* month_name(std::string_view macro) {
  static constexpr const char* kMonths[][2] = {
      {"jan", "January"}, {"feb", "February"}, {"mar", "March"},     {"apr", "April"},
      {"may", "May"},     {"jun", "June"},     {"jul", "July"},      {"aug", "August"},
      {"sep", "September"}, {"oct", "October"}, {"nov", "November"}, {"dec", "December"}};
  for (const auto& month : kMonths) {
    if (macro == month[0]) return month[1];
  }
  return nullptr;
}

// The line of an offset, counted on from the offset asked for before, so
// that asking in file order counts each line end once.
class LineCounter {
 public:
  explicit LineCounter(std::string_view text) : text_(text) {}

  size_t line_at(size_t offset) {
    if (offset >= at_) {
      line_ += count_line_ends(at_, offset);
    } else {
      line_ -= count_line_ends(offset, at_);
    }
    at_ = offset;
    return line_;
  }

 private:
  // memchr: lines are long enough for it to beat a count of every byte.
  size_t count_line_ends(size_t begin, size_t end) const {
    size_t count = 0;
    const char* p = text_.data() + begin;
    const char* const stop = text_.data() + end;
    while (p < stop) {
      p = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(stop - p)));
      if (p == nullptr) break;
      ++count;
      ++p;
    }
    return count;
  }

  std::string_view text_;
  size_t at_ = 0;
  size_t line_ = 1;
};

// Why an entry could not be read: reported at the line of `at`. Reading
// goes on at the first line that starts at or after `resume` and whose
// first non-blank is '@'. `resume` lies past every byte the failed reading
// looked at (the head of an entry that cut a value short aside), so what a
// fault makes of the text never depends on an entry read after it, which
// the keys run may edit. An unclosed @comment is the exception (see
// skip_block).
struct Fault {
  size_t at = 0;
  const char* what = "";
  size_t resume = 0;
};

class BibReader {
 public:
  // `values_of`: the fields whose value is wanted, all when null.
  // Entries go to `on_entry`, or into `entries` when it is null.
  BibReader(std::string_view text, std::vector<BibEntry>* entries, std::vector<BibProblem>* problems,
            const std::vector<std::string_view>* values_of, const std::function<void(const BibEntry&)>* on_entry)
      : text_(text), lines_(text), entries_(entries), problems_(problems), values_of_(values_of),
        on_entry_(on_entry) {}

  void read();

 private:
  // An '@', the type and the open delimiter of an entry.
  struct Head {
    size_t at = 0;
    std::string_view type;
    char close = '}';
    size_t body = 0;  // just after the open delimiter
  };

  bool at_end() const { return pos_ >= text_.size(); }
  unsigned char peek() const { return static_cast<unsigned char>(text_[pos_]); }
  unsigned char byte_at(size_t at) const { return static_cast<unsigned char>(text_[at]); }

  size_t next_line_start(size_t at) const {
    const size_t end = text_.find('\n', at);
    return end == std::string_view::npos ? text_.size() : end + 1;
  }
  bool first_on_line(size_t at) const;
  bool read_head(size_t at, Head* head) const;
  bool entry_starts_at_line(size_t line_start) const;

  void skip_space();
  std::string_view read_name();
  bool fail(size_t at, const char* what) { return fail(at, what, next_line_start(at)); }
  bool fail(size_t at, const char* what, size_t resume) {
    fault_ = {at, what, resume};
    return false;
  }
  bool no_entry_starts_here(const Head& head);

  void read_entry(const Head& head);
  void read_string(const Head& head);
  void skip_block(const Head& head);
  bool read_key(const Head& head, BibEntry* entry);
  bool read_fields(const Head& head, std::vector<BibField>* fields, bool all_values);
  bool wants_value(std::string_view name) const;
  bool read_value(const Head& head, BibField* field, std::string* value);
  bool read_braced(std::string* value);
  bool read_quoted(std::string* value);
  void read_macro(std::string* value);
  void report(std::string_view entry);

  std::string_view text_;
  size_t pos_ = 0;
  LineCounter lines_;
  std::vector<BibEntry>* entries_;
  std::vector<BibProblem>* problems_;
  const std::vector<std::string_view>* values_of_;
  const std::function<void(const BibEntry&)>* on_entry_;
  Fault fault_;
  std::unordered_map<std::string, std::string> macros_;  // by lower-case name
  std::string lower_name_;
  // The fields being read, kept from entry to entry so that an entry's own
  // vector is allocated once, at its size.
  std::vector<BibField> fields_;
};

bool BibReader::first_on_line(size_t at) const {
  while (at > 0 && is_blank(byte_at(at - 1))) --at;
  return at == 0 || text_[at - 1] == '\n';
}

// BibTeX's rule: '@', white space, a name, white space, '{' or '('.
bool BibReader::read_head(size_t at, Head* head) const {
  size_t i = at + 1;
  while (i < text_.size() && is_space(byte_at(i))) ++i;
  const size_t type_begin = i;
  while (i < text_.size() && is_name_byte(byte_at(i)) && text_[i] != '@') ++i;
  if (i == type_begin) return false;
  const size_t type_end = i;
  while (i < text_.size() && is_space(byte_at(i))) ++i;
  if (i == text_.size() || (text_[i] != '{' && text_[i] != '(')) return false;
  head->at = at;
  head->type = text_.substr(type_begin, type_end - type_begin);
  head->close = text_[i] == '{' ? '}' : ')';
  head->body = i + 1;
  return true;
}

bool BibReader::entry_starts_at_line(size_t line_start) const {
  size_t i = line_start;
  while (i < text_.size() && is_blank(byte_at(i))) ++i;
  Head head;
  return i < text_.size() && text_[i] == '@' && read_head(i, &head);
}

// White space, and inside an entry a '%' to the end of its line: no name,
// value or delimiter starts with one.
void BibReader::skip_space() {
  const auto* const bytes = reinterpret_cast<const unsigned char*>(text_.data());
  const size_t size = text_.size();
  size_t at = pos_;
  for (;;) {
    while (at < size && is_space(bytes[at])) ++at;
    if (at == size || bytes[at] != '%') break;
    at = next_line_start(at);
  }
  pos_ = at;
}

std::string_view BibReader::read_name() {
  const size_t begin = pos_;
  while (!at_end() && is_name_byte(peek())) ++pos_;
  return text_.substr(begin, pos_ - begin);
}

// True unless a line that starts an entry stands where this entry still
// needs a token: then its close delimiter was left out, and it fails.
bool BibReader::no_entry_starts_here(const Head& head) {
  if (at_end() || peek() != '@' || !first_on_line(pos_)) return true;
  Head next;
  if (!read_head(pos_, &next)) return true;
  size_t line_start = pos_;
  while (line_start > 0 && text_[line_start - 1] != '\n') --line_start;
  return fail(head.at, "entry not closed", line_start);
}

void BibReader::report(std::string_view entry) {
  problems_->push_back({lines_.line_at(fault_.at), std::string(entry), fault_.what});
  size_t line = fault_.resume;
  if (line > 0 && line < text_.size() && text_[line - 1] != '\n') line = next_line_start(line);
  while (line < text_.size()) {
    size_t i = line;
    while (i < text_.size() && is_blank(byte_at(i))) ++i;
    if (i < text_.size() && text_[i] == '@') {
      pos_ = i;
      return;
    }
    line = next_line_start(i);
  }
  pos_ = text_.size();
}

void BibReader::read() {
  while (pos_ < text_.size()) {
    const size_t at = text_.find_first_of("@%", pos_);
    if (at == std::string_view::npos) break;
    if (text_[at] == '%') {
      pos_ = first_on_line(at) ? next_line_start(at) : at + 1;
      continue;
    }
    Head head;
    if (!read_head(at, &head)) {
      pos_ = at + 1;
      continue;
    }
    pos_ = head.body;
    if (equals_ignoring_case(head.type, "comment") || equals_ignoring_case(head.type, "preamble")) {
      skip_block(head);
    } else if (equals_ignoring_case(head.type, "string")) {
      read_string(head);
    } else {
      read_entry(head);
    }
  }
}

// @comment and @preamble: their delimiters balanced, counted raw. One that
// is never closed hides only itself: reading goes on at the next '@' line
// after its first, since balanced text added to the entries after it
// cannot close it.
void BibReader::skip_block(const Head& head) {
  const char open = head.close == '}' ? '{' : '(';
  int depth = 1;
  for (size_t i = head.body; i < text_.size(); ++i) {
    if (text_[i] == open) {
      ++depth;
    } else if (text_[i] == head.close && --depth == 0) {
      pos_ = i + 1;
      return;
    }
  }
  fail(head.at, open == '{' ? "unbalanced brace" : "unbalanced parenthesis");
  report("");
}

void BibReader::read_string(const Head& head) {
  fields_.clear();
  if (!read_fields(head, &fields_, true)) {
    report("");
    return;
  }
  for (BibField& field : fields_) {
    std::string name(field.name);
    for (char& c : name) c = ascii_lower(c);
    macros_[std::move(name)] = std::move(field.value);
  }
}

void BibReader::read_entry(const Head& head) {
  BibEntry entry;
  entry.type = head.type;
  entry.line = lines_.line_at(head.at);
  entry.close = head.close;
  entry.span.begin = head.at;
  fields_.clear();
  if (!read_key(head, &entry) ||
      (entry.after_key_comma != 0 && !read_fields(head, &fields_, false))) {
    report(entry.citation_key);
    return;
  }
  entry.span.end = pos_;
  if (on_entry_ != nullptr) {
    // The fields lend their room to the entry for the call and keep it.
    entry.fields.swap(fields_);
    (*on_entry_)(entry);
    entry.fields.swap(fields_);
    return;
  }
  entry.fields.assign(std::make_move_iterator(fields_.begin()),
                      std::make_move_iterator(fields_.end()));
  entries_->push_back(std::move(entry));
}

// The citation key runs to the first ',' or the close delimiter; white
// space, '=' or a brace in it means something is missing.
bool BibReader::read_key(const Head& head, BibEntry* entry) {
  skip_space();
  if (!no_entry_starts_here(head)) return false;
  const size_t begin = pos_;
  while (!at_end()) {
    const char c = text_[pos_];
    if (is_space(c) || c == ',' || c == head.close || c == '=' || c == '{' || c == '}') break;
    ++pos_;
  }
  entry->citation_key = text_.substr(begin, pos_ - begin);
  skip_space();
  if (at_end()) return fail(head.at, "end of file inside an entry", text_.size());
  if (!no_entry_starts_here(head)) return false;
  if (text_[pos_] == ',') {
    entry->after_key_comma = ++pos_;
    return true;
  }
  if (text_[pos_] == head.close) {
    ++pos_;
    return true;
  }
  if (text_[pos_] == '=') {
    entry->citation_key = {};  // the name of the first field
    return fail(pos_, "citation key missing");
  }
  return fail(pos_, "\",\" missing after the citation key");
}

bool BibReader::wants_value(std::string_view name) const {
  if (values_of_ == nullptr) return true;
  for (std::string_view wanted : *values_of_) {
    if (equals_ignoring_case(name, wanted)) return true;
  }
  return false;
}

// `name = value` pairs separated by ',', a trailing ',' allowed, up to and
// with the close delimiter.
bool BibReader::read_fields(const Head& head, std::vector<BibField>* fields, bool all_values) {
  for (;;) {
    skip_space();
    if (at_end()) return fail(head.at, "end of file inside an entry", text_.size());
    if (text_[pos_] == head.close) break;
    if (!no_entry_starts_here(head)) return false;
    BibField field;
    field.name_span.begin = pos_;
    field.name = read_name();
    field.name_span.end = pos_;
    if (field.name.empty()) return fail(pos_, "field name missing");
    const bool wanted = all_values || wants_value(field.name);
    // Lines are counted on from one asked for to the next: a caller that
    // wants a few fields spares the count at every other.
    if (wanted) field.line = lines_.line_at(field.name_span.begin);
    skip_space();
    if (at_end()) return fail(head.at, "end of file inside an entry", text_.size());
    if (!no_entry_starts_here(head)) return false;
    if (text_[pos_] != '=') return fail(pos_, "field without \"=\"");
    field.equals_at = pos_++;
    if (!read_value(head, &field, wanted ? &field.value : nullptr)) return false;
    fields->push_back(std::move(field));
    skip_space();
    if (at_end()) return fail(head.at, "end of file inside an entry", text_.size());
    if (text_[pos_] == head.close) break;
    if (text_[pos_] != ',') {
      if (!no_entry_starts_here(head)) return false;
      return fail(pos_, "\",\" missing after a value");
    }
    ++pos_;
  }
  ++pos_;
  return true;
}

// Pieces joined by '#': {braced}, "quoted", a number or a macro name,
// their text appended to *value unless it is null.
bool BibReader::read_value(const Head& head, BibField* field, std::string* value) {
  for (bool first = true;; first = false) {
    skip_space();
    if (at_end()) return fail(head.at, "end of file inside an entry", text_.size());
    if (!no_entry_starts_here(head)) return false;
    const size_t piece = pos_;
    const unsigned char c = peek();
    if (c == '{') {
      if (!read_braced(value)) return false;
    } else if (c == '"') {
      if (!read_quoted(value)) return false;
    } else if (c >= '0' && c <= '9') {
      while (!at_end() && peek() >= '0' && peek() <= '9') ++pos_;
      if (value != nullptr) value->append(text_.substr(piece, pos_ - piece));
    } else if (is_name_byte(c)) {
      read_macro(value);
    } else {
      return fail(pos_, "value missing");
    }
    if (first) {
      field->value_span.begin = piece;
      field->delimiter = c == '{' || c == '"' ? static_cast<char>(c) : 0;
    }
    field->value_span.end = pos_;
    skip_space();
    if (at_end() || peek() != '#') return true;
    ++pos_;
  }
}

// Finds the bytes a scan of a value stops at: '{', '}', a line end, and
// for a quoted value '"'. It looks for each with memchr within the current
// line, keeping what it found, so that every byte is looked at once per
// kind however the stops are spread.
class ValueStops {
 public:
  ValueStops(std::string_view text, bool quoted) : text_(text), quoted_(quoted) {}

  // The first stop at or after `from`, which never goes back; the size of
  // the text when there is none.
  size_t next(size_t from) {
    if (from > line_end_ || !started_) {
      started_ = true;
      line_end_ = find('\n', from, text_.size());
      open_ = find('{', from, line_end_);
      close_ = find('}', from, line_end_);
      quote_ = quoted_ ? find('"', from, line_end_) : line_end_;
    } else {
      if (open_ < from) open_ = find('{', from, line_end_);
      if (close_ < from) close_ = find('}', from, line_end_);
      if (quote_ < from) quote_ = find('"', from, line_end_);
    }
    return std::min(std::min(open_, close_), std::min(quote_, line_end_));
  }

 private:
  size_t find(char c, size_t from, size_t limit) const {
    if (from >= limit) return limit;
    const void* found = std::memchr(text_.data() + from, c, limit - from);
    return found == nullptr ? limit : static_cast<size_t>(static_cast<const char*>(found) - text_.data());
  }

  std::string_view text_;
  bool quoted_;
  bool started_ = false;
  size_t line_end_ = 0;
  size_t open_ = 0;
  size_t close_ = 0;
  size_t quote_ = 0;
};

bool BibReader::read_braced(std::string* value) {
  const size_t open = pos_;
  int depth = 1;
  ValueStops stops(text_, false);
  for (size_t i = stops.next(open + 1); i < text_.size(); i = stops.next(i + 1)) {
    const char c = text_[i];
    if (c == '{') {
      ++depth;
    } else if (c == '}') {
      if (--depth == 0) {
        if (value != nullptr) value->append(text_.substr(open + 1, i - open - 1));
        pos_ = i + 1;
        return true;
      }
    } else if (entry_starts_at_line(i + 1)) {
      return fail(open, "unbalanced brace", i + 1);
    }
  }
  return fail(open, "unbalanced brace", text_.size());
}

// A '"' at brace depth 0 ends the value, whatever stands before it. One
// seen inside braces means the fault is a missing '}', not a missing '"'.
bool BibReader::read_quoted(std::string* value) {
  const size_t open = pos_;
  int depth = 0;
  bool quote_in_braces = false;
  ValueStops stops(text_, true);
  for (size_t i = stops.next(open + 1); i < text_.size(); i = stops.next(i + 1)) {
    const char c = text_[i];
    if (c == '{') {
      ++depth;
    } else if (c == '}') {
      if (depth == 0) return fail(open, "unbalanced brace", i + 1);
      --depth;
    } else if (c == '"') {
      if (depth == 0) {
        if (value != nullptr) value->append(text_.substr(open + 1, i - open - 1));
        pos_ = i + 1;
        return true;
      }
      quote_in_braces = true;
    } else if (entry_starts_at_line(i + 1)) {
      return fail(open, depth > 0 || quote_in_braces ? "unbalanced brace" : "unclosed quote", i + 1);
    }
  }
  return fail(open, depth > 0 || quote_in_braces ? "unbalanced brace" : "unclosed quote",
              text_.size());
}

void BibReader::read_macro(std::string* value) {
  const std::string_view name = read_name();
  if (value == nullptr) return;
  lower_name_.assign(name);
  for (char& c : lower_name_) c = ascii_lower(c);
  const auto defined = macros_.find(lower_name_);
  if (defined != macros_.end()) {
    value->append(defined->second);
  } else if (const char* month = month_name(lower_name_)) {
    value->append(month);
  }
}

}  // namespace

const BibField* BibEntry::field(std::string_view name) const {
  for (const BibField& candidate : fields) {
    if (equals_ignoring_case(candidate.name, name)) return &candidate;
  }
  return nullptr;
}

void read_bib_file(std::string_view text, BibFile* file) {
  file->entries.clear();
  file->problems.clear();
  BibReader(text, &file->entries, &file->problems, nullptr, nullptr).read();
}

void read_bib_entries(std::string_view text, const std::vector<std::string_view>& values_of,
                      const std::function<void(const BibEntry&)>& on_entry, std::vector<BibProblem>* problems) {
  BibReader(text, nullptr, problems, &values_of, &on_entry).read();
}

std::string apply_bib_edits(std::string_view input, const std::vector<BibEdit>& edits) {
  size_t size = input.size();
  for (const BibEdit& edit : edits) size += edit.text.size();
  std::string out;
  out.reserve(size);
  size_t copied = 0;
  for (const BibEdit& edit : edits) {
    const size_t begin = std::clamp(edit.begin, copied, input.size());
    const size_t end = std::clamp(edit.end, begin, input.size());
    out.append(input.substr(copied, begin - copied));
    out.append(edit.text);
    copied = end;
  }
  out.append(input.substr(copied));
  return out;
}

std::vector<std::string_view> split_bib_names(std::string_view value) {
  std::vector<std::string_view> names;
  const auto add = [&](size_t begin, size_t end) {
    while (begin < end && is_space(static_cast<unsigned char>(value[begin]))) ++begin;
    while (end > begin && is_space(static_cast<unsigned char>(value[end - 1]))) --end;
    if (begin < end) names.push_back(value.substr(begin, end - begin));
  };
  const auto lower_at = [&](size_t i) { return ascii_lower(value[i]); };
  int depth = 0;
  size_t name_begin = 0;
  for (size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    if (c == '{') {
      ++depth;
    } else if (c == '}') {
      if (depth > 0) --depth;
    } else if (depth == 0 && i > 0 && i + 3 < value.size() &&
               is_space(static_cast<unsigned char>(value[i - 1])) && lower_at(i) == 'a' &&
               lower_at(i + 1) == 'n' && lower_at(i + 2) == 'd' &&
               is_space(static_cast<unsigned char>(value[i + 3]))) {
      add(name_begin, i);
      name_begin = i + 3;
      i += 2;
    }
  }
  add(name_begin, value.size());
  return names;
}

}  // namespace tolvar

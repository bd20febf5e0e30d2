#include "bib/bib_keys.h"

#include <vector>

#include "bib/bib_file.h"

namespace tolvar {
namespace {

constexpr char fold_case(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }

bool equals_folded(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t k = 0; k < a.size(); ++k) {
    if (fold_case(a[k]) != fold_case(b[k])) return false;
  }
  return true;
}

// The names the key is made of: the authors, or the editors when there is
// no author.
const BibField* name_field(const BibEntry& entry) {
  const BibField* author = entry.field("author");
  if (author != nullptr && !author->value.empty()) return author;
  const BibField* editor = entry.field("editor");
  if (editor != nullptr && !editor->value.empty()) return editor;
  return nullptr;
}

// The syllables of a key written by hand, their letters in lower case
// one after the other: tone digits are dropped, and so is a letter or
// "z" and two letters after a tone digit at a word's end, which tolvar
// adds to keep homophones apart. Empty when the key holds anything but
// ASCII (then it is no reading to check).
std::string letters_of(std::string_view key) {
  std::string letters;
  for (size_t i = 0; i < key.size();) {
    const char c = fold_case(key[i]);
    if (static_cast<unsigned char>(c) >= 0x80) return {};
    if (c < 'a' || c > 'z') {
      ++i;
      continue;
    }
    size_t end = i;
    while (end < key.size() && fold_case(key[end]) >= 'a' && fold_case(key[end]) <= 'z') ++end;
    const bool after_tone = i > 0 && key[i - 1] >= '0' && key[i - 1] <= '9';
    const bool at_word_end = end == key.size() || !(key[end] >= '0' && key[end] <= '9');
    const size_t length = end - i;
    const bool homophone_mark = after_tone && at_word_end && (length == 1 || (length == 3 && c == 'z'));
    if (!homophone_mark) {
      for (size_t k = i; k < end; ++k) letters.push_back(fold_case(key[k]));
    }
    i = end;
  }
  return letters;
}

// Whether a key written by hand reads the names as tolvar does: its
// letters and tolvar's syllables agree as far as the shorter goes, so
// that "Zeng Guofan", "zeng1guo2fan1" or "zeng" all pass and "ceng2 guo2
// fan1" does not.
bool readings_agree(std::string_view existing, std::string_view syllables) {
  const std::string letters = letters_of(existing);
  if (letters.empty() || syllables.empty()) return true;
  const size_t n = std::min(letters.size(), syllables.size());
  return letters.compare(0, n, syllables, 0, n) == 0;
}

// The text between the first field's name and its "=", made to put the
// new field's "=" in the same column when the blanks there align it.
std::string gap_before_equals(std::string_view gap, size_t name_size, size_t new_name_size) {
  // One blank or none is no alignment to copy.
  if (gap.size() <= 1 || gap.find_first_not_of(' ') != std::string_view::npos) return std::string(gap);
  const size_t column = name_size + gap.size();
  return std::string(column > new_name_size ? column - new_name_size : 1, ' ');
}

std::string delimited(char delimiter, const std::string& value) {
  if (delimiter == '"') return '"' + value + '"';
  return '{' + value + '}';
}

bool is_white(std::string_view text) { return text.find_first_not_of(" \t\r\n") == std::string_view::npos; }

// What goes between the new field and the first field: the line end and
// indentation before the first field, or the blanks before it when it is
// on the citation key's line (a comment there is not copied).
std::string_view line_start_of(std::string_view before) {
  const size_t line_end = before.rfind('\n');
  if (line_end == std::string_view::npos) return is_white(before) ? before : " ";
  size_t start = line_end;
  if (start > 0 && before[start - 1] == '\r') --start;
  const std::string_view indented = before.substr(start);
  return is_white(indented) ? indented : "\n";
}

// The new field, laid out as the entry's first field, followed by the line
// start that field has.
std::string new_field_text(std::string_view text, const BibEntry& entry, const std::string& field,
                           const std::string& value) {
  const BibField& first = entry.fields.front();
  const std::string_view gap = text.substr(first.name_span.end, first.equals_at - first.name_span.end);
  std::string_view after_equals = text.substr(first.equals_at + 1, first.value_span.begin - first.equals_at - 1);
  if (after_equals.find_first_of("\r\n") != std::string_view::npos) after_equals = " ";
  const std::string_view before =
      line_start_of(text.substr(entry.after_key_comma, first.name_span.begin - entry.after_key_comma));
  std::string out = field;
  out += gap_before_equals(gap, first.name.size(), field.size());
  out += '=';
  out += after_equals;
  out += delimited(first.delimiter, value);
  out += ',';
  out += before;
  return out;
}

std::string line_prefix(std::string_view file_name, size_t line) {
  return std::string(file_name) + ":" + std::to_string(line) + ": ";
}

// Splices the edits into the output as the entries come, in file order;
// the output is only begun with the first edit.
class Splicer {
 public:
  Splicer(std::string_view input, std::string* out) : input_(input), out_(out) {}

  void replace(size_t begin, size_t end, std::string_view text) {
    if (!started_) {
      out_->clear();
      // The output is the input and its new lines: room for both at once.
      out_->reserve(input_.size() + input_.size() / 8);
      started_ = true;
    }
    out_->append(input_.substr(copied_, begin - copied_));
    out_->append(text);
    copied_ = end;
  }

  bool finish() {
    if (started_) out_->append(input_.substr(copied_));
    return started_;
  }

 private:
  std::string_view input_;
  std::string* out_;
  size_t copied_ = 0;
  bool started_ = false;
};

}  // namespace

void add_bib_keys(const BibKeyContext& context, const BibKeysOptions& options, std::string_view text,
                  std::string_view file_name, BibKeysResult* result, std::string* messages) {
  const bool name_list = equals_folded(options.field, "sortname");
  // The standard biblatex styles read sortname and sortkey with no regard
  // to language: a first word puts the Chinese entries before the others
  // ("0", before every letter) or after them ("zzzz"), as the sort step
  // does. The styles that sort by key group the languages themselves.
  const bool grouped = name_list || equals_folded(options.field, "sortkey");
  const std::string group_word = options.english_first ? "zzzz " : "0 ";
  Splicer splicer(text, &result->text);
  std::string readings_messages;
  std::string syllables;
  const auto key_entry = [&](const BibEntry& entry) {
    const BibField* names_field = name_field(entry);
    if (names_field == nullptr || entry.fields.empty() || entry.after_key_comma == 0) return;
    // The first name starts the value, in either form of a name: the other
    // entries need not be cut into names.
    if (!starts_chinese(context.model, names_field->value)) return;
    const std::vector<BibName> names = bib_names(names_field->value);
    if (names.empty() || !starts_chinese(context.model, names.front())) return;
    const BibField* existing = entry.field(options.field);
    // A key that is there is checked by its syllables.
    const bool check = existing != nullptr && !options.replace && context.mode == SortMode::kPinyin;
    syllables.clear();
    std::string* wanted_syllables = check ? &syllables : nullptr;
    std::string value = name_list ? names_sortname(context, names, wanted_syllables)
                                  : names_key(context, names, wanted_syllables);
    if (value.empty()) return;
    if (grouped) value.insert(name_list ? 1 : 0, group_word);
    if (existing == nullptr) {
      const size_t at = entry.fields.front().name_span.begin;
      splicer.replace(at, at, new_field_text(text, entry, options.field, value));
      ++result->added;
    } else if (options.replace) {
      if (existing->value == value) {
        ++result->kept;
        return;
      }
      const char delimiter = existing->delimiter == '"' ? '"' : '{';
      splicer.replace(existing->value_span.begin, existing->value_span.end, delimited(delimiter, value));
      ++result->replaced;
    } else {
      ++result->kept;
      if (check && !readings_agree(existing->value, syllables)) {
        readings_messages += "tolvar: " + line_prefix(file_name, existing->line) + "the " +
                             std::string(existing->name) + " of " + std::string(entry.citation_key) +
                             " reads \"" + existing->value + "\"; tolvar reads \"" + value + "\"\n";
      }
    }
  };
  std::vector<BibProblem> problems;
  read_bib_entries(text, {"author", "editor", options.field}, key_entry, &problems);
  for (const BibProblem& problem : problems) {
    *messages += "tolvar: " + line_prefix(file_name, problem.line) +
                 (problem.entry.empty() ? "" : "entry " + problem.entry + ": ") + problem.what +
                 "; left as it stands\n";
  }
  *messages += readings_messages;
  result->changed = splicer.finish();
}

}  // namespace tolvar

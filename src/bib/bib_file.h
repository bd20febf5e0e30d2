// The .bib reader and the edit writer: the reader records where each entry
// and field of a .bib file lies, as byte spans of the input, and the writer
// splices edits into the input, so that a change to the user's file leaves
// every other byte as it stands.
#ifndef TOLVAR_BIB_BIB_FILE_H_
#define TOLVAR_BIB_BIB_FILE_H_

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tolvar {

// [begin, end) of the input.
struct BibSpan {
  size_t begin = 0;
  size_t end = 0;
};

struct BibField {
  std::string_view name;  // as written (points into the input)
  BibSpan name_span;
  size_t equals_at = 0;  // offset of its '='
  // The whole value as written: from the first piece to the end of the
  // last, delimiters included ("{..} # x # \"..\"").
  BibSpan value_span;
  char delimiter = '{';  // '{' or '"' of the first piece, 0 for a number or a macro
  // The value's text: the pieces joined, the outer {..} or ".." of each
  // piece removed, @string macros and the month macros jan..dec expanded
  // (an unknown macro gives nothing); inner braces and all other bytes kept
  // as they are.
  std::string value;
  size_t line = 0;  // 1-based line of the name
};

struct BibEntry {
  std::string_view type;          // "book", as written
  std::string_view citation_key;  // as written, white space around it left out
  BibSpan span;                   // '@' to the closing '}' or ')' included
  size_t line = 0;                // line of the '@'
  // Offset just after the ',' that ends the citation key; 0 when the entry
  // has none (`@book{x}`).
  size_t after_key_comma = 0;
  char close = '}';              // '}' or ')'
  std::vector<BibField> fields;  // in file order

  // The first field called `name`, ASCII case ignored; nullptr when absent.
  const BibField* field(std::string_view name) const;
};

// What the reader could not read. `entry` is the citation key, or "" when
// it is not known (and for @string).
struct BibProblem {
  size_t line = 0;
  std::string entry;
  std::string what;
};

struct BibFile {
  // The regular entries in file order (not @string, @comment, @preamble).
  std::vector<BibEntry> entries;
  std::vector<BibProblem> problems;
};

// Reads .bib text (any ASCII-compatible encoding: GBK, UTF-8, invalid
// bytes too; LF or CR LF line ends) into *file, whose entries and problems
// are replaced. The views in *file point into `text`.
//
// Text outside entries is ignored; a line whose first non-blank is '%' is
// a comment there. An '@' starts an entry only when an identifier and then
// '{' or '(' follow it. Inside an entry, a '%' where a name, a value, a
// '#', a ',' or the end is expected runs to the end of its line.
//
// An entry that cannot be read gives a problem and is left out of
// `entries`; reading goes on at the next line that starts with '@' (after
// blanks) past what was read of it. While a value's brace or quote is
// open, such a line that starts an entry ends it as "unbalanced brace", so
// that one missing brace costs one entry. The problems: "unbalanced brace",
// "unclosed quote", "unbalanced parenthesis" (@comment or @preamble in
// parentheses), "field without \"=\"", "value missing", "field name
// missing", "\",\" missing after a value", "citation key missing",
// "\",\" missing after the citation key", "entry not closed" (a line that
// starts an entry came first) and "end of file inside an entry". The line
// is that of the fault; for an unclosed brace or quote that of the value,
// for the last two that of the entry's '@'.
//
// This function is performance-critical; please benchmark any changes.
void read_bib_file(std::string_view text, BibFile* file);

// Reads as read_bib_file does, but hands each entry to `on_entry` as it is
// read, in file order, instead of keeping them all (the entry and its views
// are valid during the call only), and fills in `value` and `line` only
// for the fields named in `values_of` (ASCII case ignored; @string
// definitions always): a caller that needs a few values of each entry
// spares the memory and the copies of all the others. Problems go to
// *problems.
//
// This function is performance-critical; please benchmark any changes.
void read_bib_entries(std::string_view text, const std::vector<std::string_view>& values_of,
                      const std::function<void(const BibEntry&)>& on_entry, std::vector<BibProblem>* problems);

// Replaces [begin, end) of the input by `text`; begin == end inserts.
struct BibEdit {
  size_t begin = 0;
  size_t end = 0;
  std::string text;
};

// The input with the edits spliced in. The edits are sorted by begin and do
// not overlap; two insertions at one offset go in in their order. (An edit
// that starts before the end of the one before it is moved to that end, and
// one past the input is cut at its end.)
std::string apply_bib_edits(std::string_view input, const std::vector<BibEdit>& edits);

// The names of a name-list value (author, editor, already expanded): it is
// split at each word "and" (ASCII case ignored) that stands between white
// space at brace depth 0; each name is trimmed of the white space around
// it; empty names are dropped. The views point into `value`.
std::vector<std::string_view> split_bib_names(std::string_view value);

}  // namespace tolvar

#endif  // TOLVAR_BIB_BIB_FILE_H_

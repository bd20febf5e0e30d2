#include "convert/author_list.h"

#include <string_view>

#include "convert/cjk_output.h"
#include "convert/tex_reader.h"

namespace tolvar {
namespace {

int fold_letter(int c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; }

// Characters read ahead while they could still belong to a keyword.
struct LookAhead {
  int chars[5];
  int count = 0;
  bool stopped_in_set = false;  // the limit was reached, not a stranger
};

bool in_look_ahead_set(std::string_view set, int c) {
  if (c <= 0 || c >= 0x80) return false;
  // A loop: the sets are a few bytes long, shorter than a call to memchr.
  const char folded = static_cast<char>(fold_letter(c));
  for (char member : set) {
    if (member == folded) return true;
  }
  return false;
}

// Reads at most `limit` characters while they are members of `set`.
// Returns false when the reader met an incomplete caret sequence.
bool look_ahead(ConvertState& state, std::string_view set, int limit, LookAhead* ahead) {
  while (ahead->count < limit) {
    const int c = read_tex_char(state);
    if (c == -1) return false;
    ahead->chars[ahead->count++] = c;
    if (!in_look_ahead_set(set, c)) return true;
  }
  ahead->stopped_in_set = true;
  return true;
}

// True when the characters read are exactly `pattern`; letters compare
// without regard to case, and a '?' in the pattern stands for "~" or a blank.
bool look_ahead_matches(const LookAhead& ahead, std::string_view pattern) {
  if (!ahead.stopped_in_set || ahead.count != static_cast<int>(pattern.size())) return false;
  for (int i = 0; i < ahead.count; ++i) {
    const int c = fold_letter(ahead.chars[i]);
    const char want = pattern[i];
    if (want == '?' ? (c != '~' && c != ' ') : c != want) return false;
  }
  return true;
}

// A failed attempt writes back what it read; a last character outside the
// set is handed back to the scan instead.
int reemit_look_ahead(ConvertState& state, const LookAhead& ahead) {
  const int written = ahead.stopped_in_set ? ahead.count : ahead.count - 1;
  for (int i = 0; i < written; ++i) *state.out += static_cast<char>(ahead.chars[i]);
  return ahead.stopped_in_set ? -1 : ahead.chars[ahead.count - 1];
}

bool use_label_forms(const ConvertState& state) {
  return state.entry_state == EntryState::label && !state.settings->cjk &&
         !state.model.is_utf8();
}

void write_and(ConvertState& state) {
  const KeywordStrings& words = state.settings->words;
  *state.out += use_label_forms(state) ? words.and_label : words.and_;
}

void write_etal(ConvertState& state) {
  const KeywordStrings& words = state.settings->words;
  *state.out += use_label_forms(state) ? words.etal_label : words.etal;
}

// One "and" or "et al." attempt started by `first`, the letter after the
// blanks.
int try_keyword(ConvertState& state, int first, std::string_view set,
                std::string_view pattern, void (*write_keyword)(ConvertState&)) {
  state.chinese_seen = false;
  LookAhead ahead;
  if (!look_ahead(state, set, static_cast<int>(pattern.size()), &ahead)) return -1;
  if (look_ahead_matches(ahead, pattern)) {
    write_keyword(state);
    state.chinese_seen = true;
    return read_tex_char_skip_spaces(state);
  }
  *state.out += static_cast<char>(first);
  return reemit_look_ahead(state, ahead);
}

// True when the ", and" look-ahead read one or more blanks and stopped on
// an "e": the start of ", et al.", which styles write after the last name
// of a long list.
bool stopped_on_e_after_blanks(const LookAhead& ahead) {
  if (ahead.stopped_in_set || ahead.count < 2) return false;
  for (int i = 0; i < ahead.count - 1; ++i) {
    if (ahead.chars[i] != ' ') return false;
  }
  return fold_letter(ahead.chars[ahead.count - 1]) == 'e';
}

// After ", e": reads on for "t al." or "t~al.". When they are not there,
// everything goes back as it was before the attempt (cursor, messages), so
// the scan meets those characters as if the attempt had never been made.
bool etal_after_comma(ConvertState& state) {
  const unsigned char* const cursor = state.cursor;
  const unsigned char* const read_start = state.read_start;
  const size_t message_size = state.messages != nullptr ? state.messages->size() : 0;
  LookAhead ahead;
  if (look_ahead(state, "t~ al.", 5, &ahead) && look_ahead_matches(ahead, "t?al.")) return true;
  state.cursor = cursor;
  state.read_start = read_start;
  if (state.messages != nullptr) state.messages->resize(message_size);
  return false;
}

// True when `text` begins with `word`, a lower-case keyword; letters
// compare without regard to case, "~", "." and the rest exactly.
bool begins_with_keyword(std::string_view text, std::string_view word) {
  if (text.size() < word.size()) return false;
  for (size_t i = 0; i < word.size(); ++i) {
    if (fold_letter(static_cast<unsigned char>(text[i])) != word[i]) return false;
  }
  return true;
}

// A word ends at a blank or the line end ("and", not "Anderson").
bool word_ends_at(std::string_view text, size_t at) {
  return at == text.size() || text[at] == ' ' || text[at] == '\n' || text[at] == '\r';
}

size_t skip_blanks(std::string_view text, size_t at) {
  while (at < text.size() && text[at] == ' ') ++at;
  return at;
}

// The author-list keyword that opens a line, after its leading blanks.
struct OpeningKeyword {
  size_t length = 0;  // the keyword and the blanks after it; 0: none
  bool is_etal = false;
};

OpeningKeyword find_opening_keyword(std::string_view line, bool after_comma) {
  const std::string_view text = line.substr(skip_blanks(line, 0));
  size_t word = 0;
  bool is_etal = false;
  if (begins_with_keyword(text, "and") && word_ends_at(text, 3)) {
    word = 3;
  } else if (!after_comma && text.starts_with("\\&") && word_ends_at(text, 2)) {
    word = 2;
  } else if (begins_with_keyword(text, "et al.") || begins_with_keyword(text, "et~al.")) {
    word = 6;
    is_etal = true;
  }
  if (word == 0) return {};
  return {skip_blanks(text, word), is_etal};
}

// True when the bytes from `at` are the line's final line end, after which
// the next line begins.
bool is_final_line_end(const ConvertState& state, const unsigned char* at) {
  const std::string_view rest(reinterpret_cast<const char*>(at),
                              static_cast<size_t>(state.line_limit - at));
  return rest == "\n" || rest == "\r\n";
}

}  // namespace

bool replace_keyword_opening_next_line(ConvertState& state, bool after_comma) {
  if (state.next_line.empty() || state.next_line_drop != 0) return false;
  // A line end right after a backslash is a control space, not the blank
  // before a keyword.
  if (ends_in_open_backslash(state)) return false;
  const unsigned char* line_end = state.cursor;
  while (*line_end == ' ') ++line_end;
  if (!is_final_line_end(state, line_end)) return false;
  const OpeningKeyword keyword = find_opening_keyword(state.next_line, after_comma);
  if (keyword.length == 0) return false;
  if (keyword.is_etal) {
    write_etal(state);
  } else {
    write_and(state);
  }
  state.chinese_seen = true;
  state.cursor = line_end;
  state.next_line_drop = keyword.length;
  return true;
}

int handle_author_space(ConvertState& state) {
  state.in_control_word = false;
  const int first = read_tex_char_skip_spaces(state);
  if (first == -1) return -1;
  if (first == '\\') {
    const int next = read_tex_char(state);
    if (next == -1) return -1;
    if (next == '&') {
      write_and(state);
      return read_tex_char_skip_spaces(state);
    }
    write_backslash(state);
    return next;
  }
  if (first == 'a' || first == 'A') return try_keyword(state, first, "nd", "nd", write_and);
  if (first == 'e' || first == 'E') {
    return try_keyword(state, first, "t~ al.", "t?al.", write_etal);
  }
  // The line break stands for the blank before a keyword on the next line.
  if ((first == '\n' || first == '\r') && replace_keyword_opening_next_line(state, false)) {
    return first;
  }
  *state.out += '~';
  return first;
}

int handle_author_comma(ConvertState& state) {
  state.in_control_word = false;
  state.chinese_seen = false;
  // ",\n  and" is ", and" with the blank turned into a line break.
  if (replace_keyword_opening_next_line(state, true)) return read_tex_char(state);
  LookAhead ahead;
  if (!look_ahead(state, " and", 4, &ahead)) return -1;
  if (look_ahead_matches(ahead, " and")) {
    write_and(state);
    state.chinese_seen = true;
    return read_tex_char_skip_spaces(state);
  }
  if (stopped_on_e_after_blanks(ahead) && etal_after_comma(state)) {
    // The comma and the blanks go, as they do before "and".
    write_etal(state);
    state.chinese_seen = true;
    return read_tex_char_skip_spaces(state);
  }
  *state.out += ',';
  return reemit_look_ahead(state, ahead);
}

}  // namespace tolvar

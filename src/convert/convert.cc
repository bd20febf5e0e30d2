#include "convert/convert.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <cstring>
#include <string_view>
#include <utility>

#include "convert/author_list.h"
#include "convert/cjk_output.h"
#include "convert/convert_state.h"
#include "convert/tex_reader.h"

namespace tolvar {
namespace {

constexpr std::string_view kBibitem = "\\bibitem";
constexpr std::string_view kNewblock = "\\newblock";
constexpr std::string_view kDitor = "ditor";

void write_bytes(ConvertState& state, const unsigned char* from, const unsigned char* to) {
  state.out->append(from, to - from);
}

// Writes text that the scan did not read (what follows a label, or the
// rest of a line after a broken caret sequence), keeping track of whether
// it ends in a backslash that opens a control sequence.
void write_raw_text(ConvertState& state, const unsigned char* from, const unsigned char* to) {
  if (from == to) return;
  const bool was_open = ends_in_open_backslash(state);
  const unsigned char* first_backslash = to;
  while (first_backslash != from && first_backslash[-1] == '\\') --first_backslash;
  const std::size_t backslashes = static_cast<std::size_t>(to - first_backslash);
  // Backslashes pair up from the first; one that follows an opening
  // backslash closes it.
  const bool opens = (backslashes % 2 == 1) != (first_backslash == from && was_open);
  write_bytes(state, from, to);
  if (backslashes != 0) {
    state.open_backslash_end = opens ? state.out->size() : ConvertState::kNoOpenBackslash;
  }
}

// The rest of the line's text, from the cursor to its first NUL.
std::string_view rest_of_line(const ConvertState& state) {
  return {reinterpret_cast<const char*>(state.cursor),
          static_cast<size_t>(state.line_end - state.cursor)};
}

// The first backslash from `from` up to `to`, or `to`.
const unsigned char* find_backslash(ConvertState& state, const unsigned char* from,
                                    const unsigned char* to) {
  const auto* input_start = reinterpret_cast<const unsigned char*>(state.input.data());
  const unsigned char* input_end = input_start + state.input.size();
  // The last line may be a copy outside the input.
  if (from < input_start || from >= input_end) {
    const void* found = std::memchr(from, '\\', static_cast<size_t>(to - from));
    return found != nullptr ? static_cast<const unsigned char*>(found) : to;
  }
  if (from < state.backslash_from || from > state.next_backslash) {
    const void* found = std::memchr(from, '\\', static_cast<size_t>(input_end - from));
    state.backslash_from = from;
    state.next_backslash = found != nullptr ? static_cast<const unsigned char*>(found) : input_end;
  }
  return std::min(state.next_backslash, to);
}

// Finds the first "\bibitem" and, when there is none, the first
// "\newblock" in the rest of the line, in one pass over its backslashes.
void find_entry_commands(ConvertState& state, const unsigned char** bibitem,
                         const unsigned char** newblock) {
  *bibitem = nullptr;
  *newblock = nullptr;
  const unsigned char* const end = state.line_end;
  for (const unsigned char* at = find_backslash(state, state.cursor, end); at != end;
       at = find_backslash(state, at + 1, end)) {
    const std::string_view here(reinterpret_cast<const char*>(at), static_cast<size_t>(end - at));
    // Most backslashes start neither command.
    if (here.size() < kBibitem.size() || (here[1] != 'b' && here[1] != 'n')) continue;
    if (here.starts_with(kBibitem)) {
      *bibitem = at;
      return;
    }
    if (*newblock == nullptr && here.starts_with(kNewblock)) *newblock = at;
  }
}

// A replaced string's final blank may also be a line end, which BibTeX
// puts where it breaks a long line ("pages" at the end of one line, the
// numbers on the next). Not so for a string that is nothing but that blank.
bool blank_may_be_line_end(std::string_view replaced) {
  return replaced.size() >= 2 && replaced.back() == ' ';
}

// How many bytes at the start of `rest` hold `text`, as they stand, or -1. With
// `may_end_at_line_end`, a line end may stand for the final blank of
// `text`; it is not counted then, so that it stays in the line.
std::ptrdiff_t match_in(std::string_view rest, std::string_view text, bool may_end_at_line_end) {
  if (rest.starts_with(text)) return static_cast<std::ptrdiff_t>(text.size());
  if (!may_end_at_line_end || text.empty() || text.back() != ' ') return -1;
  const std::string_view before_blank = text.substr(0, text.size() - 1);
  if (rest.size() <= before_blank.size() || !rest.starts_with(before_blank)) return -1;
  const char line_end = rest[before_blank.size()];
  return line_end == '\n' || line_end == '\r' ? static_cast<std::ptrdiff_t>(before_blank.size())
                                                : -1;
}

std::ptrdiff_t match_at_cursor(const ConvertState& state, std::string_view text,
                               bool may_end_at_line_end) {
  return match_in(rest_of_line(state), text, may_end_at_line_end);
}

// The whole of `text` at the cursor, at the start of a scanned line.
// Returns how many bytes it takes there, or -1; empty text never matches.
std::ptrdiff_t match_line_start(const ConvertState& state, std::string_view text) {
  if (text.empty()) return -1;
  return match_at_cursor(state, text, blank_may_be_line_end(text));
}

// `c`, just read, matches the replaced string `from` when it is its first
// byte and the bytes at the cursor are the rest of it, as they stand.
// Returns how many bytes at the cursor belong to the match, or -1. An
// empty replaced string never matches.
std::ptrdiff_t match_length(const ConvertState& state, int c, const std::string& from) {
  if (from.empty() || c != static_cast<unsigned char>(from[0])) return -1;
  return match_at_cursor(state, std::string_view(from).substr(1), blank_may_be_line_end(from));
}

// Writes `to` in place of the replaced string `from` when `c` and the
// bytes at the cursor match it.
bool replace_if_matched(ConvertState& state, int c, const std::string& from,
                        const std::string& to) {
  const std::ptrdiff_t length = match_length(state, c, from);
  if (length == -1) return false;
  *state.out += to;
  state.cursor += length;
  return true;
}

// The replaced strings that the scan matches inside a line.
std::array<const std::string*, 7> replaced_strings(const KeywordStrings& words) {
  return {&words.pages_from,   &words.chapter_from,  &words.edition_from, &words.editors_from,
          &words.editor_from,  &words.editors2_from, &words.editor2_from};
}

// Each replaced string may need a row of its own in pair_stops.
static_assert(sizeof(ConvertState::pair_stops) ==
              (2 + std::tuple_size_v<decltype(replaced_strings(std::declval<const KeywordStrings&>()))>) * 256);

bool is_stop_or_line_end(const ConvertState& state, int c) {
  return c == state.stop_char || c == '\n' || c == '\r';
}

// Step 1 of the scan: "In " or "edition" at the start of a second-block
// line. Returns true when one was replaced.
bool replace_at_block_line_start(ConvertState& state) {
  const KeywordStrings& words = state.settings->words;
  const std::ptrdiff_t in_length = match_line_start(state, words.in_from);
  if (in_length != -1) {
    *state.out += words.in;
    state.cursor += in_length;
    state.editor_phrase = true;
    return true;
  }
  const std::string_view edition = words.edition_from;
  if (edition.size() >= 2 && edition[0] == ' ' && !state.line_starts_after_control_space) {
    const std::ptrdiff_t edition_length = match_line_start(state, edition.substr(1));
    if (edition_length != -1) {
      *state.out += words.edition;
      state.cursor += edition_length;
      return true;
    }
  }
  return false;
}

// Steps 3 to 6: the keyword replacements of the current state for `c`.
// Returns true when `c` and the rest of a phrase have been replaced.
bool replace_keywords(ConvertState& state, int c) {
  const KeywordStrings& words = state.settings->words;
  const EntryState entry = state.entry_state;
  // A control space "\ " is never the start of a replaced string.
  const bool may_match = state.starts_replaced[c] && !(c == ' ' && ends_in_open_backslash(state));
  if (may_match && (entry == EntryState::first_block || entry == EntryState::second_block)) {
    if (replace_if_matched(state, c, words.pages_from, words.pages) ||
        replace_if_matched(state, c, words.chapter_from, words.chapter)) {
      return true;
    }
  }
  if (state.last_ditor != nullptr && state.last_ditor >= state.cursor) state.editor_phrase = true;
  if (entry == EntryState::second_block) {
    if (c == '{') {
      state.editor_phrase = false;
    } else if (state.editor_phrase && may_match &&
               (replace_if_matched(state, c, words.editors2_from, words.editors2) ||
                replace_if_matched(state, c, words.editor2_from, words.editors2))) {
      state.editor_phrase = false;
      return true;
    }
    if (may_match && replace_if_matched(state, c, words.edition_from, words.edition)) return true;
  }
  // The longer phrase first, so ", editors" never loses only its "s".
  if (may_match && entry == EntryState::authors &&
      (replace_if_matched(state, c, words.editors_from, words.editors) ||
       replace_if_matched(state, c, words.editor_from, words.editors))) {
    return true;
  }
  return false;
}

bool in_author_list(EntryState entry_state, bool editor_phrase) {
  return entry_state == EntryState::label || entry_state == EntryState::authors ||
         (entry_state == EntryState::second_block && editor_phrase);
}

bool in_author_list(const ConvertState& state) {
  return in_author_list(state.entry_state, state.editor_phrase);
}

enum class AuthorListStep {
  not_handled,  // the current character is output as it is
  finished,     // the handler has dealt with everything it read
  handed_back,  // state.current holds the next character, already read
};

// Step 7: hands a blank or comma after Chinese text to the author-list
// handlers.
AuthorListStep handle_author_list(ConvertState& state) {
  const int c = state.current;
  if (!state.chinese_seen || !in_author_list(state)) return AuthorListStep::not_handled;
  int next;
  if (c == ' ') {
    // A blank right after a backslash is TeX's control space "\ ".
    if (ends_in_open_backslash(state)) return AuthorListStep::not_handled;
    next = handle_author_space(state);
  } else if (c == ',') {
    next = handle_author_comma(state);
  } else {
    return AuthorListStep::not_handled;
  }
  if (next == -1) return AuthorListStep::finished;
  state.current = next;
  return AuthorListStep::handed_back;
}

// The length of the character at `at` when it can be copied as it stands
// in a plain run, and 0 otherwise (a GBK pair whose trail byte TeX or the
// label scan treats specially, a byte that starts no valid character).
// Updates *chinese as writing it would.
int plain_multibyte_length(const ConvertState& state, const unsigned char* at, bool* chinese) {
  if (!state.model.is_utf8()) {
    const unsigned char trail = at[1];
    if (!is_gbk_lead(at[0]) || !is_gbk_trail(trail) || is_tex_special_trail(trail) ||
        trail == state.stop_char) {
      return 0;
    }
    *chinese = true;
    return 2;
  }
  const int length = state.model.expected_length(at[0]);
  if (length == 1) return 0;
  for (int k = 1; k < length; ++k) {
    if (!state.model.is_continuation(at[0], k, at[k])) return 0;
  }
  const char32_t c = state.model.code_point(at, static_cast<std::size_t>(length));
  // A letter's effect depends on the control-word flag: it takes the
  // one-character road.
  if (is_non_ascii_letter(c)) return 0;
  if (CharModel::is_chinese_code_point(c)) *chinese = true;
  return length;
}

// Whether a replaced string starts at `at`, whatever the state: a byte
// that starts none is written as it stands. The pair at `at` is marked in
// pair_stops (see replaced_string_starts_at).
bool matches_replaced_string_at(const ConvertState& state, const unsigned char* at) {
  // Most pairs that pass end there: ", " before a name, " e" before a word.
  if (state.line_end - at > 2 && !state.third_bytes[*at][at[2]]) return false;
  const std::string_view rest(reinterpret_cast<const char*>(at) + 1,
                              static_cast<size_t>(state.line_end - at - 1));
  for (const std::string* from : replaced_strings(state.settings->words)) {
    if (from->empty() || static_cast<unsigned char>((*from)[0]) != *at) continue;
    if (match_in(rest, std::string_view(*from).substr(1), blank_may_be_line_end(*from)) != -1) {
      return true;
    }
  }
  return false;
}

// Whether the pair of bytes at `at` stops a skip over plain ASCII. The
// byte after a line end is readable: the next line's, or padding after
// the last line.
inline bool pair_stops_skip(const ConvertState& state, const unsigned char* at) {
  return state.pair_stops[state.pair_rows[at[0]] + at[1]] != 0;
}

// The same for a printable ASCII byte at `at`; most fail the one lookup
// of the pair.
inline bool replaced_string_starts_at(const ConvertState& state, const unsigned char* at) {
  return pair_stops_skip(state, at) && matches_replaced_string_at(state, at);
}

// Skips printable ASCII from `at` up to a byte that a run cannot take as
// it stands or where a replaced string starts. Outside Chinese text and
// control words no flag changes on such bytes.
const unsigned char* skip_ascii_text(const ConvertState& state, const unsigned char* at) {
  for (;; ++at) {
    if (!pair_stops_skip(state, at)) continue;
    if (!(state.run_bytes[*at] & ConvertState::kRunAscii) || matches_replaced_string_at(state, at)) {
      return at;
    }
  }
}

// Whether the GBK character at `at`, inside a label, takes the road of a
// raw pair read one byte at a time: a lead byte and a trail byte that is
// neither a caret nor the label's closing "]".
bool is_plain_label_pair(const ConvertState& state, const unsigned char* at) {
  const unsigned char trail = at[1];
  return is_gbk_lead(at[0]) && is_gbk_trail(trail) && trail != '^' && trail != state.stop_char;
}

// Plain ASCII bytes, and GBK pairs where characters are copied raw (or,
// inside a label, take the label form), take the same road through the
// scan one by one: no keyword starts with them, the author-list handlers
// ignore them, and they are written unchanged. A run of them is scanned in
// one go. Returns false when there is none.
//
// This function is performance-critical; please benchmark any changes.
bool scan_plain_run(ConvertState& state, bool converts_label) {
  const unsigned char* const start = state.cursor;
  const unsigned char* next = start;
  // The bytes before it are written.
  const unsigned char* copied = start;
  // "ditor" ahead of any character of the run is ahead of its first.
  const bool editor_phrase =
      state.editor_phrase || (state.last_ditor != nullptr && state.last_ditor > start);
  const std::uint8_t taken =
      in_author_list(state.entry_state, editor_phrase) ? ConvertState::kRunTakenInAuthorList : 0;
  bool chinese = state.chinese_seen;
  bool control = state.in_control_word;
  int last = 0;
  for (;;) {
    if (!chinese && !control) {
      const unsigned char* const from = next;
      next = skip_ascii_text(state, next);
      if (next != from) last = next[-1];
    }
    const unsigned char c = *next;
    const std::uint8_t kind = state.run_bytes[c];
    if (kind & ConvertState::kRunAscii) {
      if ((chinese && (kind & taken)) || replaced_string_starts_at(state, next)) break;
      // A letter ends Chinese text unless it names a control word; any
      // other byte ends the control word.
      const bool letter = kind & ConvertState::kRunLetter;
      chinese = chinese && (control || !letter);
      control = control && letter;
      last = c;
      ++next;
    } else if (c >= 0x80 && !state.starts_replaced[c]) {
      if (converts_label) {
        if (!is_plain_label_pair(state, next)) break;
        state.out->append(copied, next - copied);
        write_label_cjk_char(state, c, next[1]);
        chinese = true;
        next += 2;
        copied = next;
      } else {
        const int length = plain_multibyte_length(state, next, &chinese);
        if (length == 0) break;
        next += length;
      }
      last = c;
    } else {
      break;
    }
  }
  if (next == start) return false;
  state.editor_phrase = editor_phrase;
  state.chinese_seen = chinese;
  state.in_control_word = control;
  state.out->append(copied, next - copied);
  state.cursor = next;
  state.read_start = next - 1;
  state.current = last;
  // A raw line end or stop character after the run writes nothing and
  // ends the scan: it is read here as the scan would read it.
  const unsigned char after = *next;
  if ((after == '\n' || after == '\r' || (after == state.stop_char && after != 0)) &&
      !state.starts_replaced[after]) {
    state.read_start = next;
    state.current = after;
  }
  return true;
}

// Reads one character of the scan and writes it, or the phrase it starts.
// Returns false when the reader met an incomplete caret sequence, which
// ends the scan.
bool scan_char(ConvertState& state, bool converts_label) {
  if (state.entry_state == EntryState::second_block && state.cursor == state.scan_start) {
    if (replace_at_block_line_start(state)) return true;
  } else if (state.use_plain_runs && scan_plain_run(state, converts_label)) {
    return true;
  }
  const int c = read_tex_char(state);
  if (c == -1) {
    // The rest of the line is copied as it stands, carets included (a
    // superscript in a formula must survive).
    state.cursor = state.read_start;
    return false;
  }
  state.current = c;
  // A character that a handler has read past a keyword ("王五 et~al.,
  // editors") may start the next one, so it goes through the same steps as
  // one read here.
  for (;;) {
    if (replace_keywords(state, state.current)) return true;
    const AuthorListStep step = handle_author_list(state);
    if (step == AuthorListStep::finished) return true;
    if (step == AuthorListStep::not_handled) break;
  }
  if (is_plain_byte(state, state.current)) {
    write_single_byte(state, static_cast<unsigned char>(state.current));
  } else if (converts_label) {
    convert_label_char(state);
  } else {
    copy_char(state);
  }
  return true;
}

// Reads and writes the line from the cursor up to the stop character or
// the line end, applying the current state's rules.
//
// This function is performance-critical; please benchmark any changes.
void scan_line(ConvertState& state) {
  state.scan_start = state.cursor;
  state.current = *state.cursor;
  if (state.current == 0) return;
  const bool converts_label = state.entry_state == EntryState::label && !state.settings->cjk &&
                              !state.model.is_utf8();
  while (!is_stop_or_line_end(state, state.current)) {
    if (!scan_char(state, converts_label) || state.current == 0) return;
  }
}

// Whether `c`, just read, starts a Chinese character: in GBK any lead
// byte; in UTF-8 a whole character that is Chinese.
bool starts_chinese_char(ConvertState& state, int c) {
  if (!state.model.is_utf8()) return is_gbk_lead(c);
  if (!state.model.is_lead(static_cast<unsigned char>(c))) return false;
  unsigned char bytes[4] = {static_cast<unsigned char>(c)};
  int breaking;
  const int length = read_utf8_rest(state, bytes, &breaking);
  return length > 0 && state.model.is_chinese(bytes, static_cast<std::size_t>(length));
}

// A first-block line decides, by its first GBK character, whether the
// entry is Chinese. The cursor is left where it was.
void pre_scan_first_block(ConvertState& state) {
  // ASCII other than a caret is never Chinese and reads as itself.
  static constexpr std::array<bool, 256> kSkipped = [] {
    std::array<bool, 256> skipped{};
    for (int c = 1; c < 0x80; ++c) skipped[c] = c != '^' && c != '\n' && c != '\r';
    return skipped;
  }();
  const unsigned char* start = state.cursor;
  while (kSkipped[*state.cursor]) ++state.cursor;
  while (*state.cursor != 0 && *state.cursor != '\n' && *state.cursor != '\r') {
    const int c = read_tex_char(state);
    if (c == -1) break;
    if (starts_chinese_char(state, c)) {
      state.entry_is_chinese = true;
      break;
    }
  }
  state.cursor = start;
}

void end_line(ConvertState& state) {
  if ((state.entry_state == EntryState::label && state.current == ']') ||
      state.entry_state == EntryState::key) {
    state.entry_state = EntryState::authors;
  }
  const unsigned char* text_end = state.cursor;
  while (*text_end != 0 && *text_end != '\n' && *text_end != '\r') ++text_end;
  write_raw_text(state, state.cursor, text_end);
  // A backslash right before the line end makes the line end TeX's control
  // space; a "%" there would turn it into "\%", a percent sign.
  const bool ends_in_control_space = ends_in_open_backslash(state);
  state.line_ended_in_control_space = ends_in_control_space && *text_end != 0;
  if (*text_end != 0 && state.chinese_seen && !ends_in_control_space &&
      (state.entry_state == EntryState::label || state.entry_state == EntryState::second_block)) {
    *state.out += '%';
  }
  // The line end, and whatever follows a NUL byte inside the line.
  write_bytes(state, text_end, state.line_limit);
}

void copy_rest_of_line(ConvertState& state) { write_bytes(state, state.cursor, state.line_limit); }

// Writes "\bibitem" and what follows it up to the label's "[".
void start_entry(ConvertState& state, const unsigned char* bibitem) {
  state.entry_state = EntryState::label;
  state.entry_is_chinese = false;
  write_bytes(state, state.cursor, bibitem + kBibitem.size());
  state.cursor = bibitem + kBibitem.size();
  while (state.cursor != state.line_end && *state.cursor != '[') {
    if (*state.cursor == '{') state.entry_state = EntryState::key;
    *state.out += static_cast<char>(*state.cursor++);
  }
}

void start_block(ConvertState& state, const unsigned char* newblock) {
  const unsigned char* from = state.cursor;
  state.cursor = newblock + kNewblock.size();
  while (*state.cursor == ' ') ++state.cursor;
  write_bytes(state, from, state.cursor);
  switch (state.entry_state) {
    case EntryState::label:
    case EntryState::authors:
      state.entry_state = EntryState::first_block;
      break;
    case EntryState::first_block:
      state.entry_state = EntryState::second_block;
      break;
    default:
      state.entry_state = EntryState::later_blocks;
      break;
  }
  state.editor_phrase = false;
}

// Where the last "ditor" of the line starts, or null.
const unsigned char* find_last_ditor(const ConvertState& state) {
  const std::string_view text(reinterpret_cast<const char*>(state.line_start),
                              state.line_end - state.line_start);
  size_t last = std::string_view::npos;
  for (size_t at = text.find(kDitor); at != std::string_view::npos; at = text.find(kDitor, at + 1)) {
    last = at;
  }
  return last == std::string_view::npos ? nullptr : state.line_start + last;
}

void convert_line(ConvertState& state) {
  const size_t keyword_to_drop = state.next_line_drop;
  state.next_line_drop = 0;
  ++state.line_number;
  state.line_starts_after_control_space = state.line_ended_in_control_space;
  state.line_ended_in_control_space = false;
  state.cursor = state.line_start;
  while (*state.cursor == ' ') ++state.cursor;

  const unsigned char first = state.cursor[0];
  const bool is_empty_line = first == 0 || first == '\n' || first == '\r';
  const unsigned char second =
      first == 0 || state.cursor + 1 == state.line_limit ? 0 : state.cursor[1];
  if ((first == '\n' && second == '\r') || (first == '\r' && second == '\n')) {
    state.entry_state = EntryState::outside;
    copy_rest_of_line(state);
    return;
  }
  if (keyword_to_drop != 0) {
    state.cursor += keyword_to_drop;
    // A line that held only the keyword must not become an empty line,
    // which TeX reads as the end of a paragraph.
    if (*state.cursor == '\n' || *state.cursor == '\r') {
      *state.out += '%';
      copy_rest_of_line(state);
      return;
    }
  }

  const unsigned char* bibitem;
  const unsigned char* newblock;
  find_entry_commands(state, &bibitem, &newblock);
  if (bibitem != nullptr) {
    start_entry(state, bibitem);
    // Without a label the line has been written to its end (its first NUL).
    if (state.cursor == state.line_end) {
      if (state.entry_state == EntryState::key) state.entry_state = EntryState::authors;
      write_bytes(state, state.line_end, state.line_limit);
      return;
    }
  } else if (newblock != nullptr) {
    start_block(state, newblock);
  }

  switch (state.entry_state) {
    case EntryState::outside:
    case EntryState::later_blocks:
      copy_rest_of_line(state);
      return;
    case EntryState::second_block:
      if (!state.entry_is_chinese) {
        copy_rest_of_line(state);
        return;
      }
      state.stop_char = 0;
      break;
    case EntryState::first_block:
      state.stop_char = 0;
      pre_scan_first_block(state);
      break;
    case EntryState::label:
      state.stop_char = ']';
      break;
    case EntryState::authors:
    case EntryState::key:
      state.stop_char = 0;
      break;
  }
  // Only a second block reads the editor phrase, and every \newblock
  // clears it, so "ditor" needs looking for in second blocks alone.
  state.last_ditor =
      state.entry_state == EntryState::second_block ? find_last_ditor(state) : nullptr;
  scan_line(state);
  // An empty line ends an entry or paragraph; it stands for no blank.
  if (state.chinese_seen && in_author_list(state) && !is_empty_line) {
    replace_keyword_opening_next_line(state, false);
  }
  end_line(state);
}

// Sets starts_replaced[b] for the first byte b of every non-empty replaced
// string matched inside a line.
void mark_replaced_first_bytes(const KeywordStrings& words, bool* starts_replaced) {
  for (const std::string* from : replaced_strings(words)) {
    if (!from->empty()) starts_replaced[static_cast<unsigned char>((*from)[0])] = true;
  }
}

// Marks, for the first byte of each replaced string, the bytes that may
// come second and third in a match: its second and third bytes, a line end
// where that is the string's final blank, every byte past its end.
// A byte that a run cannot take stops a skip whatever follows it.
void mark_second_bytes(ConvertState& state) {
  std::uint16_t last_row = ConvertState::kPairRowStop;
  for (int c = 0; c < 256; ++c) {
    if (!(state.run_bytes[c] & ConvertState::kRunAscii)) state.pair_rows[c] = ConvertState::kPairRowStop;
  }
  std::fill_n(state.pair_stops + ConvertState::kPairRowStop, 256, 1);
  for (const std::string* from : replaced_strings(state.settings->words)) {
    const unsigned char first = from->empty() ? 0 : static_cast<unsigned char>((*from)[0]);
    if (!(state.run_bytes[first] & ConvertState::kRunAscii)) continue;
    if (state.pair_rows[first] == 0) state.pair_rows[first] = last_row += 256;
    std::uint8_t* second = state.pair_stops + state.pair_rows[first];
    std::bitset<256>& third = state.third_bytes[first];
    if (from->size() <= 2) third.set();
    if (from->size() == 1) {
      std::fill_n(second, 256, 1);
      continue;
    }
    second[static_cast<unsigned char>((*from)[1])] = 1;
    if (from->size() == 2 && blank_may_be_line_end(*from)) second['\n'] = second['\r'] = 1;
    if (from->size() == 2) continue;
    third.set(static_cast<unsigned char>((*from)[2]));
    if (from->size() == 3 && blank_may_be_line_end(*from)) third.set('\n').set('\r');
  }
}

void mark_plain_run_bytes(ConvertState& state) {
  for (int c = 0x20; c < 0x7F; ++c) {
    if (c == '^' || c == '\\' || c == '{' || c == ']') continue;
    std::uint8_t kind = ConvertState::kRunAscii;
    if (is_ascii_letter(c)) kind |= ConvertState::kRunLetter;
    if (c == ' ' || c == ',') kind |= ConvertState::kRunTakenInAuthorList;
    state.run_bytes[c] = kind;
  }
}

// Where the line that starts at `start` ends, past its LF.
size_t end_of_line_at(std::string_view input, size_t start) {
  if (start >= input.size()) return input.size();
  const size_t newline = input.find('\n', start);
  return newline == std::string_view::npos ? input.size() : newline + 1;
}

// Where the pass's output goes: kept whole in the string (`sink` null), or
// handed to `sink` in pieces of at least `piece_bytes`.
struct PassTarget {
  std::string* out;
  const OutputSink* sink = nullptr;
  std::size_t piece_bytes = 0;
};

// Hands the output written so far to the target's sink while it has not
// failed, and empties it. Returns whether the sink has taken every piece.
bool hand_over(PassOutput& output, const PassTarget& target, bool sink_ok) {
  if (output.written_size() == 0) return sink_ok;
  return output.take_written([&](std::string_view piece) { return sink_ok && (*target.sink)(piece); });
}

// Returns false when the sink failed.
bool run_pass(const Settings& settings, std::string_view input, const PassTarget& target,
              std::string* messages, bool plain_runs) {
  std::string* const out = target.out;
  // After the sink fails the pass goes on, so that every message of the
  // input is still reported, but hands nothing more over.
  bool sink_ok = true;
  out->append(kProcessedMarker);
  PassOutput output(out);
  output.reserve(target.sink == nullptr ? input.size() + input.size() / 4
                                        : std::min(input.size(), target.piece_bytes) + 4096);

  ConvertState state;
  state.settings = &settings;
  state.model = CharModel(settings.encoding);
  state.out = &output;
  state.messages = settings.show_parse_errors ? messages : nullptr;
  mark_replaced_first_bytes(settings.words, state.starts_replaced);
  mark_plain_run_bytes(state);
  mark_second_bytes(state);
  state.use_plain_runs = plain_runs;
  state.input = input;

  // Lines are read where they stand: the reader stops at the LF that ends
  // each of them. Only the last line is copied, into a buffer with two NULs
  // after it: the reader stops at the first when the line has no LF, and
  // the skip over plain ASCII may look at the byte after its stop.
  std::string last_line;
  const bool has_nul = std::memchr(input.data(), 0, input.size()) != nullptr;
  size_t position = 0;
  size_t end = end_of_line_at(input, 0);
  while (position < input.size()) {
    const size_t next_end = end_of_line_at(input, end);
    std::string_view line = input.substr(position, end - position);
    if (end == input.size()) {
      last_line.assign(line).push_back('\0');
      line = std::string_view(last_line).substr(0, line.size());
    }
    state.next_line = input.substr(end, next_end - end);
    position = end;
    end = next_end;

    state.line_start = reinterpret_cast<const unsigned char*>(line.data());
    state.line_limit = state.line_start + line.size();
    const void* nul = has_nul ? std::memchr(line.data(), 0, line.size()) : nullptr;
    state.line_end = nul != nullptr ? static_cast<const unsigned char*>(nul) : state.line_limit;
    convert_line(state);
    if (target.sink != nullptr && output.written_size() >= target.piece_bytes) {
      sink_ok = hand_over(output, target, sink_ok);
    }
  }
  if (target.sink != nullptr) return hand_over(output, target, sink_ok);
  output.finish();
  return true;
}

}  // namespace

void PassOutput::grow(std::size_t count) {
  const std::size_t written = static_cast<std::size_t>(next_ - target_->data());
  target_->resize(std::max(written + count, target_->size() * 2 + 64));
  next_ = target_->data() + written;
  end_ = target_->data() + target_->size();
}

void convert_lines(const Settings& settings, std::string_view input, std::string* out,
                   std::string* messages) {
  run_pass(settings, input, {out}, messages, true);
}

bool convert_lines_to(const Settings& settings, std::string_view input, const OutputSink& sink,
                      std::string* messages, std::size_t piece_bytes) {
  std::string buffer;
  return run_pass(settings, input, {&buffer, &sink, piece_bytes}, messages, true);
}

void convert_lines_byte_by_byte(const Settings& settings, std::string_view input,
                                std::string* out, std::string* messages) {
  run_pass(settings, input, {out}, messages, false);
}

}  // namespace tolvar

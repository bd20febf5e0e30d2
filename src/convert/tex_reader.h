// The TeX character reader: walks the cursor over the current line and
// decodes TeX's caret notation, so that ^^b5 reads exactly like the raw
// byte 0xB5. It never steps over the line end or the stop character.
#ifndef TOLVAR_CONVERT_TEX_READER_H_
#define TOLVAR_CONVERT_TEX_READER_H_

#include <string>
#include <string_view>

#include "convert/convert_state.h"

namespace tolvar {

// True for 0-9, a-f and A-F only.
inline bool is_hex_digit(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// The byte written by the two hex digits at `pair`, in either case.
inline unsigned char hex_pair_value(const unsigned char* pair) {
  auto digit = [](unsigned char c) -> unsigned {
    c = static_cast<unsigned char>(c | 0x20);  // fold A-F to a-f; digits keep their value
    return c <= '9' ? c - '0' : c - 'a' + 10;
  };
  return static_cast<unsigned char>(digit(pair[0]) * 16 + digit(pair[1]));
}

// True when the carets at `at` are followed by two hex digits.
inline bool starts_caret_sequence(const unsigned char* at) {
  while (*at == '^') ++at;
  return is_hex_digit(at[0]) && is_hex_digit(at[1]);
}

// Reads one or more carets and the two hex digits after them. Returns the
// value, or -1 after reporting an incomplete sequence (the cursor is then
// left on the first byte after the carets).
int read_caret_sequence(ConvertState& state);

// Reads one TeX character at state.cursor and returns it (0..255), or -1
// for an incomplete caret sequence. A raw stop character, NUL, LF or CR is
// returned without moving the cursor, so every further call returns it
// again; a caret sequence is consumed whatever it decodes to.
//
// This function is performance-critical; please benchmark any changes.
inline int read_tex_char(ConvertState& state) {
  state.read_start = state.cursor;
  const unsigned char c = *state.cursor;
  if (c == '^') return read_caret_sequence(state);
  if (c != state.stop_char && c != 0 && c != '\n' && c != '\r') ++state.cursor;
  return c;
}

// Reads characters until one is not a blank (raw or ^^20) and returns it;
// -1 as soon as the reader returns -1.
inline int read_tex_char_skip_spaces(ConvertState& state) {
  for (;;) {
    const int c = read_tex_char(state);
    if (c != ' ') return c;
  }
}

// Starts a two-line parse-error message: the description, a colon, then
// a tab, "Line", the line number and " ... ". The caller adds the rest.
void begin_parse_message(ConvertState& state, std::string_view description);

// Appends "^^" and `value` in lower-case hex without leading zeros.
void append_caret_hex(std::string* text, int value);

}  // namespace tolvar

#endif  // TOLVAR_CONVERT_TEX_READER_H_

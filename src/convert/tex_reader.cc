#include "convert/tex_reader.h"

#include <algorithm>
#include <cstdio>

namespace tolvar {
namespace {

// The quoted rest of a line in a message is cut after this many bytes, so
// that a long line full of broken caret sequences cannot make the messages
// grow with the square of its length.
constexpr std::ptrdiff_t kMaxQuotedBytes = 160;

void report_incomplete_caret(ConvertState& state) {
  begin_parse_message(state, "An incomplete '^^xx' TeX character is found");
  // Quote from the carets (at most two bytes back) to the end of the line,
  // line end included, so the closing quote starts the next output line.
  const unsigned char* from = std::max(state.line_start, state.cursor - 2);
  const std::ptrdiff_t length = state.line_end - from;
  std::string& text = *state.messages;
  text += '"';
  text.append(reinterpret_cast<const char*>(from), std::min(length, kMaxQuotedBytes));
  if (length > kMaxQuotedBytes) text += "...";
  text += "\"\n";
}

}  // namespace

int read_caret_sequence(ConvertState& state) {
  while (*state.cursor == '^') ++state.cursor;
  if (is_hex_digit(state.cursor[0]) && is_hex_digit(state.cursor[1])) {
    const int value = hex_pair_value(state.cursor);
    state.cursor += 2;
    return value;
  }
  if (state.messages != nullptr) report_incomplete_caret(state);
  return -1;
}

void begin_parse_message(ConvertState& state, std::string_view description) {
  char number[16];
  std::snprintf(number, sizeof number, "%d", state.line_number);
  std::string& text = *state.messages;
  text += description;
  text += ":\n\tLine ";
  text += number;
  text += ": ... ";
}

void append_caret_hex(std::string* text, int value) {
  char hex[8];
  std::snprintf(hex, sizeof hex, "^^%x", static_cast<unsigned>(value));
  *text += hex;
}

}  // namespace tolvar

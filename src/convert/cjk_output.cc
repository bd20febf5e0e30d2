#include "convert/cjk_output.h"

#include <string_view>

#include "convert/tex_reader.h"

namespace tolvar {
namespace {

char* write_decimal_trail(unsigned char trail, char* next) {
  // A valid trail byte is 64..254: two digits below 100, three from 100.
  if (trail >= 100) *next++ = static_cast<char>('0' + trail / 100);
  *next++ = static_cast<char>('0' + trail / 10 % 10);
  *next++ = static_cast<char>('0' + trail % 10);
  return next;
}

bool is_line_stop(const ConvertState& state, int c) {
  return c == state.stop_char || c == 0 || c == '\n' || c == '\r';
}

// A raw stop character (the "]" closing a label) is never taken as a trail
// byte: the reader did not step over it, and it closes the label.
bool is_usable_trail(const ConvertState& state, int trail) {
  if (!is_gbk_trail(trail)) return false;
  return !(trail == state.stop_char && state.cursor == state.read_start);
}

void report_bad_pair(ConvertState& state, const char* description, int lead, int trail) {
  if (state.messages == nullptr) return;
  begin_parse_message(state, description);
  append_caret_hex(state.messages, lead);
  append_caret_hex(state.messages, trail);
  *state.messages += '\n';
}

// A stop character, NUL, LF or CR ends the scan and is not written. When
// it was written in caret notation (^^5d, ^^0a, ^^00) the reader has
// consumed it; its text is written as it stands so no input is lost.
void keep_consumed_stop(ConvertState& state) {
  if (state.cursor != state.read_start) {
    state.out->append(state.read_start, state.cursor - state.read_start);
  }
}

// Reads the character after a lead byte. A single raw "^" there that
// starts no complete caret sequence is the trail byte of a GBK character
// (0x5E is a valid trail), not a broken caret sequence that would drop the
// character.
int read_trail_byte(ConvertState& state) {
  if (state.cursor[0] == '^' && state.cursor[1] != '^' &&
      !starts_caret_sequence(state.cursor)) {
    state.read_start = state.cursor++;
    return '^';
  }
  return read_tex_char(state);
}

bool skip_triple_part(ConvertState& state) {
  if (is_ascii_digit(*state.cursor)) {
    for (int i = 0; i < 3 && is_ascii_digit(*state.cursor); ++i) ++state.cursor;
    return true;
  }
  return read_tex_char(state) != -1;
}

bool read_triple_delimiter(ConvertState& state) {
  const int c = read_tex_char(state);
  if (c == 0x7F) return true;
  if (c != -1 && state.messages != nullptr) {
    begin_parse_message(state,
                        "Wrong \"^^7f\" CJK character - \"^^7f\" is expected here");
    append_caret_hex(state.messages, c);
    *state.messages += '\n';
  }
  return false;
}

// Reads the rest of a "^^7f" triple after its first DEL in the shape a
// GBK character takes there: a lead byte (raw or ^^xx), DEL, two or three
// decimal digits, DEL (each DEL raw or ^^7f). Reports nothing; returns
// false at the first character that does not fit.
bool read_gbk_triple_rest(ConvertState& state) {
  if (!is_gbk_lead(read_tex_char(state)) || read_tex_char(state) != 0x7F) return false;
  int digits = 0;
  while (digits < 3 && is_ascii_digit(*state.cursor)) {
    ++state.cursor;
    ++digits;
  }
  return digits >= 2 && read_tex_char(state) == 0x7F;
}

// With state.current a DEL just read outside a label: copies a complete
// triple that starts with it unchanged, as the line holds it, and returns
// true. Anything else is left unread, and nothing is reported.
bool copy_triple(ConvertState& state) {
  const unsigned char* const first_del = state.read_start;
  const unsigned char* const cursor = state.cursor;
  std::string* const messages = state.messages;
  state.messages = nullptr;
  const bool complete = read_gbk_triple_rest(state);
  state.messages = messages;
  if (!complete) {
    state.cursor = cursor;
    state.read_start = first_del;
    return false;
  }
  state.out->append(first_del, state.cursor - first_del);
  state.chinese_seen = true;
  return true;
}

}  // namespace

std::size_t format_label_cjk_char(bool visible, unsigned char lead, unsigned char trail,
                                  char* buffer) {
  static constexpr char kHex[] = "0123456789abcdef";
  char* next = buffer;
  auto put = [&next](std::string_view text) {
    for (char c : text) *next++ = c;
  };
  if (visible) {
    put("^^7f^^");
    *next++ = kHex[lead >> 4];
    *next++ = kHex[lead & 15];
    put("^^7f");
  } else {
    *next++ = '\x7f';
    *next++ = static_cast<char>(lead);
    *next++ = '\x7f';
  }
  next = write_decimal_trail(trail, next);
  if (visible) {
    put("^^7f");
  } else {
    *next++ = '\x7f';
  }
  return static_cast<std::size_t>(next - buffer);
}

void append_label_cjk_char(bool visible, unsigned char lead, unsigned char trail,
                           std::string* out) {
  char buffer[20];
  out->append(buffer, format_label_cjk_char(visible, lead, trail, buffer));
}

void write_label_cjk_char(ConvertState& state, unsigned char lead, unsigned char trail) {
  char buffer[20];
  state.out->append(buffer, format_label_cjk_char(state.settings->visible, lead, trail, buffer));
}

bool reemit_label_triple(ConvertState& state) {
  const unsigned char* start = state.cursor;
  if (!skip_triple_part(state) || !read_triple_delimiter(state) ||
      !skip_triple_part(state) || !read_triple_delimiter(state)) {
    return false;
  }
  *state.out += "^^7f";
  state.out->append(start, state.cursor - start);
  return true;
}

namespace {

// Reads the trail byte after the lead byte `lead` and writes the pair, in
// the label form or raw. A pair that is no GBK character is reported under
// `message` and dropped; its second byte becomes the current character, so
// that a line end or stop character there still ends the scan.
void write_gbk_char(ConvertState& state, int lead, bool label_form, const char* message) {
  const int trail = read_trail_byte(state);
  if (trail == -1) return;
  if (!is_usable_trail(state, trail)) {
    report_bad_pair(state, message, lead, trail);
    state.current = trail;
    return;
  }
  state.chinese_seen = true;
  if (label_form) {
    write_label_cjk_char(state, static_cast<unsigned char>(lead), static_cast<unsigned char>(trail));
  } else if (is_tex_special_trail(trail)) {
    // Raw, TeX would read the trail byte as a math or grouping character;
    // the CJK package reads the invisible form in running text as well.
    char buffer[20];
    state.out->append(buffer, format_label_cjk_char(false, static_cast<unsigned char>(lead),
                                                    static_cast<unsigned char>(trail), buffer));
  } else {
    *state.out += static_cast<char>(lead);
    *state.out += static_cast<char>(trail);
  }
}

void report_bad_utf8(ConvertState& state, const unsigned char* bytes, int count) {
  if (state.messages == nullptr) return;
  begin_parse_message(state, "An invalid UTF-8 character is found");
  for (int k = 0; k < count; ++k) append_caret_hex(state.messages, bytes[k]);
  *state.messages += '\n';
}

// Sets the flags for a complete UTF-8 character: Chinese text, or a letter
// that ends it.
void note_utf8_char(ConvertState& state, const unsigned char* bytes, int length) {
  const char32_t c = state.model.code_point(bytes, static_cast<std::size_t>(length));
  if (CharModel::is_chinese_code_point(c)) {
    state.chinese_seen = true;
  } else if (is_non_ascii_letter(c) && !state.in_control_word) {
    state.chinese_seen = false;
  }
}

}  // namespace

int read_utf8_rest(ConvertState& state, unsigned char* bytes, int* breaking) {
  *breaking = -1;
  const int length = state.model.expected_length(bytes[0]);
  for (int k = 1; k < length; ++k) {
    // A broken caret sequence is left for the scan, which reports it and
    // keeps its text.
    if (*state.cursor == '^' && !starts_caret_sequence(state.cursor)) return -k;
    const int next = read_tex_char(state);
    if (!state.model.is_continuation(bytes[0], k, static_cast<unsigned char>(next))) {
      // Not part of this character: it is read again as a character of its own.
      state.cursor = state.read_start;
      *breaking = next;
      return -k;
    }
    bytes[k] = static_cast<unsigned char>(next);
  }
  return length;
}

namespace {

// Writes a UTF-8 character that starts with `lead` (a lead byte, or a byte
// that starts no character). A sequence that is not UTF-8 is reported and
// copied as it stands, never dropped; the byte that broke it is read again.
void write_utf8_char(ConvertState& state, int lead) {
  unsigned char bytes[5] = {static_cast<unsigned char>(lead)};
  int breaking = -1;
  const int length = state.model.is_lead(bytes[0]) ? read_utf8_rest(state, bytes, &breaking) : -1;
  if (length > 0) {
    note_utf8_char(state, bytes, length);
    state.out->append(bytes, static_cast<std::size_t>(length));
    return;
  }
  state.out->append(bytes, static_cast<std::size_t>(-length));
  int shown = -length;
  if (breaking >= 0) bytes[shown++] = static_cast<unsigned char>(breaking);
  report_bad_utf8(state, bytes, shown);
}

}  // namespace

void convert_label_char(ConvertState& state) {
  const int c = state.current;
  if (c == 0x7F) {
    if (reemit_label_triple(state)) {
      state.chinese_seen = true;
    } else {
      state.chinese_seen = false;
      state.in_control_word = false;
    }
    return;
  }
  if (is_gbk_lead(c)) {
    write_gbk_char(state, c, /*label_form=*/true, "An incomplete '^^xx' TeX character is found");
    return;
  }
  if (is_line_stop(state, c)) {
    keep_consumed_stop(state);
    return;
  }
  write_single_byte(state, static_cast<unsigned char>(c));
}

void copy_char(ConvertState& state) {
  const int c = state.current;
  if (state.model.is_utf8()) {
    if (c >= 0x80) {
      write_utf8_char(state, c);
      return;
    }
  } else {
    // A GBK character whose trail byte TeX or BibTeX cannot take raw comes
    // as the triple the CJK preprocessor writes; it passes as it stands.
    if (c == 0x7F && copy_triple(state)) return;
    if (is_gbk_lead(c)) {
      write_gbk_char(state, c, /*label_form=*/false, "A wrong CJK character is found");
      return;
    }
  }
  if (is_line_stop(state, c)) {
    keep_consumed_stop(state);
    return;
  }
  write_single_byte(state, static_cast<unsigned char>(c));
}

}  // namespace tolvar

// Output of the characters the scan reads: GBK characters of a \bibitem
// label in the "^^7f" form (write_label_cjk_char, convert_label_char), and
// everything else as raw bytes (copy_char). Both keep chinese_seen and
// in_control_word up to date.
#ifndef TOLVAR_CONVERT_CJK_OUTPUT_H_
#define TOLVAR_CONVERT_CJK_OUTPUT_H_

#include <cstddef>
#include <string>

#include "convert/convert_state.h"

namespace tolvar {

// Appends the label form of the GBK character `lead` `trail`: invisible
// (DEL, lead, DEL, trail in decimal, DEL) or visible
// ("^^7f^^b5^^7f200^^7f" for B5 C8).
void append_label_cjk_char(bool visible, unsigned char lead, unsigned char trail,
                           std::string* out);

// Writes the same form into `buffer` (at least 20 bytes) and returns its
// length.
std::size_t format_label_cjk_char(bool visible, unsigned char lead, unsigned char trail,
                                  char* buffer);

// Writes the GBK character in the form the visible flag selects.
void write_label_cjk_char(ConvertState& state, unsigned char lead, unsigned char trail);

// With the cursor just after a DEL that the reader returned: recognises
// the rest of an existing "^^7f" triple (lead, DEL, digits, DEL; each part
// raw or in caret notation) and writes it as "^^7f" plus its bytes as they
// stand. Returns false, having written nothing, when it is not one.
bool reemit_label_triple(ConvertState& state);

// Writes state.current inside a label (unless -cjk). A bad lead byte is
// reported and dropped; state.current then becomes the byte after it.
void convert_label_char(ConvertState& state);

// With bytes[0] a UTF-8 lead byte just read: reads the rest of its
// character into bytes[1..] and returns its length. When the bytes are
// not UTF-8, returns minus the number of bytes that belong to the broken
// sequence (bytes[0] included) and leaves the byte that broke it unread,
// its value in *breaking (-1 for none: the line's end or a broken caret
// sequence, which the scan meets next).
int read_utf8_rest(ConvertState& state, unsigned char* bytes, int* breaking);

// Writes state.current as a raw byte or a raw GBK pair, or in UTF-8 runs a
// whole UTF-8 character. A bad lead byte is
// reported and dropped; state.current then becomes the byte after it.
void copy_char(ConvertState& state);

// Writes a backslash, which starts a control word. It opens a control
// sequence unless it ends "\\", a complete control symbol.
inline void write_backslash(ConvertState& state) {
  const bool closes_symbol = ends_in_open_backslash(state);
  state.in_control_word = true;
  *state.out += '\\';
  state.open_backslash_end = closes_symbol ? ConvertState::kNoOpenBackslash : state.out->size();
}

// Writes one byte that is not a lead byte, keeping the flags: letters
// clear chinese_seen unless they name a control word.
inline void write_single_byte(ConvertState& state, unsigned char c) {
  if (c == '\\') {
    write_backslash(state);
    return;
  }
  if (!state.in_control_word) {
    if (is_ascii_letter(c)) state.chinese_seen = false;
  } else if (!is_ascii_letter(c)) {
    state.in_control_word = false;
  }
  *state.out += static_cast<char>(c);
}

// True for the printable ASCII bytes other than the stop character, which
// both output operations write through write_single_byte alone.
inline bool is_plain_byte(const ConvertState& state, int c) {
  return c >= 0x20 && c < 0x7F && c != state.stop_char;
}

}  // namespace tolvar

#endif  // TOLVAR_CONVERT_CJK_OUTPUT_H_

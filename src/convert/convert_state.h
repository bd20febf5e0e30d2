// The state shared by the pieces of the conversion pass: the reader's
// cursor over the current line, the flags that say whether the text just
// written was Chinese, and where the current line stands in an entry.
// One instance per pass, set up by convert_lines and passed by reference.
#ifndef TOLVAR_CONVERT_CONVERT_STATE_H_
#define TOLVAR_CONVERT_CONVERT_STATE_H_

#include <cstdint>
#include <string>

#include "run/settings.h"

namespace tolvar {

// Where the current line stands in a bibliography entry.
enum class EntryState : std::uint8_t {
  outside = 0,       // before the first entry, or after a blank line
  label = 1,         // inside the [...] label of \bibitem, maybe over lines
  authors = 2,       // the lines after \bibitem up to the first \newblock
  first_block = 3,   // from the first \newblock
  second_block = 4,  // from the second \newblock
  later_blocks = 5,  // from the third \newblock on
  key = 111,         // on the \bibitem line, after the "{" of the key
};

struct ConvertState {
  const Settings* settings = nullptr;
  std::string* out = nullptr;
  // Where parse-error messages go; null while they are not shown.
  std::string* messages = nullptr;

  // The line being converted. It ends with a NUL at line_end (the first NUL
  // byte of the line, or the terminator); line_limit is the true end of the
  // line's bytes, beyond any NUL inside it.
  const unsigned char* line_start = nullptr;
  const unsigned char* line_end = nullptr;
  const unsigned char* line_limit = nullptr;

  const unsigned char* cursor = nullptr;
  // The character the reader never steps over besides the line end:
  // "]" while a label is scanned, otherwise 0.
  unsigned char stop_char = 0;
  int line_number = 0;
  // Where the reader's last character began (a caret sequence spans bytes).
  const unsigned char* read_start = nullptr;

  // The last word-like character written was a GBK character.
  bool chinese_seen = false;
  // A backslash has been written and the letters that follow name a
  // control word.
  bool in_control_word = false;
  // The position right after a backslash that opens a control sequence: a
  // blank read there is TeX's control space "\ " and is kept as it is.
  const unsigned char* control_space_at = nullptr;

  EntryState entry_state = EntryState::outside;
  bool entry_is_chinese = false;
  bool editor_phrase = false;
  const unsigned char* scan_start = nullptr;
  // The character last read by the scan; the output operations may replace
  // it by the byte that followed a bad lead byte. 0..255.
  int current = 0;
  // Start of the last "ditor" on the line, or null.
  const unsigned char* last_ditor = nullptr;
};

inline bool is_gbk_lead(int c) { return c >= 0x81 && c <= 0xFE; }
inline bool is_gbk_trail(int c) { return c >= 0x40 && c <= 0xFE && c != 0x7F; }
inline bool is_ascii_letter(int c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
inline bool is_ascii_digit(int c) { return c >= '0' && c <= '9'; }

}  // namespace tolvar

#endif  // TOLVAR_CONVERT_CONVERT_STATE_H_

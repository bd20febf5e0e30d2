// The state shared by the pieces of the conversion pass: the reader's
// cursor over the current line, the flags that say whether the text just
// written was Chinese, and where the current line stands in an entry.
// One instance per pass, set up by convert_lines and passed by reference.
#ifndef TOLVAR_CONVERT_CONVERT_STATE_H_
#define TOLVAR_CONVERT_CONVERT_STATE_H_

#include <algorithm>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "shared/settings.h"

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

// The pass's output: appends to a std::string through a pointer, so that
// writing one byte costs no call. The string holds spare bytes beyond
// what was written until finish() trims it.
class PassOutput {
 public:
  explicit PassOutput(std::string* target)
      : target_(target),
        next_(target->data() + target->size()),
        end_(next_) {}
  ~PassOutput() { finish(); }
  PassOutput(const PassOutput&) = delete;
  PassOutput& operator=(const PassOutput&) = delete;

  void operator+=(char c) {
    if (next_ == end_) grow(1);
    *next_++ = c;
  }
  void operator+=(std::string_view text) { append(text.data(), text.size()); }
  void append(const void* bytes, std::size_t count) {
    if (static_cast<std::size_t>(end_ - next_) < count) grow(count);
    if (count != 0) std::memcpy(next_, bytes, count);
    next_ += count;
  }
  // How many bytes have been written, counting those taken away.
  std::size_t size() const { return taken_ + written_size(); }
  // The bytes the target holds, counting what was written.
  std::size_t written_size() const { return static_cast<std::size_t>(next_ - target_->data()); }
  // Hands what the target holds to `take` and empties it. Returns what
  // `take` returned.
  template <typename Take>
  bool take_written(const Take& take) {
    const std::size_t count = written_size();
    const bool taken = take(std::string_view(target_->data(), count));
    taken_ += count;
    next_ = target_->data();
    return taken;
  }
  // Makes room for at least `count` more bytes.
  void reserve(std::size_t count) {
    if (static_cast<std::size_t>(end_ - next_) < count) grow(count);
  }
  // Trims the string to the bytes written; writing may go on afterwards.
  void finish() {
    target_->resize(static_cast<std::size_t>(next_ - target_->data()));
    next_ = end_ = target_->data() + target_->size();
  }

 private:
  void grow(std::size_t count);

  std::string* target_;
  char* next_;
  char* end_;
  std::size_t taken_ = 0;
};

struct ConvertState {
  const Settings* settings = nullptr;
  // GBK or UTF-8, from the settings.
  CharModel model;
  PassOutput* out = nullptr;
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
  // The output size right after the last backslash written that opens a
  // control sequence. While nothing else has been written since, a blank is
  // TeX's control space "\ " and is kept as it is. Judged on the output:
  // bytes that write nothing (a dropped bad pair, an empty replacing
  // string) leave the backslash the last byte written.
  static constexpr std::size_t kNoOpenBackslash = static_cast<std::size_t>(-1);
  std::size_t open_backslash_end = kNoOpenBackslash;
  // The line just converted ended right after an opening backslash, and
  // the same of the line before the current one: such a line end is a
  // control space, which no keyword at the start of the next line takes.
  bool line_ended_in_control_space = false;
  bool line_starts_after_control_space = false;

  // The input line after the current one, line end included; empty after
  // the last line. BibTeX may break an author list before a keyword.
  std::string_view next_line;
  // How many bytes the next line drops after its leading blanks: a keyword
  // that opens it and has been replaced at the end of the current line.
  std::size_t next_line_drop = 0;
  // The whole input, and the first backslash at or after backslash_from in
  // it (or its end): lines are looked through for "\bibitem" and
  // "\newblock", and one search runs over many short lines at once.
  std::string_view input;
  const unsigned char* backslash_from = nullptr;
  const unsigned char* next_backslash = nullptr;

  EntryState entry_state = EntryState::outside;
  bool entry_is_chinese = false;
  bool editor_phrase = false;
  const unsigned char* scan_start = nullptr;
  // The character last read by the scan; the output operations may replace
  // it by the byte that followed a bad lead byte. 0..255.
  int current = 0;
  // Start of the last "ditor" on the line, or null.
  const unsigned char* last_ditor = nullptr;
  // The first bytes of the replaced keyword strings: a character that is
  // none of them needs no keyword match.
  bool starts_replaced[256] = {};
  // What each byte is to a run of plain bytes (the kRun flags below).
  std::uint8_t run_bytes[256] = {};
  // Printable ASCII that a run may take: written unchanged unless a
  // replaced string starts there or an author list takes it.
  static constexpr std::uint8_t kRunAscii = 1;
  static constexpr std::uint8_t kRunLetter = 2;
  // A blank or comma, which an author list takes after Chinese text.
  static constexpr std::uint8_t kRunTakenInAuthorList = 4;
  // One lookup per pair of bytes for the scan of plain ASCII: in the row of
  // a byte b (pair_rows[b] is where it starts), the entry of the byte after
  // b is nonzero where b is not printable ASCII that a run may take, or
  // where a replaced string may start at b (b is its first byte and the
  // next byte may be its second).
  // Row 0 (all zeros) is that of the bytes a skip passes; the next is all
  // ones; one more for each first byte of the seven replaced strings.
  static constexpr std::uint16_t kPairRowStop = 256;
  std::uint16_t pair_rows[256] = {};
  std::uint8_t pair_stops[(2 + 7) * 256] = {};
  // For each ASCII first byte of a replaced string, the bytes that may come
  // third in a match.
  std::bitset<256> third_bytes[128];
  // Off only to check the plain-run shortcut against byte-by-byte scanning.
  bool use_plain_runs = true;
};

// Converts like convert_lines, but reads every character one at a time:
// the reference that the scan's shortcut for plain runs is checked against.
void convert_lines_byte_by_byte(const Settings& settings, std::string_view input,
                                std::string* out, std::string* messages);

inline bool is_gbk_lead(int c) { return c >= 0x81 && c <= 0xFE; }

// A letter outside ASCII (Latin with accents, Greek, Cyrillic): like an
// ASCII letter, it ends Chinese text. Other symbols leave it as it was.
inline bool is_non_ascii_letter(char32_t c) {
  return (c >= 0xC0 && c <= 0x24F && c != 0xD7 && c != 0xF7) || (c >= 0x370 && c <= 0x52F) ||
         (c >= 0x1E00 && c <= 0x1FFF);
}
inline bool is_gbk_trail(int c) { return c >= 0x40 && c <= 0xFE && c != 0x7F; }
inline bool is_ascii_letter(int c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
inline bool is_ascii_digit(int c) { return c >= '0' && c <= '9'; }

// A trail byte that TeX reads as a math or grouping character (^ _ \ { }):
// such a character is never written raw.
inline bool is_tex_special_trail(int trail) {
  return trail == '^' || trail == '_' || trail == '\\' || trail == '{' || trail == '}';
}

// True while the last byte written is a backslash that opens a control
// sequence.
inline bool ends_in_open_backslash(const ConvertState& state) {
  return state.out->size() == state.open_backslash_end;
}

}  // namespace tolvar

#endif  // TOLVAR_CONVERT_CONVERT_STATE_H_

// The character model of a run: how the bytes of a .bbl make characters,
// in GBK or in UTF-8, chosen once per run. The conversion pass asks it how
// long a character is and whether it is Chinese; the sort step also asks
// for its code point and its GBK code, through which the pinyin and stroke
// tables are reached.
#ifndef TOLVAR_SHARED_CHAR_MODEL_H_
#define TOLVAR_SHARED_CHAR_MODEL_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tolvar {

enum class Encoding : std::uint8_t { kGbk, kUtf8 };

class CharModel {
 public:
  explicit constexpr CharModel(Encoding encoding = Encoding::kGbk) : encoding_(encoding) {}

  Encoding encoding() const { return encoding_; }
  bool is_utf8() const { return encoding_ == Encoding::kUtf8; }

  // How many bytes a character that starts with `lead` takes: 2 for a GBK
  // lead byte, 2 to 4 for a UTF-8 lead byte, 1 for any other byte.
  int expected_length(unsigned char lead) const {
    if (encoding_ == Encoding::kGbk) return lead >= 0x81 && lead <= 0xFE ? 2 : 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 1;
  }

  bool is_lead(unsigned char c) const { return expected_length(c) > 1; }

  // Whether `byte` may stand at `position` (1 for the byte after the lead)
  // of a character that starts with `lead`. UTF-8 refuses overlong forms,
  // surrogates and code points above U+10FFFF by the second byte.
  bool is_continuation(unsigned char lead, int position, unsigned char byte) const {
    if (encoding_ == Encoding::kGbk) return byte >= 0x40 && byte <= 0xFE && byte != 0x7F;
    if (position == 1) {
      if (lead == 0xE0) return byte >= 0xA0 && byte <= 0xBF;
      if (lead == 0xED) return byte >= 0x80 && byte <= 0x9F;
      if (lead == 0xF0) return byte >= 0x90 && byte <= 0xBF;
      if (lead == 0xF4) return byte >= 0x80 && byte <= 0x8F;
    }
    return byte >= 0x80 && byte <= 0xBF;
  }

  // Bytes of the whole character at `text[at]`; 1 when no complete
  // multi-byte character starts there.
  std::size_t char_length(std::string_view text, std::size_t at) const {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data()) + at;
    const int length = expected_length(p[0]);
    if (length == 1 || text.size() - at < static_cast<std::size_t>(length)) return 1;
    for (int k = 1; k < length; ++k) {
      if (!is_continuation(p[0], k, p[k])) return 1;
    }
    return static_cast<std::size_t>(length);
  }

  // Whether a complete multi-byte character counts as Chinese text: in GBK
  // every double-byte character; in UTF-8 the CJK ideographs (extensions
  // and compatibility ideographs included), CJK symbols and punctuation,
  // and full-width forms.
  bool is_chinese(const unsigned char* p, std::size_t length) const {
    if (encoding_ == Encoding::kGbk) return length == 2;
    return is_chinese_code_point(code_point(p, length));
  }

  // The code point of a complete character; 0 where GBK has no Unicode
  // mapping for it.
  char32_t code_point(const unsigned char* p, std::size_t length) const {
    if (encoding_ == Encoding::kUtf8) return decode_utf8(p, length);
    return gbk_code_point(p, length);
  }

  // The GBK code (lead * 256 + trail) of a complete character, or -1 when
  // GBK has none.
  int gbk_code(const unsigned char* p, std::size_t length) const;

  static bool is_chinese_code_point(char32_t c) {
    return (c >= 0x3000 && c <= 0x303F) || (c >= 0x3400 && c <= 0x4DBF) ||
           (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFF00 && c <= 0xFFEF) || (c >= 0x20000 && c <= 0x323AF);
  }

 private:
  // Inline: the conversion pass decodes every UTF-8 character it copies.
  static char32_t decode_utf8(const unsigned char* p, std::size_t length) {
    if (length == 1) return p[0];
    char32_t c = p[0] & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) c = c << 6 | (p[k] & 0x3F);
    return c;
  }
  static char32_t gbk_code_point(const unsigned char* p, std::size_t length);

  Encoding encoding_;
};

// Appends the UTF-8 form of `c` to *out.
void append_utf8(char32_t c, std::string* out);

// True when all of `text` is well-formed UTF-8.
bool is_valid_utf8(std::string_view text);

// Whether text given to a GBK run is really UTF-8: all of it well-formed
// UTF-8, with at least one Chinese character. (GBK text with Chinese in it
// is almost never well-formed UTF-8.)
bool looks_like_utf8(std::string_view text);

// Converts GBK text to UTF-8. A byte or pair without a Unicode mapping is
// copied as it stands.
std::string gbk_to_utf8(std::string_view text);

}  // namespace tolvar

#endif  // TOLVAR_SHARED_CHAR_MODEL_H_

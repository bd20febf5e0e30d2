#include "shared/char_model.h"

#include <cstring>
#include <vector>

#include "shared/gbk_tables.h"

namespace tolvar {
namespace {

int gbk_cell(unsigned char lead, unsigned char trail) { return (lead - 0x81) * 192 + (trail - 0x40); }

// GBK codes by code point of the Basic Multilingual Plane, 0 for none;
// every GBK character maps into it. Built on first use.
const std::vector<std::uint16_t>& unicode_to_gbk_table() {
  static const std::vector<std::uint16_t> table = [] {
    std::vector<std::uint16_t> codes(0x10000, 0);
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
      for (int trail = 0x40; trail <= 0xFE; ++trail) {
        if (trail == 0x7F) continue;
        const std::uint16_t c = gbk_to_unicode(gbk_cell(lead, trail));
        if (c != 0 && codes[c] == 0) codes[c] = static_cast<std::uint16_t>(lead << 8 | trail);
      }
    }
    return codes;
  }();
  return table;
}

}  // namespace

char32_t CharModel::gbk_code_point(const unsigned char* p, std::size_t length) {
  if (length == 1) return p[0] < 0x80 ? p[0] : 0;
  const int cell = gbk_cell(p[0], p[1]);
  return cell >= 0 && cell < kGbkUnicodeCells ? gbk_to_unicode(cell) : 0;
}

int CharModel::gbk_code(const unsigned char* p, std::size_t length) const {
  if (encoding_ == Encoding::kGbk) return length == 2 ? p[0] << 8 | p[1] : -1;
  const char32_t c = decode_utf8(p, length);
  if (c < 0x80 || c > 0xFFFF) return -1;
  const std::uint16_t code = unicode_to_gbk_table()[c];
  return code == 0 ? -1 : code;
}

void append_utf8(char32_t c, std::string* out) {
  if (c < 0x80) {
    out->push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out->push_back(static_cast<char>(0xC0 | c >> 6));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | c >> 12));
    out->push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | c >> 18));
    out->push_back(static_cast<char>(0x80 | (c >> 12 & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

bool is_valid_utf8(std::string_view text) {
  const CharModel utf8(Encoding::kUtf8);
  for (std::size_t at = 0; at < text.size();) {
    // Runs of ASCII, most of a .bbl, eight bytes at a time.
    std::uint64_t eight;
    while (text.size() - at >= 8 &&
           (std::memcpy(&eight, text.data() + at, 8), (eight & 0x8080808080808080u) == 0)) {
      at += 8;
    }
    if (at == text.size()) break;
    const std::size_t length = utf8.char_length(text, at);
    if (length == 1 && static_cast<unsigned char>(text[at]) >= 0x80) return false;
    at += length;
  }
  return true;
}

std::string gbk_to_utf8(std::string_view text) {
  const CharModel gbk(Encoding::kGbk);
  std::string out;
  out.reserve(text.size() * 3 / 2);
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = gbk.char_length(text, at);
    const auto* p = reinterpret_cast<const unsigned char*>(text.data()) + at;
    const char32_t c = length == 2 ? gbk.code_point(p, 2) : 0;
    if (c != 0) {
      append_utf8(c, &out);
    } else {
      out.append(text, at, length);
    }
    at += length;
  }
  return out;
}

bool looks_like_utf8(std::string_view text) {
  if (!is_valid_utf8(text)) return false;
  const CharModel utf8(Encoding::kUtf8);
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  for (size_t at = 0; at < text.size();) {
    const size_t length = utf8.char_length(text, at);
    if (length > 1 && utf8.is_chinese(bytes + at, length)) return true;
    at += length;
  }
  return false;
}

}  // namespace tolvar

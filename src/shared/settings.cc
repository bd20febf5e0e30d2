#include "shared/settings.h"

namespace tolvar {

namespace {

bool is_lead_byte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

bool is_trail_byte(unsigned char c) { return c >= 0x40 && c != 0x7F && c != 0xFF; }

void append_decimal(unsigned value, std::string* out) {
  if (value >= 100) out->push_back(static_cast<char>('0' + value / 100));
  if (value >= 10) out->push_back(static_cast<char>('0' + value / 10 % 10));
  out->push_back(static_cast<char>('0' + value % 10));
}

void append_hex(unsigned value, std::string* out) {
  static const char kDigits[] = "0123456789abcdef";
  if (value >= 16) append_hex(value / 16, out);
  out->push_back(kDigits[value % 16]);
}

void append_label_pair(unsigned char lead, unsigned char trail, bool visible, std::string* out) {
  if (visible) {
    out->append("^^7f^^");
    out->push_back("0123456789abcdef"[lead >> 4]);
    out->push_back("0123456789abcdef"[lead & 15]);
    out->append("^^7f");
    append_decimal(trail, out);
    out->append("^^7f");
  } else {
    out->push_back('\x7F');
    out->push_back(static_cast<char>(lead));
    out->push_back('\x7F');
    append_decimal(trail, out);
    out->push_back('\x7F');
  }
}

}  // namespace

std::string tilde_rewrite(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != ' ') {
      out.push_back(text[i]);
      continue;
    }
    out.push_back('~');
    while (i + 1 < text.size() && text[i + 1] == ' ') ++i;
  }
  return out;
}

int convert_option_text(std::string_view source, bool visible, std::string* label,
                        std::string* messages) {
  for (size_t i = 0; i < source.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(source[i]);
    if (!is_lead_byte(c)) {
      label->push_back(source[i]);
      continue;
    }
    // The end of the value stands where a trail byte is missing, as 0.
    unsigned char trail = i + 1 < source.size() ? static_cast<unsigned char>(source[i + 1]) : 0;
    if (!is_trail_byte(trail)) {
      messages->append("Wrong CJK characters in options:... ^^");
      append_hex(c, messages);
      messages->append("^^");
      append_hex(trail, messages);
      messages->push_back('\n');
      return -1;
    }
    append_label_pair(c, trail, visible, label);
    ++i;
  }
  return 1;
}

void take_as_utf8(KeywordStrings* words) {
  for (std::string* text :
       {&words->and_, &words->etal, &words->in_from, &words->in, &words->pages_from, &words->pages,
        &words->chapter_from, &words->chapter, &words->edition_from, &words->edition,
        &words->editors_from, &words->editor_from, &words->editors, &words->editors2_from,
        &words->editor2_from, &words->editors2}) {
    if (!is_valid_utf8(*text)) *text = gbk_to_utf8(*text);
  }
}

void finish_keyword_strings(Settings* settings, std::string* messages) {
  KeywordStrings& words = settings->words;
  if (settings->encoding == Encoding::kUtf8) {
    take_as_utf8(&words);
    words.and_ = tilde_rewrite(words.and_);
    words.and_label = words.and_;
    words.etal = tilde_rewrite(words.etal);
    words.etal_label = words.etal;
    return;
  }
  words.and_ = tilde_rewrite(words.and_);
  words.and_label.clear();
  convert_option_text(words.and_, settings->visible, &words.and_label, messages);
  words.etal = tilde_rewrite(words.etal);
  words.etal_label.clear();
  convert_option_text(words.etal, settings->visible, &words.etal_label, messages);
}

}  // namespace tolvar

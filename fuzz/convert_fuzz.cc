// libFuzzer entry for the conversion pass. The first byte picks the flags
// and a few unusual keyword strings; the rest is the .bbl text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "convert/cjk_output.h"
#include "convert/convert.h"
#include "convert/convert_state.h"
#include "shared/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t flags = data[0];
  tolvar::Settings settings;
  settings.visible = flags & 1;
  settings.cjk = flags & 2;
  settings.show_parse_errors = !(flags & 4);
  settings.words.and_ = ",~";
  settings.words.and_label = ",~";
  settings.words.etal_label.clear();
  tolvar::append_label_cjk_char(settings.visible, 0xB5, 0xC8, &settings.words.etal_label);
  if (flags & 8) {
    // Empty and one-byte replaced strings, and a lone blank for _edition.
    settings.words.in_from = "";
    settings.words.pages_from = "p";
    settings.words.chapter_from = "";
    settings.words.edition_from = " ";
    settings.words.editors_from = ",";
    settings.words.editor_from = "";
    settings.words.editors2_from = "";
    settings.words.editor2_from = "e";
  }
  if (flags & 16) {
    // Replacing strings with line ends, carets and DEL bytes.
    settings.words.and_ = "\n^^";
    settings.words.and_label = "]\x7f";
    settings.words.etal = "%\r";
    settings.words.in = "\xB5";
  }
  if (flags & 32) {
    // UTF-8 text, with the replacing strings in UTF-8 (等, 发表于: ).
    settings.encoding = tolvar::Encoding::kUtf8;
    settings.words.etal = settings.words.etal_label = "\xE7\xAD\x89";
    settings.words.in = "\xE5\x8F\x91\xE8\xA1\xA8\xE4\xBA\x8E: ";
  }
  const std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);
  std::string out;
  std::string messages;
  tolvar::convert_lines(settings, input, &out, &messages);

  if (out.compare(0, tolvar::kProcessedMarker.size(), tolvar::kProcessedMarker) != 0) {
    __builtin_trap();
  }
  // The scan's shortcut for plain runs must give what reading every
  // character one at a time gives.
  std::string reference;
  std::string reference_messages;
  tolvar::convert_lines_byte_by_byte(settings, input, &reference, &reference_messages);
  if (out != reference || messages != reference_messages) __builtin_trap();
  // Handed over a line at a time, the text must come out the same.
  std::string pieces;
  std::string piece_messages;
  const tolvar::OutputSink keep = [&pieces](std::string_view piece) {
    pieces += piece;
    return true;
  };
  tolvar::convert_lines_to(settings, input, keep, &piece_messages, 1);
  if (pieces != out || piece_messages != messages) __builtin_trap();
  return 0;
}

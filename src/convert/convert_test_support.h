// Helpers for the conversion pass's unit tests: settings with the label
// forms filled in as the run fills them, and a harness that puts one line
// under the reader's cursor.
#ifndef TOLVAR_CONVERT_CONVERT_TEST_SUPPORT_H_
#define TOLVAR_CONVERT_CONVERT_TEST_SUPPORT_H_

#include <string>
#include <string_view>
#include <utility>

#include "convert/cjk_output.h"
#include "convert/convert_state.h"
#include "shared/settings.h"

namespace tolvar {

// The built-in keyword strings after the run has finished them: `and`
// tilde-rewritten to ",~" and both label forms formed.
inline Settings finished_settings(bool visible = false, bool cjk = false) {
  Settings settings;
  settings.visible = visible;
  settings.cjk = cjk;
  settings.words.and_ = ",~";
  settings.words.and_label = ",~";
  settings.words.etal_label.clear();
  append_label_cjk_char(visible, 0xB5, 0xC8, &settings.words.etal_label);
  return settings;
}

// One line held as the line buffer holds it, with the state pointing at it.
struct LineHarness {
  explicit LineHarness(std::string_view text, unsigned char stop = 0,
                       Settings s = finished_settings())
      : settings(std::move(s)), line(text) {
    state.settings = &settings;
    state.out = &output;
    state.messages = settings.show_parse_errors ? &messages : nullptr;
    state.line_number = 7;
    state.stop_char = stop;
    state.line_start = reinterpret_cast<const unsigned char*>(line.c_str());
    state.line_limit = state.line_start + line.size();
    const size_t nul = line.find('\0');
    state.line_end = nul == std::string::npos ? state.line_limit : state.line_start + nul;
    state.cursor = state.line_start;
  }
  LineHarness(const LineHarness&) = delete;
  LineHarness& operator=(const LineHarness&) = delete;

  // Bytes between the start of the line and the cursor.
  size_t consumed() const { return static_cast<size_t>(state.cursor - state.line_start); }

  // What has been written so far.
  const std::string& out() {
    output.finish();
    return written;
  }

  Settings settings;
  std::string line;
  std::string written;
  PassOutput output{&written};
  std::string messages;
  ConvertState state;
};

}  // namespace tolvar

#endif  // TOLVAR_CONVERT_CONVERT_TEST_SUPPORT_H_

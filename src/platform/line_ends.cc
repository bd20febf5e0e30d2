#include "platform/line_ends.h"

namespace tolvar::platform {

void fold_crlf(std::string* text) {
  size_t out = 0;
  const size_t n = text->size();
  for (size_t i = 0; i < n; ++i) {
    const char c = (*text)[i];
    if (c == '\r' && i + 1 < n && (*text)[i + 1] == '\n') continue;
    (*text)[out++] = c;
  }
  text->resize(out);
}

}  // namespace tolvar::platform

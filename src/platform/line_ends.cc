#include "platform/line_ends.h"

#include <cstring>

namespace tolvar::platform {

// Most files have no CR at all, or one before every LF: the text between
// CRs is moved in blocks, never byte by byte.
void fold_crlf(std::string* text) {
  char* const data = text->data();
  char* const end = data + text->size();
  char* cr = static_cast<char*>(std::memchr(data, '\r', text->size()));
  if (cr == nullptr) return;
  char* out = cr;
  char* from = cr;  // start of the text not yet moved to `out`
  while (cr != nullptr) {
    char* const next = cr + 1;
    if (next != end && *next == '\n') {
      std::memmove(out, from, static_cast<size_t>(cr - from));
      out += cr - from;
      from = next;
    }
    cr = static_cast<char*>(std::memchr(next, '\r', static_cast<size_t>(end - next)));
  }
  std::memmove(out, from, static_cast<size_t>(end - from));
  out += end - from;
  text->resize(static_cast<size_t>(out - data));
}

}  // namespace tolvar::platform

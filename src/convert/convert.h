// The conversion pass: one forward pass over a .bbl that converts the GBK
// characters of \bibitem labels, replaces English keywords after Chinese
// text and ends Chinese label and publication lines with "%".
#ifndef TOLVAR_CONVERT_CONVERT_H_
#define TOLVAR_CONVERT_CONVERT_H_

#include <string>
#include <string_view>

#include "run/settings.h"

namespace tolvar {

// Converts `input`, the whole .bbl as the text stream delivers it (CR LF
// already folded to LF), line by line. Appends the processed marker and the
// converted text to *out, and the parse-error messages (unless
// settings.show_parse_errors is false) to *messages. Never fails: malformed
// input is reported and passed over.
//
// This function is performance-critical; please benchmark any changes.
void convert_lines(const Settings& settings, std::string_view input,
                   std::string* out, std::string* messages);

}  // namespace tolvar

#endif  // TOLVAR_CONVERT_CONVERT_H_

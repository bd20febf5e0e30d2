// The conversion pass: one forward pass over a .bbl that converts the GBK
// characters of \bibitem labels, replaces English keywords after Chinese
// text and ends Chinese label and publication lines with "%".
#ifndef TOLVAR_CONVERT_CONVERT_H_
#define TOLVAR_CONVERT_CONVERT_H_

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "shared/settings.h"

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

// Takes a piece of the converted text; false when it could not.
using OutputSink = std::function<bool(std::string_view piece)>;

// How much converted text a piece holds at least (whole lines, the last
// piece excepted): enough to make each hand-over cheap, little enough
// to stay in the cache and spare the memory of a whole copy.
inline constexpr std::size_t kOutputPieceBytes = 256 * 1024;

// Converts like convert_lines, but hands the text to `sink` in pieces of
// whole lines instead of keeping it. Returns false when the sink failed:
// the pass then goes to the end of the input, for the messages, but hands
// nothing more over.
bool convert_lines_to(const Settings& settings, std::string_view input, const OutputSink& sink,
                      std::string* messages, std::size_t piece_bytes = kOutputPieceBytes);

}  // namespace tolvar

#endif  // TOLVAR_CONVERT_CONVERT_H_

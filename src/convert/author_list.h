// Author-list words after a Chinese name: "and", "\&", "et al." and
// "et~al." become the `and` / `etal.` strings with the blanks around them
// dropped, ", and" becomes the `and` string, and a blank between a Chinese
// name and the next becomes a tie. Called by the scan only while
// chinese_seen is set, after it has read the blank or the comma.
#ifndef TOLVAR_CONVERT_AUTHOR_LIST_H_
#define TOLVAR_CONVERT_AUTHOR_LIST_H_

#include "convert/convert_state.h"

namespace tolvar {

// Both return the next character, already read and not yet written, for
// the scan to output (0..255), or -1 when nothing is left over.
int handle_author_space(ConvertState& state);
int handle_author_comma(ConvertState& state);

// BibTeX breaks a long author list at a blank, so a keyword may open the
// next line. When the line ends at the cursor, after blanks only, and the
// next line opens with "and", "\&", "et al." or "et~al." (with
// `after_comma`: "and", "et al." or "et~al."), writes the keyword's
// replacing string here, drops the blanks up to the line end, sets
// chinese_seen and makes the next line drop the keyword and the blanks
// after it. Returns whether it did.
bool replace_keyword_opening_next_line(ConvertState& state, bool after_comma);

}  // namespace tolvar

#endif  // TOLVAR_CONVERT_AUTHOR_LIST_H_

// The sort step: reorders the \bibitem entries of a .bbl by the sort key of
// each entry's author line, stably.
#ifndef TOLVAR_SORT_SORT_BIBITEMS_H_
#define TOLVAR_SORT_SORT_BIBITEMS_H_

#include <string>
#include <string_view>

#include "run/settings.h"

namespace tolvar {

struct PinyinDictionary;

// Reorders the entries of `input` (the whole .bbl, CR LF folded to LF)
// under settings.sort_mode (not kNone) and appends the rewritten text to
// *out. `dictionary` is required in pinyin mode and ignored otherwise.
// Returns true on success; on failure appends a message to *messages and
// leaves *out unspecified.
bool sort_bibitems(const Settings& settings, const PinyinDictionary* dictionary,
                   std::string_view input, std::string* out, std::string* messages);

}  // namespace tolvar

#endif  // TOLVAR_SORT_SORT_BIBITEMS_H_

// Line ends as a text stream sees them, for both systems.
#ifndef TOLVAR_PLATFORM_LINE_ENDS_H_
#define TOLVAR_PLATFORM_LINE_ENDS_H_

#include <string>

namespace tolvar::platform {

// Folds every CR LF pair to LF in place, as a text stream reads it; a lone
// CR stays.
void fold_crlf(std::string* text);

}  // namespace tolvar::platform

#endif  // TOLVAR_PLATFORM_LINE_ENDS_H_

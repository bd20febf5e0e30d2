#include "sort/gbk_tables.h"

namespace tolvar {

// Placeholder until the generated tables land.
uint16_t gbk_to_unicode(int) { return 0; }
std::string_view stroke_sequence(int) { return {}; }

}  // namespace tolvar

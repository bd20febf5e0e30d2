#include "sort/sort_bibitems.h"

namespace tolvar {

// Placeholder until sorting lands: the entries keep their order.
bool sort_bibitems(const Settings&, const PinyinDictionary*, std::string_view input,
                   std::string* out, std::string*) {
  out->append(input);
  return true;
}

}  // namespace tolvar

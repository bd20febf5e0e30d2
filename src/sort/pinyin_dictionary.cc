#include "sort/pinyin_dictionary.h"

namespace tolvar {

// Placeholder until the dictionary loader lands.
void parse_pinyin_dictionary(std::string_view, std::string_view, PinyinDictionary*, std::string*) {}

int load_pinyin_dictionary(const SearchPlaces&, PinyinDictionary*, std::string* messages) {
  messages->append("Failed to open GBK2py.inf!\n");
  return -1;
}

}  // namespace tolvar

// Finding and reading GBK2py.inf; the parsing is in pinyin_dictionary.cc.
#include <new>
#include <optional>

#include "platform/platform.h"
#include "run/data_file.h"
#include "sort/gbk_tables.h"
#include "sort/pinyin_dictionary.h"

namespace tolvar {

int load_pinyin_dictionary(const SearchPlaces& places, PinyinDictionary* dictionary,
                           std::string* messages) {
  const std::optional<std::string> path = find_data_file("GBK2py.inf", places);
  std::string text;
  if (!path || !platform::read_text_file(*path, &text)) {
    messages->append("Failed to open GBK2py.inf!\n");
    return -1;
  }
  try {
    parse_pinyin_dictionary(text, *path, dictionary, messages);
  } catch (const std::bad_alloc&) {
    messages->append("System memory is not enough to allocate " +
                     std::to_string(kGbkCharacterCount * 22) + " bytes!\n");
    return -1;
  }
  return 1;
}

}  // namespace tolvar

// The pinyin dictionary the program ships, data/GBK2py.inf, read once for
// the tests that order real names. Needs TOLVAR_DATA_DIR.
#ifndef TOLVAR_TESTS_SHIPPED_DICTIONARY_H_
#define TOLVAR_TESTS_SHIPPED_DICTIONARY_H_

#include <fstream>
#include <sstream>
#include <string>

#include "shared/pinyin_dictionary.h"

namespace tolvar {

inline const PinyinDictionary& shipped_dictionary() {
  static const PinyinDictionary dictionary = [] {
    std::ifstream in(TOLVAR_DATA_DIR "/GBK2py.inf", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    PinyinDictionary d;
    std::string messages;
    parse_pinyin_dictionary(text.str(), "GBK2py.inf", &d, &messages);
    return d;
  }();
  return dictionary;
}

}  // namespace tolvar

#endif  // TOLVAR_TESTS_SHIPPED_DICTIONARY_H_

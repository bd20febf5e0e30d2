// The pinyin dictionary GBK2py.inf: readings of every GBK character and
// the compound surnames.
#ifndef TOLVAR_SORT_PINYIN_DICTIONARY_H_
#define TOLVAR_SORT_PINYIN_DICTIONARY_H_

#include <string>
#include <string_view>
#include <vector>

namespace tolvar {

struct SearchPlaces;

struct CharacterReadings {
  std::string ordinary;
  std::string surname;
};

struct CompoundSurname {
  std::string characters;  // two GBK characters, 4 bytes
  std::string first_reading;
  std::string second_reading;
};

struct PinyinDictionary {
  std::vector<CharacterReadings> characters;  // indexed by GBK index
  std::vector<CompoundSurname> compounds;     // in file order
};

// Parses the text of a dictionary file (CR LF folded). Malformed content
// is taken as described for the file format; lines that fit no record are
// reported in *messages with `file_name` and their line number.
void parse_pinyin_dictionary(std::string_view text, std::string_view file_name,
                             PinyinDictionary* dictionary, std::string* messages);

// Finds GBK2py.inf with the data file search and loads it. Returns 1, or
// -1 after appending "Failed to open GBK2py.inf!\n" to *messages.
int load_pinyin_dictionary(const SearchPlaces& places, PinyinDictionary* dictionary,
                           std::string* messages);

}  // namespace tolvar

#endif  // TOLVAR_SORT_PINYIN_DICTIONARY_H_

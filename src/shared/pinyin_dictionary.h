// The pinyin dictionary GBK2py.inf: readings of every GBK character and
// the compound surnames.
#ifndef TOLVAR_SHARED_PINYIN_DICTIONARY_H_
#define TOLVAR_SHARED_PINYIN_DICTIONARY_H_

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
  std::vector<CharacterReadings> characters;  // indexed by GBK index, 23940 records
  std::vector<CompoundSurname> compounds;     // in file order; each `characters` is 4 bytes
};

// Parses the text of a dictionary file (CR LF folded) into *dictionary,
// replacing what it held. Lines starting with '%', CR or LF are skipped;
// "[特殊复姓=N" and "[GBK单字=" open the compound and character sections,
// whose record lines are numbered from 0 again at each header. A character
// line is "%c%c %s %s" (the record number, not the bytes, picks the
// character); a compound line "%s %s %s". Readings are kept whole, however
// long. Lines that fit no record (before any header, past the 23940th
// character line or the compound count, a compound that is not 4 bytes)
// are ignored, each reported in *messages as "<file_name>:<line>: ...\n".
void parse_pinyin_dictionary(std::string_view text, std::string_view file_name,
                             PinyinDictionary* dictionary, std::string* messages);

// Finds GBK2py.inf with the data file search and loads it. Returns 1
// (reports of ignored lines may have been appended to *messages), or -1
// after appending "Failed to open GBK2py.inf!\n" (or the out-of-memory
// message) to *messages.
int load_pinyin_dictionary(const SearchPlaces& places, PinyinDictionary* dictionary,
                           std::string* messages);

}  // namespace tolvar

#endif  // TOLVAR_SHARED_PINYIN_DICTIONARY_H_

// The sort key that a .bib entry gets: text that BibTeX and biber both
// order the way the sort step orders the same names in a .bbl.
//
// A key holds lower-case ASCII letters, digits and single blanks only.
// BibTeX compares keys as bytes after purify$ and lower-casing, biber by
// the Unicode collation with blanks not ignored; for such text both agree:
// a blank before every digit, digits before letters, a shorter key before
// a longer one that it begins. The key is a list of words, one or more per
// character, and the words are chosen so that comparing keys word by word
// gives the order of the sort step:
//
// - pinyin: a character's syllable with its tone digit ("zeng1"), read as
//   the name reading decides; the characters that share a reading order by
//   their GBK codes in the sort step, so all but the first of them get a
//   letter after the tone digit: "a" to "y" for the 2nd to 26th, "z" and
//   two letters after that ("zhang1", "zhang1d"). A character without a
//   reading is "0" and its five-digit place in that order.
// - bishun: the character's stroke digits ("134"); bihuashu: its stroke
//   count in two digits, then the digits ("03134"); unicode: its code
//   point in five hex digits ("04e00"). A character without such data is
//   "000". Where the sort step ends a run of characters (at a blank, or
//   where other text starts) the key has "00".
// - every order: "0" between two names; other text (Latin letters and
//   digits) as "zz" and the text in lower case, after every Chinese word; a
//   character that GBK lacks as "zy" and its code point in six hex digits,
//   after every character of GBK.
#ifndef TOLVAR_BIB_BIB_KEY_H_
#define TOLVAR_BIB_BIB_KEY_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "shared/char_model.h"
#include "shared/name_reading.h"
#include "shared/settings.h"

namespace tolvar {

// The place of each character among those that share one of its readings,
// in the order of their GBK codes (lead byte, then trail byte taken as
// signed), as the sort step orders homophones.
struct HomophoneRanks {
  std::vector<std::uint16_t> ordinary;  // by GBK index: rank under the ordinary reading
  std::vector<std::uint16_t> surname;   // under the surname reading
  // Ranks under the readings a compound surname gives its characters:
  // (GBK index, packed reading, rank).
  struct Extra {
    int index;
    std::uint64_t reading;
    std::uint16_t rank;
  };
  std::vector<Extra> extras;
};

void build_homophone_ranks(const PinyinDictionary& dictionary, HomophoneRanks* ranks);

// What key building reads.
struct BibKeyContext {
  SortMode mode = SortMode::kPinyin;
  CharModel model;
  const PinyinDictionary* dictionary = nullptr;  // pinyin only
  const CompoundIndex* compounds = nullptr;      // pinyin only, may be null
  const HomophoneRanks* ranks = nullptr;         // pinyin only
};

// One name of an author or editor list, as the key reads it: its parts in
// reading order, "last" then "first" (then "jr") for "last, first" and
// "last, jr, first"; views into the value.
struct BibName {
  std::string_view parts[3];
  bool organisation = false;  // the whole name was one brace group: no surname
};

// The names of a name list value up to "others", in key order. They point
// into `value`.
std::vector<BibName> bib_names(std::string_view value);

// Whether the text or name starts with a Chinese character (braces and
// blanks before it aside).
bool starts_chinese(const CharModel& model, std::string_view text);
bool starts_chinese(const CharModel& model, const BibName& name);

// The words of one name's key, joined by single blanks; *syllables (when
// given) receives the pinyin syllables without tones, one after the other
// ("zengguofan"), to check a key written by hand.
std::string name_key(const BibKeyContext& context, const BibName& name, std::string* syllables = nullptr);

// The key of a whole name list: the names' keys joined by " 0 ".
std::string names_key(const BibKeyContext& context, const std::vector<BibName>& names,
                      std::string* syllables = nullptr);

// The same as a name list for biber's sortname: "{...} and {...}".
std::string names_sortname(const BibKeyContext& context, const std::vector<BibName>& names,
                           std::string* syllables = nullptr);

}  // namespace tolvar

#endif  // TOLVAR_BIB_BIB_KEY_H_

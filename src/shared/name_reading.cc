#include "shared/name_reading.h"

#include <algorithm>

#include "shared/gbk_tables.h"

namespace tolvar {
namespace {

constexpr char fold_case(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }

bool starts_with_folded(std::string_view text, size_t i, std::string_view word) {
  if (i > text.size() || text.size() - i < word.size()) return false;
  for (size_t k = 0; k < word.size(); ++k) {
    if (fold_case(text[i + k]) != fold_case(word[k])) return false;
  }
  return true;
}

const unsigned char* bytes_at(std::string_view text, size_t i) {
  return reinterpret_cast<const unsigned char*>(text.data() + i);
}

// The four bytes of two GBK characters as one number.
std::uint32_t pack(std::string_view four) {
  std::uint32_t packed = 0;
  for (char c : four) packed = packed << 8 | static_cast<unsigned char>(c);
  return packed;
}

// Whether a compound surname in `index` may start with the two bytes at
// `pair`; always without an index.
bool may_start_compound(const CompoundIndex* index, const char* pair) {
  if (index == nullptr) return true;
  const std::uint32_t value = static_cast<unsigned char>(pair[0]) << 8 | static_cast<unsigned char>(pair[1]);
  return (index->first_pairs[value / 64] >> (value % 64) & 1) != 0;
}

// The first compound surname, in file order, whose characters are `four`:
// from the index when there is one (null otherwise).
const CompoundSurname* compound_of(const PinyinDictionary& dictionary, const CompoundIndex* index,
                                   std::string_view four) {
  if (index != nullptr) {
    const std::pair<std::uint32_t, std::uint32_t> wanted(pack(four), 0);
    const auto found = std::lower_bound(index->by_bytes.begin(), index->by_bytes.end(), wanted);
    if (found == index->by_bytes.end() || found->first != wanted.first) return nullptr;
    return &dictionary.compounds[found->second];
  }
  for (const CompoundSurname& compound : dictionary.compounds) {
    if (compound.characters.size() == 4 && compound.characters == four) return &compound;
  }
  return nullptr;
}

// The GBK pair of the character of `length` bytes at `name[i]` in *pair;
// false when GBK lacks it.
bool gbk_pair(const CharModel& model, std::string_view name, size_t i, size_t length, char (&pair)[2]) {
  const int code = gbk_code_of(model, bytes_at(name, i), length);
  if (code < 0) return false;
  pair[0] = static_cast<char>(code >> 8);
  pair[1] = static_cast<char>(code & 0xFF);
  return true;
}

// A compound surname whose two characters start the name at `i` (the first
// of them `length` bytes long, its GBK pair `first`), or null. A GBK name
// is compared as it stands; other text through the GBK pairs of its
// characters.
const CompoundSurname* find_compound(const NameReader& reader, std::string_view name, size_t i,
                                     size_t length, const char (&first)[2]) {
  const CharModel& model = reader.model;
  std::string_view four;
  char pairs[4];
  if (model.encoding() == Encoding::kGbk) {
    if (name.size() - i < 4 || !may_start_compound(reader.compounds, name.data() + i)) return nullptr;
    four = name.substr(i, 4);
  } else {
    char second[2];
    if (!may_start_compound(reader.compounds, first)) return nullptr;
    const size_t second_length = chinese_at(model, name, i + length);
    if (second_length == 0 || !gbk_pair(model, name, i + length, second_length, second)) return nullptr;
    std::copy(first, first + 2, pairs);
    std::copy(second, second + 2, pairs + 2);
    four = {pairs, 4};
  }
  return compound_of(*reader.dictionary, reader.compounds, four);
}

// A reading up to a NUL byte, which would end a name key.
// (Readings are a few bytes: a loop costs less than a call to search them.)
std::string_view up_to_nul(std::string_view reading) {
  size_t length = 0;
  while (length < reading.size() && reading[length] != '\0') ++length;
  return reading.substr(0, length);
}

std::string_view dictionary_reading(const NameReader& reader, int index, bool surname) {
  const PinyinDictionary& dictionary = *reader.dictionary;
  if (index < 0 || static_cast<size_t>(index) >= dictionary.characters.size()) return {};
  const CharacterReadings& readings = dictionary.characters[index];
  return up_to_nul(surname ? readings.surname : readings.ordinary);
}

}  // namespace

void build_compound_index(const PinyinDictionary& dictionary, CompoundIndex* index) {
  index->dictionary = &dictionary;
  index->by_bytes.clear();
  for (size_t k = 0; k < dictionary.compounds.size(); ++k) {
    const std::string& characters = dictionary.compounds[k].characters;
    if (characters.size() != 4) continue;
    index->by_bytes.emplace_back(pack(characters), static_cast<std::uint32_t>(k));
  }
  std::sort(index->by_bytes.begin(), index->by_bytes.end());
  index->first_pairs.assign((1 << 16) / 64, 0);
  for (const auto& [packed, position] : index->by_bytes) {
    const std::uint32_t pair = packed >> 16;
    index->first_pairs[pair / 64] |= std::uint64_t{1} << (pair % 64);
  }
}

CharacterReading read_chinese_character(const NameReader& reader, std::string_view name, size_t i,
                                        size_t length, bool* first_character) {
  CharacterReading result;
  char pair[2];
  const bool in_gbk = gbk_pair(reader.model, name, i, length, pair);
  if (in_gbk) result.index = gbk_index(reinterpret_cast<const unsigned char*>(pair));
  if (*first_character && in_gbk) {
    if (const CompoundSurname* compound = find_compound(reader, name, i, length, pair)) {
      result.second_length = chinese_at(reader.model, name, i + length);
      char second[2];
      if (gbk_pair(reader.model, name, i + length, result.second_length, second)) {
        result.second_index = gbk_index(reinterpret_cast<const unsigned char*>(second));
      }
      result.consumed = length + result.second_length;
      result.source = ReadingSource::kCompound;
      result.reading = up_to_nul(compound->first_reading);
      result.second_reading = up_to_nul(compound->second_reading);
      *first_character = false;
      return result;
    }
  }
  if (starts_with_folded(name, i + length, kPinyinMacro)) {
    const size_t begin = i + length + kPinyinMacro.size();
    const size_t close = std::min(name.find('}', begin), name.size());
    result.source = ReadingSource::kExplicit;
    result.reading = up_to_nul(name.substr(begin, close - begin));
    result.consumed = (close == name.size() ? close : close + 1) - i;
    return result;
  }
  result.consumed = length;
  result.source = *first_character ? ReadingSource::kSurname : ReadingSource::kOrdinary;
  if (in_gbk) result.reading = dictionary_reading(reader, result.index, *first_character);
  *first_character = false;
  return result;
}

}  // namespace tolvar

// libFuzzer target for the key pass over a .bib: whatever the input, the
// output with the added fields taken out is the input, byte for byte; the
// added values are key text; a second pass over the output adds nothing.
//
// The first byte picks the order, the encoding, the field and whether
// existing fields are replaced; the rest is the file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

#include "bib/bib_file.h"
#include "bib/bib_key.h"
#include "bib/bib_keys.h"
#include "shared/pinyin_dictionary.h"

#ifndef TOLVAR_DATA_DIR
#define TOLVAR_DATA_DIR "data"
#endif

namespace {

using namespace tolvar;

struct Tables {
  PinyinDictionary dictionary;
  CompoundIndex compounds;
  HomophoneRanks ranks;
  Tables() {
    std::ifstream in(TOLVAR_DATA_DIR "/GBK2py.inf", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::string messages;
    parse_pinyin_dictionary(text.str(), "GBK2py.inf", &dictionary, &messages);
    if (dictionary.characters.empty()) std::abort();
    build_compound_index(dictionary, &compounds);
    build_homophone_ranks(dictionary, &ranks);
  }
};

void check(bool condition) {
  if (!condition) std::abort();
}

bool is_value_text(std::string_view value, bool name_list) {
  for (char c : value) {
    const bool key_byte = c == ' ' || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z');
    if (!key_byte && !(name_list && (c == '{' || c == '}'))) return false;
  }
  return true;
}

// Takes the fields the pass added out of `output`: each entry of the output
// that has one more field than the same entry of the input loses the
// stretch from that new first field to the next field.
std::string without_added_fields(std::string_view input, std::string_view output, std::string_view field,
                                 bool name_list) {
  BibFile before, after;
  read_bib_file(input, &before);
  read_bib_file(output, &after);
  check(before.entries.size() == after.entries.size());
  check(before.problems.size() == after.problems.size());
  std::string restored;
  size_t copied = 0;
  for (size_t k = 0; k < after.entries.size(); ++k) {
    const BibEntry& old_entry = before.entries[k];
    const BibEntry& new_entry = after.entries[k];
    if (new_entry.fields.size() == old_entry.fields.size()) continue;
    check(new_entry.fields.size() == old_entry.fields.size() + 1);
    const BibField& added = new_entry.fields[0];
    check(added.name == field);
    check(is_value_text(added.value, name_list));
    restored.append(output.substr(copied, added.name_span.begin - copied));
    copied = new_entry.fields[1].name_span.begin;
  }
  restored.append(output.substr(copied));
  return restored;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const Tables tables;
  if (size == 0) return 0;
  const uint8_t options_byte = data[0];
  const std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);

  static constexpr SortMode kModes[] = {SortMode::kPinyin, SortMode::kBishun, SortMode::kBihuashu,
                                        SortMode::kUnicode};
  BibKeyContext context;
  context.mode = kModes[options_byte & 3];
  context.model = CharModel(options_byte & 4 ? Encoding::kUtf8 : Encoding::kGbk);
  context.dictionary = &tables.dictionary;
  context.compounds = &tables.compounds;
  context.ranks = &tables.ranks;
  BibKeysOptions options;
  const bool name_list = (options_byte & 8) != 0;
  options.field = name_list ? "sortname" : "key";
  options.replace = (options_byte & 16) != 0;

  BibKeysResult result;
  std::string messages;
  add_bib_keys(context, options, input, "fuzz.bib", &result, &messages);
  const std::string output = result.changed ? result.text : std::string(input);
  check(result.changed == (output != input));
  if (!options.replace) {
    check(result.replaced == 0);
    check(without_added_fields(input, output, options.field, name_list) == input);
  }
  // Every key is there now: a second pass changes nothing.
  BibKeysResult again;
  std::string again_messages;
  add_bib_keys(context, options, output, "fuzz.bib", &again, &again_messages);
  check(!again.changed);
  check(again.added == 0);
  return 0;
}

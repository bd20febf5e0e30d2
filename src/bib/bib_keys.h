// The key pass over one .bib file: bytes in, bytes out. Every entry whose
// first name (of the author list, or of the editors when there is no
// author) is Chinese gets a sort-key field; nothing else of the file
// changes.
#ifndef TOLVAR_BIB_BIB_KEYS_H_
#define TOLVAR_BIB_BIB_KEYS_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "bib/bib_key.h"

namespace tolvar {

struct BibKeysOptions {
  std::string field = "key";  // the field written; "sortname" is written as a name list
  bool replace = false;       // replace a field of that name that is there already
};

struct BibKeysResult {
  std::string text;     // the file with the keys, when `changed`
  bool changed = false;
  size_t added = 0;     // fields added
  size_t replaced = 0;  // fields whose value was replaced
  size_t kept = 0;      // fields that were there and stay
};

// Keys `text`, the bytes of the file `file_name` (named in messages).
// Appends to *messages one line for each entry that could not be read
// ("<file>:<line>: ...") and for each key already there whose readings
// disagree with the key's own (pinyin order only).
//
// The new field goes before the entry's first field and copies its
// layout: the white space before it (line end included), the column of its
// "=", the blanks around the "=" and its delimiter.
void add_bib_keys(const BibKeyContext& context, const BibKeysOptions& options, std::string_view text,
                  std::string_view file_name, BibKeysResult* result, std::string* messages);

}  // namespace tolvar

#endif  // TOLVAR_BIB_BIB_KEYS_H_

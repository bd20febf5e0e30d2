// Output of the characters the scan reads: GBK characters of a \bibitem
// label in the "^^7f" form (write_label_cjk_char, convert_label_char), and
// everything else as raw bytes (copy_char). Both keep chinese_seen and
// in_control_word up to date.
#ifndef TOLVAR_CONVERT_CJK_OUTPUT_H_
#define TOLVAR_CONVERT_CJK_OUTPUT_H_

#include <string>

#include "convert/convert_state.h"

namespace tolvar {

// Appends the label form of the GBK character `lead` `trail`: invisible
// (DEL, lead, DEL, trail in decimal, DEL) or visible
// ("^^7f^^b5^^7f200^^7f" for B5 C8).
void append_label_cjk_char(bool visible, unsigned char lead, unsigned char trail,
                           std::string* out);

// Writes the GBK character in the form the visible flag selects.
void write_label_cjk_char(ConvertState& state, unsigned char lead, unsigned char trail);

// With the cursor just after a DEL that the reader returned: recognises
// the rest of an existing "^^7f" triple (lead, DEL, digits, DEL; each part
// raw or in caret notation) and writes it as "^^7f" plus its bytes as they
// stand. Returns false, having written nothing, when it is not one.
bool reemit_label_triple(ConvertState& state);

// Writes state.current inside a label (unless -cjk). A bad lead byte is
// reported and dropped; state.current then becomes the byte after it.
void convert_label_char(ConvertState& state);

// Writes state.current as a raw byte or a raw GBK pair. A bad lead byte is
// reported and dropped; state.current then becomes the byte after it.
void copy_char(ConvertState& state);

}  // namespace tolvar

#endif  // TOLVAR_CONVERT_CJK_OUTPUT_H_

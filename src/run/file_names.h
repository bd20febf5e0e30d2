// The names a run works with, derived from the file-name argument.
#ifndef TOLVAR_RUN_FILE_NAMES_H_
#define TOLVAR_RUN_FILE_NAMES_H_

#include <string>
#include <string_view>

namespace tolvar {

struct RunFileNames {
  std::string base;  // given to bibtex
  std::string bbl;   // read, backed up and replaced
  std::string tmp;   // bbl + ".tmp", the output while the run works
  std::string bak;   // bbl + ".bak", the previous .bbl after the run
};

// The suffix is looked for in the last path component only: ".bbl", ".tex"
// and ".aux" (any letter case) and a lone trailing '.' are cut off to give
// the base name; any other name is the base name whole. The .bbl name is
// the argument itself when it ends in ".bbl", else the base name + ".bbl".
// The argument's bytes are kept as typed.
RunFileNames derive_file_names(std::string_view argument);

}  // namespace tolvar

#endif  // TOLVAR_RUN_FILE_NAMES_H_

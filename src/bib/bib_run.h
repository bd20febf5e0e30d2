// The run of -keys: from the file-name argument to the .bib files keyed
// and safely replaced.
#ifndef TOLVAR_BIB_BIB_RUN_H_
#define TOLVAR_BIB_BIB_RUN_H_

#include <ostream>
#include <string>

#include "shared/data_file.h"
#include "shared/env.h"
#include "shared/settings.h"

namespace tolvar {

// Keys the .bib file `argument` names, or, for a document's base name
// (with or without .tex, .aux or .bcf), the .bib files its .bcf (biber)
// or else its .aux (BibTeX) names, looked for as given and then beside the
// document. A file in a TeX tree is left alone. A file with nothing to add
// is not written; a changed one keeps its previous bytes as FILE.bib.bak,
// beside the file that a symbolic link leads to. Progress goes to `out`
// (silenced by -s), failures to `err`. A file the document names that is
// found nowhere beside it is reported and left to the backend (it may
// lie in a TeX tree). Returns the exit code: 0 when every file found was
// keyed or had nothing to add, 1 otherwise.
int run_bib_keys(const Settings& settings, const std::string& argument, const SearchPlaces& places,
                 Env& env, std::ostream& out, std::ostream& err);

}  // namespace tolvar

#endif  // TOLVAR_BIB_BIB_RUN_H_

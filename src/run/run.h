// The run: from the configuration file and the command line to the final
// rotation of the .bbl, its backup and the temporary file.
#ifndef TOLVAR_RUN_RUN_H_
#define TOLVAR_RUN_RUN_H_

#include <ostream>
#include <string>
#include <vector>

#include "shared/data_file.h"
#include "shared/env.h"

namespace tolvar {

// Runs the program on `args` (the arguments after the program's own path):
// reads tolvar.cfg from `places`, parses the options, makes sure an
// unprocessed .bbl exists (running bibtex when it is missing, empty or
// already processed), sorts it when asked, converts it and makes the result
// the .bbl, the old one the .bak. Progress goes to `out` (silenced by -s),
// failures to `err`. Returns the exit code: 0 after a complete run, 1
// otherwise. A failing run leaves no temporary file behind, except when the
// last rename fails: then the temporary file holds the result.
int run_tolvar(const std::vector<std::string>& args, const SearchPlaces& places, Env& env,
               std::ostream& out, std::ostream& err);

}  // namespace tolvar

#endif  // TOLVAR_RUN_RUN_H_

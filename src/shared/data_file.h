// The data file search, used for tolvar.cfg and GBK2py.inf.
#ifndef TOLVAR_SHARED_DATA_FILE_H_
#define TOLVAR_SHARED_DATA_FILE_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tolvar {

// Where data files are looked for, in this order: the current directory,
// the program directory, each directory of the search path, the installed
// data directory. Directories end in a separator or are empty.
struct SearchPlaces {
  std::string program_directory;
  std::vector<std::string> search_path;
  std::string installed_data_directory;
};

// The places of the running program (from the environment).
SearchPlaces default_search_places(const char* argv0);

// The names under which `name` is looked for, in order: the name itself
// (current directory), then each non-empty place followed by the name.
std::vector<std::string> data_file_candidates(std::string_view name, const SearchPlaces& places);

// Returns the name under which `name` was found and can be read, or
// nothing when it is found nowhere.
std::optional<std::string> find_data_file(std::string_view name, const SearchPlaces& places);

}  // namespace tolvar

#endif  // TOLVAR_SHARED_DATA_FILE_H_

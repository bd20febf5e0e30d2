#include "shared/data_file.h"

#include "platform/platform.h"

namespace tolvar {

SearchPlaces default_search_places(const char* argv0) {
  SearchPlaces places;
  places.program_directory = platform::program_directory(argv0);
  places.search_path = platform::search_path_directories();
  places.installed_data_directory = platform::installed_data_directory(places.program_directory);
  return places;
}

std::vector<std::string> data_file_candidates(std::string_view name, const SearchPlaces& places) {
  std::vector<std::string> candidates;
  candidates.emplace_back(name);
  if (!places.program_directory.empty()) candidates.push_back(places.program_directory + std::string(name));
  // A search-path directory is empty when it stands for the current
  // directory; it is tried again where it stands in the list.
  for (const std::string& dir : places.search_path) candidates.push_back(dir + std::string(name));
  if (!places.installed_data_directory.empty())
    candidates.push_back(places.installed_data_directory + std::string(name));
  return candidates;
}

std::optional<std::string> find_data_file(std::string_view name, const SearchPlaces& places) {
  for (const std::string& candidate : data_file_candidates(name, places)) {
    if (platform::is_readable_file(candidate)) return candidate;
  }
  return std::nullopt;
}

}  // namespace tolvar

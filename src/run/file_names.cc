#include "run/file_names.h"

#include "platform/platform.h"

namespace tolvar {

namespace {

bool equals_nocase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
    if (x != b[i]) return false;
  }
  return true;
}

}  // namespace

RunFileNames derive_file_names(std::string_view argument) {
  RunFileNames names;
  const size_t component = platform::last_component_start(argument);
  size_t dot = argument.rfind('.');
  // A dot that opens the component (".bbl", "..") names a file, not a suffix.
  if (dot == std::string_view::npos || dot <= component) dot = argument.size();
  std::string_view suffix = argument.substr(dot);
  const bool is_bbl = equals_nocase(suffix, ".bbl");
  if (is_bbl || equals_nocase(suffix, ".tex") || equals_nocase(suffix, ".aux") || suffix == ".") {
    names.base = std::string(argument.substr(0, dot));
  } else {
    names.base = std::string(argument);
  }
  names.bbl = is_bbl ? std::string(argument) : names.base + ".bbl";
  names.tmp = names.bbl + ".tmp";
  names.bak = names.bbl + ".bak";
  return names;
}

}  // namespace tolvar

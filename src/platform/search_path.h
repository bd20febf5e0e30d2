// Splitting a search-path variable into directories, for both systems'
// conventions, so that either can be tested on any host.
#ifndef TOLVAR_PLATFORM_SEARCH_PATH_H_
#define TOLVAR_PLATFORM_SEARCH_PATH_H_

#include <string>
#include <string_view>
#include <vector>

namespace tolvar::platform {

enum class PathStyle {
  // PATH: elements split at ':', '/' separates directories; an empty
  // element (leading, trailing or doubled ':') is the current directory,
  // as the shell treats it.
  kPosix,
  // Path: elements split at ';', '\\' or '/' separates directories; an
  // empty element is the root directory of the current drive; a ';' at the
  // very end adds no element.
  kWindows,
};

// The directories of a search-path value, in order, each ready to have a
// file name appended: ending in a separator, or empty for the current
// directory. An empty value gives no directories.
std::vector<std::string> split_search_path(std::string_view value, PathStyle style);

}  // namespace tolvar::platform

#endif  // TOLVAR_PLATFORM_SEARCH_PATH_H_

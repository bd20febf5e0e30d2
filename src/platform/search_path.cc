#include "platform/search_path.h"

namespace tolvar::platform {

namespace {

std::string as_directory(std::string_view element, PathStyle style) {
  if (style == PathStyle::kPosix) {
    if (element.empty()) return std::string();  // the current directory
    std::string dir(element);
    if (dir.back() != '/') dir += '/';
    return dir;
  }
  std::string dir(element);
  if (dir.empty() || (dir.back() != '\\' && dir.back() != '/')) dir += '\\';
  return dir;
}

}  // namespace

std::vector<std::string> split_search_path(std::string_view value, PathStyle style) {
  std::vector<std::string> dirs;
  if (value.empty()) return dirs;
  const char list_separator = style == PathStyle::kPosix ? ':' : ';';
  size_t start = 0;
  while (true) {
    size_t end = value.find(list_separator, start);
    if (end == std::string_view::npos) {
      // A trailing ';' on Windows ends the list; a trailing ':' on POSIX
      // names the current directory once more.
      if (start < value.size() || style == PathStyle::kPosix)
        dirs.push_back(as_directory(value.substr(start), style));
      break;
    }
    dirs.push_back(as_directory(value.substr(start, end - start), style));
    start = end + 1;
  }
  return dirs;
}

}  // namespace tolvar::platform

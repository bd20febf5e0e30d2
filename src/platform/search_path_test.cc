#include "platform/search_path.h"

#include <gtest/gtest.h>

namespace tolvar::platform {
namespace {

using Dirs = std::vector<std::string>;

TEST(SplitSearchPath, Posix) {
  const struct {
    const char* value;
    Dirs want;
  } cases[] = {
      {"", {}},
      {"/usr/bin", {"/usr/bin/"}},
      {"/usr/bin:/bin/", {"/usr/bin/", "/bin/"}},
      {"/a::/b", {"/a/", "", "/b/"}},
      {":/a", {"", "/a/"}},
      {"/a:", {"/a/", ""}},
      {":", {"", ""}},
      {"rel/dir:/x", {"rel/dir/", "/x/"}},
  };
  for (const auto& c : cases) EXPECT_EQ(split_search_path(c.value, PathStyle::kPosix), c.want) << c.value;
}

TEST(SplitSearchPath, Windows) {
  const struct {
    const char* value;
    Dirs want;
  } cases[] = {
      {"", {}},
      {"C:\\a;D:\\b\\", {"C:\\a\\", "D:\\b\\"}},
      {"C:\\a;;D:/b/", {"C:\\a\\", "\\", "D:/b/"}},
      {";C:\\a", {"\\", "C:\\a\\"}},
      {"C:\\a;", {"C:\\a\\"}},
      {"C:\\a:b", {"C:\\a:b\\"}},
  };
  for (const auto& c : cases) EXPECT_EQ(split_search_path(c.value, PathStyle::kWindows), c.want) << c.value;
}

}  // namespace
}  // namespace tolvar::platform

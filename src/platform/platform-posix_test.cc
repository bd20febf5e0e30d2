#include "platform/platform.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "tests/temp_dir.h"

namespace tolvar::platform {
namespace {

using tolvar::testing::read_bytes;
using tolvar::testing::TempDir;
using tolvar::testing::write_bytes;

TEST(Platform, RenameNeverReplacesAnExistingFile) {
  TempDir dir;
  const std::string a = dir.file("a"), b = dir.file("b"), c = dir.file("c");
  write_bytes(a, "first");
  write_bytes(b, "second");
  EXPECT_FALSE(rename_file(a, b));
  EXPECT_EQ(read_bytes(a), "first");
  EXPECT_EQ(read_bytes(b), "second");
  EXPECT_TRUE(rename_file(a, c));
  EXPECT_FALSE(file_exists(a));
  EXPECT_EQ(read_bytes(c), "first");
  EXPECT_FALSE(rename_file(dir.file("missing"), dir.file("d")));
}

TEST(Platform, ReadFoldsCrLfOnlyAndRefusesDirectories) {
  TempDir dir;
  const std::string name = dir.file("f");
  const struct {
    std::string bytes;
    std::string want;
  } cases[] = {
      {"a\r\nb\r\n", "a\nb\n"}, {"a\rb\n\r", "a\rb\n\r"}, {"\r\r\n", "\r\n"},
      {"x", "x"},               {"", ""},                 {std::string("a\0b", 3), std::string("a\0b", 3)},
  };
  // Large files are mapped unless they hold CR LF: both roads fold alike.
  const std::string large(100 * 1024, 'x');
  for (const auto& c : cases) {
    for (const std::string& tail : {std::string(), large}) {
      write_bytes(name, c.bytes + tail);
      std::string got;
      ASSERT_TRUE(read_text_file(name, &got));
      EXPECT_EQ(got, c.want + tail);
      FileText text;
      ASSERT_TRUE(read_file_text(name, &text));
      EXPECT_EQ(text.view(), c.want + tail);
    }
  }
  std::string got;
  FileText text;
  EXPECT_FALSE(read_text_file(dir.path().string(), &got));
  EXPECT_FALSE(read_text_file(dir.file("missing"), &got));
  EXPECT_FALSE(read_file_text(dir.path().string(), &text));
  EXPECT_FALSE(read_file_text(dir.file("missing"), &text));
  EXPECT_FALSE(is_readable_file(dir.path().string()));
  EXPECT_TRUE(is_readable_file(name));
  // A mapped file stays readable once it is gone from its folder.
  ASSERT_TRUE(read_file_text(name, &text));
  ASSERT_TRUE(remove_file(name));
  EXPECT_EQ(text.view(), cases[5].want + large);
}

TEST(Platform, WriteAndExistence) {
  TempDir dir;
  const std::string name = dir.file("w");
  EXPECT_FALSE(file_exists(name));
  EXPECT_FALSE(file_exists(dir.file("missing/below")));
  ASSERT_TRUE(write_text_file(name, "a\nb\n"));
  EXPECT_EQ(read_bytes(name), "a\nb\n");
  EXPECT_TRUE(file_exists(name));
  EXPECT_TRUE(file_exists(dir.path().string()));
  EXPECT_FALSE(write_text_file(dir.file("missing/below"), "x"));
  EXPECT_TRUE(remove_file(name));
  EXPECT_FALSE(remove_file(name));
}

TEST(Platform, ProgramDirectoryIsTheRealExecutables) {
  const std::string dir = program_directory("ignored");
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), directory_separator());
  EXPECT_TRUE(std::filesystem::is_directory(dir));
  EXPECT_EQ(installed_data_directory("/opt/x/bin/"), "/opt/x/bin/../" TOLVAR_INSTALL_DATADIR "/");
}

TEST(Platform, RunProgramThatCannotBeFound) {
  std::string error;
  EXPECT_FALSE(run_program("tolvar-no-such-program-xyz", {"a"}, &error));
  EXPECT_NE(error.find("tolvar-no-such-program-xyz"), std::string::npos) << error;
}

TEST(Platform, RunProgramPassesArgumentsWithoutAShell) {
  TempDir dir;
  const std::string out = dir.file("out");
  std::string error;
  ASSERT_TRUE(run_program("sh", {"-c", "printf '%s|' \"$@\" > \"$0\"", out, "a b", "a;b", "$(x)"}, &error))
      << error;
  EXPECT_EQ(read_bytes(out), "a b|a;b|$(x)|");
}

TEST(Platform, LastComponentStart) {
  const struct {
    std::string path;
    size_t start;
  } cases[] = {{"paper.bbl", 0}, {"a/b.bbl", 2}, {"a\\b", 0}, {"/x/", 3}, {"", 0}};
  for (const auto& c : cases) EXPECT_EQ(last_component_start(c.path), c.start) << c.path;
}

TEST(Platform, SearchPathComesFromPath) {
  const char* saved = getenv("PATH");
  const std::string old = saved ? saved : "";
  setenv("PATH", "/x:/y/", 1);
  auto dirs = search_path_directories();
  setenv("PATH", old.c_str(), 1);
  EXPECT_EQ(dirs, (std::vector<std::string>{"/x/", "/y/"}));
}

}  // namespace
}  // namespace tolvar::platform

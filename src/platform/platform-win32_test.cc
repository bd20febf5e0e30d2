#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/platform.h"
#include "tests/temp_dir.h"

namespace tolvar::platform {
namespace {

using tolvar::testing::read_bytes;
using tolvar::testing::TempDir;
using tolvar::testing::write_bytes;

// Sets an environment variable for one test and puts the old value back.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : name_(name) {
    DWORD size = GetEnvironmentVariableA(name, nullptr, 0);
    if (size > 0) {
      old_.resize(size);
      old_.resize(GetEnvironmentVariableA(name, old_.data(), size));
      had_ = true;
    }
    SetEnvironmentVariableA(name, value);
  }
  ~ScopedVariable() { SetEnvironmentVariableA(name_, had_ ? old_.c_str() : nullptr); }

 private:
  const char* name_;
  std::string old_;
  bool had_ = false;
};

// Makes a folder the current one for one test.
class ScopedCurrentFolder {
 public:
  explicit ScopedCurrentFolder(const std::filesystem::path& folder)
      : old_(std::filesystem::current_path()) {
    std::filesystem::current_path(folder);
  }
  ~ScopedCurrentFolder() { std::filesystem::current_path(old_); }

 private:
  std::filesystem::path old_;
};

TEST(WindowsPlatform, TextFilesFoldAndWriteCrLf) {
  TempDir dir;
  const std::string name = dir.file("f");
  const struct {
    std::string on_disk;
    std::string text;
  } reads[] = {
      {"a\r\nb\r\n", "a\nb\n"}, {"a\rb\n\r", "a\rb\n\r"}, {"\r\r\n", "\r\n"},
      {"x\x1a y", "x\x1a y"},  // no end-of-file byte as in old text streams
      {"", ""},
  };
  for (const auto& c : reads) {
    write_bytes(name, c.on_disk);
    std::string got;
    ASSERT_TRUE(read_text_file(name, &got));
    EXPECT_EQ(got, c.text);
  }
  const struct {
    std::string text;
    std::string on_disk;
  } writes[] = {
      {"a\nb\n", "a\r\nb\r\n"}, {"\n\n", "\r\n\r\n"}, {"no end", "no end"}, {"\xb5\xc8\n", "\xb5\xc8\r\n"},
  };
  for (const auto& c : writes) {
    ASSERT_TRUE(write_text_file(name, c.text));
    EXPECT_EQ(read_bytes(name), c.on_disk);
    std::string back;
    ASSERT_TRUE(read_text_file(name, &back));
    EXPECT_EQ(back, c.text);
  }
  std::string got;
  EXPECT_FALSE(read_text_file(dir.path().string(), &got));
  EXPECT_FALSE(is_readable_file(dir.path().string()));
  EXPECT_FALSE(write_text_file(dir.file("missing\\below"), "x"));
}

TEST(WindowsPlatform, ExistenceRenameAndRemove) {
  TempDir dir;
  const std::string a = dir.file("a"), b = dir.file("b"), c = dir.file("c c");
  write_bytes(a, "first");
  write_bytes(b, "second");
  EXPECT_TRUE(file_exists(a));
  EXPECT_TRUE(file_exists(dir.path().string()));
  EXPECT_FALSE(file_exists(dir.file("missing")));
  EXPECT_FALSE(file_exists(dir.file("missing\\below")));
  EXPECT_FALSE(rename_file(a, b));
  EXPECT_EQ(read_bytes(b), "second");
  EXPECT_TRUE(rename_file(a, c));
  EXPECT_EQ(read_bytes(c), "first");
  EXPECT_FALSE(file_exists(a));
  EXPECT_TRUE(remove_file(c));
  EXPECT_FALSE(remove_file(c));
}

TEST(WindowsPlatform, LastComponentStart) {
  const struct {
    std::string path;
    size_t start;
  } cases[] = {
      {"paper.bbl", 0}, {"a\\b.bbl", 2}, {"a/b\\", 4}, {"C:\\x\\y", 5}, {"", 0}, {"\\", 1},
  };
  for (const auto& c : cases) EXPECT_EQ(last_component_start(c.path), c.start) << c.path;
}

// Under the Chinese code page a GBK character whose second byte is 0x5c
// (運 is DF 5C) separates no folders.
TEST(WindowsPlatformGbk, TrailByteIsNoSeparator) {
  if (GetACP() != 936) GTEST_SKIP() << "needs the Chinese code page 936, not " << GetACP();
  const struct {
    std::string path;
    size_t start;
  } cases[] = {
      {"\xdf\x5c.bbl", 0}, {"x\\\xdf\x5c", 2}, {"\xdf\x5c\\p", 3}, {"\xdf\x5c\xdf\x5c", 0},
      {"\xdf", 0},  // a lead byte at the end stands alone
  };
  for (const auto& c : cases) EXPECT_EQ(last_component_start(c.path), c.start) << c.path;
  ScopedVariable path("Path", "C:\\\xdf\x5c;D:\\\xdf\x5c\\");
  EXPECT_EQ(search_path_directories(),
            (std::vector<std::string>{"C:\\\xdf\x5c\\", "D:\\\xdf\x5c\\"}));
  std::string error;
  TempDir dir;
  ScopedCurrentFolder current(dir.path());
  ScopedVariable stand_in("Path", std::filesystem::absolute(TOLVAR_STAND_IN_DIR).string().c_str());
  ASSERT_TRUE(run_program("bibtex", {"my \xdf\x5c", "\xdf\x5c\"q"}, &error)) << error;
  EXPECT_EQ(read_bytes(dir.file("bibtex-calls.txt")), "arg my \xdf\x5c\narg \xdf\x5c\"q\nCOMSPEC set\n");
}

TEST(WindowsPlatform, SearchPathFromTheVariableWhateverItsCase) {
  ScopedVariable path("PATH", "C:\\x;D:\\y z\\;E:/w");
  EXPECT_EQ(search_path_directories(), (std::vector<std::string>{"C:\\x\\", "D:\\y z\\", "E:/w\\"}));
}

TEST(WindowsPlatform, ProgramAndDataDirectories) {
  char module[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, module, MAX_PATH);
  ASSERT_GT(n, 0u);
  const std::string exe(module, n);
  // The argument vector's first word does not count.
  const std::string dir = program_directory("elsewhere\\other.exe");
  EXPECT_EQ(dir, exe.substr(0, exe.rfind('\\') + 1));
  EXPECT_EQ(installed_data_directory("C:\\tools\\bin\\"), "C:\\tools\\bin\\..\\share\\tolvar\\");
  EXPECT_EQ(installed_data_directory(""), "");
}

TEST(WindowsPlatform, RunProgramQuotesEveryArgument) {
  TempDir dir;
  ScopedCurrentFolder current(dir.path());
  ScopedVariable path("Path", std::filesystem::absolute(TOLVAR_STAND_IN_DIR).string().c_str());
  std::string error;
  ASSERT_TRUE(run_program("bibtex", {"a b", "say \"hi\"", "end\\", "c:\\x y\\", "", "%Path%"}, &error))
      << error;
  EXPECT_EQ(read_bytes(dir.file("bibtex-calls.txt")),
            "arg a b\narg say \"hi\"\narg end\\\narg c:\\x y\\\narg \narg %Path%\nCOMSPEC set\n");
}

TEST(WindowsPlatform, RunProgramThatCannotBeFound) {
  ScopedVariable path("Path", "C:\\no such folder");
  std::string error;
  EXPECT_FALSE(run_program("bibtex", {"a"}, &error));
  EXPECT_NE(error.find("bibtex"), std::string::npos) << error;
}

}  // namespace
}  // namespace tolvar::platform

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <set>

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

// The names in `dir`, to see that no temporary file is left.
std::set<std::string> names_in(const std::filesystem::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) names.insert(entry.path().filename().string());
  return names;
}

std::string temporary_suffix() { return ".tolvar-" + std::to_string(GetCurrentProcessId()) + ".tmp"; }

using namespace std::string_literals;

// Bytes a text stream would change or a UTF-8 reader refuse.
const std::string kAwkwardBytes[] = {
    "",
    "@book{a,\r\n  title = {T},\r\n}\r\n",
    "lone\rCR\n\r\n\r",
    "nul\0inside\0"s,
    "\xff\xfe invalid \xc3\x28 UTF-8, end of file \x1a and more",
    std::string(3 * 1024 * 1024 + 7, '\n'),
};

TEST(WindowsPlatform, ReadBinaryKeepsEveryByte) {
  TempDir dir;
  const std::string name = dir.file("refs.bib");
  for (const std::string& bytes : kAwkwardBytes) {
    write_bytes(name, bytes);
    std::string got = "stale";
    ASSERT_TRUE(read_binary_file(name, &got));
    EXPECT_EQ(got, bytes);
  }
  std::string got;
  EXPECT_FALSE(read_binary_file(dir.path().string(), &got));
  EXPECT_FALSE(read_binary_file(dir.file("missing"), &got));
}

TEST(WindowsPlatform, ReplaceWritesExactlyTheBytesAndLeavesNoTemporaryFile) {
  TempDir dir;
  const std::string name = dir.file("refs.bib");
  write_bytes(name, "old");
  for (const std::string& bytes : kAwkwardBytes) {
    std::string error;
    ASSERT_TRUE(replace_file(name, bytes, &error)) << error;
    EXPECT_EQ(read_bytes(name), bytes);
    EXPECT_EQ(names_in(dir.path()), std::set<std::string>{"refs.bib"});
  }
  // A backup is created, then replaced.
  for (const std::string& bytes : kAwkwardBytes) {
    std::string error;
    ASSERT_TRUE(write_file_safely(name + ".bak", bytes, &error)) << error;
    EXPECT_EQ(read_bytes(name + ".bak"), bytes);
    EXPECT_EQ(names_in(dir.path()), (std::set<std::string>{"refs.bib", "refs.bib.bak"}));
  }
}

TEST(WindowsPlatform, LinksAreNotFollowed) {
  TempDir dir;
  write_bytes(dir.file("refs.bib"), "x");
  for (const std::string& path : {dir.file("refs.bib"), dir.file("missing.bib"), std::string("rel\\a.bib")}) {
    std::string target = "untouched", error;
    EXPECT_TRUE(resolve_links(path, &target, &error));
    EXPECT_EQ(target, path);
  }
}

// Each case fails and leaves the folder as it was: the original whole and
// no temporary file.
TEST(WindowsPlatform, FailedReplaceLeavesTheOriginalAndNoTemporaryFile) {
  TempDir dir;
  const std::filesystem::path root = dir.path();
  const std::string bib = dir.file("refs.bib"), read_only = dir.file("read-only.bib");
  const struct {
    const char* what;
    std::function<bool(std::string*)> replace;
    std::string message_start;
  } cases[] = {
      {"replace a file that does not exist",
       [&](std::string* e) { return replace_file(dir.file("missing.bib"), "new", e); },
       "Cannot replace " + dir.file("missing.bib") + ": "},
      {"replace in a folder that does not exist",
       [&](std::string* e) { return replace_file(dir.file("no-dir\\refs.bib"), "new", e); },
       "Cannot replace " + dir.file("no-dir\\refs.bib") + ": "},
      {"replace a folder", [&](std::string* e) { return replace_file(dir.file("sub"), "new", e); },
       "Cannot replace " + dir.file("sub") + ": It is a folder"},
      {"replace a read-only file", [&](std::string* e) { return replace_file(read_only, "new", e); },
       "Cannot replace " + read_only + ": The file is read-only"},
      {"write safely over a read-only file", [&](std::string* e) { return write_file_safely(read_only, "new", e); },
       "Cannot replace " + read_only + ": The file is read-only"},
      {"write safely in a folder that does not exist",
       [&](std::string* e) { return write_file_safely(dir.file("no-dir\\refs.bib.bak"), "new", e); },
       "Cannot create " + dir.file("no-dir\\refs.bib.bak") + temporary_suffix() + ": "},
      // The temporary file is made and written; the move fails.
      {"write safely over a folder", [&](std::string* e) { return write_file_safely(dir.file("sub"), "new", e); },
       "Cannot rename " + dir.file("sub") + temporary_suffix() + " to " + dir.file("sub") + ": "},
  };
  for (const auto& c : cases) {
    write_bytes(bib, "old\r\n");
    if (!std::filesystem::exists(read_only)) {
      write_bytes(read_only, "read-only");
      ASSERT_TRUE(SetFileAttributesA(read_only.c_str(), FILE_ATTRIBUTE_READONLY));
    }
    std::filesystem::create_directories(root / "sub");
    const auto before = names_in(root);
    std::string error;
    EXPECT_FALSE(c.replace(&error)) << c.what;
    EXPECT_EQ(error.rfind(c.message_start, 0), 0u) << c.what << ": " << error;
    EXPECT_FALSE(error.ends_with(": ")) << c.what << ": the system's words are missing";
    EXPECT_EQ(error.find_first_of("\r\n"), std::string::npos) << error;
    EXPECT_EQ(read_bytes(bib), "old\r\n") << c.what;
    EXPECT_EQ(read_bytes(read_only), "read-only") << c.what;
    EXPECT_TRUE(std::filesystem::is_directory(root / "sub")) << c.what;
    EXPECT_EQ(names_in(root), before) << c.what;
  }
  SetFileAttributesA(read_only.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// A program that holds the file open and lets no one delete it (as some
// editors do) keeps it from being replaced: the move fails, after a few
// tries, and the file stays as it was.
TEST(WindowsPlatform, ReplaceOfAFileHeldOpenFails) {
  TempDir dir;
  const std::string bib = dir.file("refs.bib");
  write_bytes(bib, "old");
  HANDLE held = CreateFileA(bib.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  std::string error;
  const bool replaced = replace_file(bib, "new", &error);
  CloseHandle(held);
  EXPECT_FALSE(replaced);
  EXPECT_EQ(error.rfind("Cannot rename " + bib + temporary_suffix() + " to " + bib + ": ", 0), 0u) << error;
  EXPECT_EQ(read_bytes(bib), "old");
  EXPECT_EQ(names_in(dir.path()), std::set<std::string>{"refs.bib"});
  // Once it is let go, the replacement goes through.
  ASSERT_TRUE(replace_file(bib, "new", &error)) << error;
  EXPECT_EQ(read_bytes(bib), "new");
}

// Where the temporary name is taken (a file left by a run that was
// killed), another is made and what is there stays.
TEST(WindowsPlatform, ReplaceNeverWritesThroughATemporaryNameThatIsTaken) {
  TempDir dir;
  const std::string bib = dir.file("refs.bib");
  const std::string pid = std::to_string(GetCurrentProcessId());
  write_bytes(bib, "old");
  write_bytes(bib + ".tolvar-" + pid + ".tmp", "left over");
  write_bytes(bib + ".tolvar-" + pid + "-1.tmp", "left over too");
  std::string error;
  ASSERT_TRUE(replace_file(bib, "new", &error)) << error;
  EXPECT_EQ(read_bytes(bib), "new");
  EXPECT_EQ(read_bytes(bib + ".tolvar-" + pid + ".tmp"), "left over");
  EXPECT_EQ(read_bytes(bib + ".tolvar-" + pid + "-1.tmp"), "left over too");
  EXPECT_EQ(names_in(dir.path()).size(), 3u);
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

#include "platform/platform.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <set>

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

// The names in `dir`, to see that no temporary file is left.
std::set<std::string> names_in(const std::filesystem::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) names.insert(entry.path().filename().string());
  return names;
}

mode_t mode_of(const std::string& path) {
  struct stat st;
  EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

// Sets the umask for one test and puts the old one back.
class ScopedUmask {
 public:
  explicit ScopedUmask(mode_t mask) : old_(::umask(mask)) {}
  ~ScopedUmask() { ::umask(old_); }

 private:
  mode_t old_;
};

using namespace std::string_literals;

// Bytes a text stream would change or a UTF-8 reader refuse.
const std::string kAwkwardBytes[] = {
    "",
    "@book{a,\r\n  title = {T},\r\n}\r\n",
    "lone\rCR\n\r\n\r",
    "nul\0inside\0"s,
    "\xff\xfe invalid \xc3\x28 \xe4\xb8 UTF-8 \xed\xa0\x80",
    "GBK \xb5\xc8 \xdf\x5c\r\n\x1a",
    std::string(3 * 1024 * 1024 + 7, '\r'),
};

TEST(Platform, ReadBinaryKeepsEveryByte) {
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

TEST(Platform, ReplaceWritesExactlyTheBytesAndLeavesNoTemporaryFile) {
  TempDir dir;
  const std::string name = dir.file("refs.bib");
  write_bytes(name, "old");
  for (const std::string& bytes : kAwkwardBytes) {
    std::string error;
    ASSERT_TRUE(replace_file(name, bytes, &error)) << error;
    EXPECT_EQ(read_bytes(name), bytes);
    EXPECT_EQ(names_in(dir.path()), std::set<std::string>{"refs.bib"});
  }
  for (const std::string& bytes : kAwkwardBytes) {
    std::string error;
    ASSERT_TRUE(write_file_safely(name + ".bak", bytes, &error)) << error;
    EXPECT_EQ(read_bytes(name + ".bak"), bytes);
    EXPECT_EQ(names_in(dir.path()), (std::set<std::string>{"refs.bib", "refs.bib.bak"}));
  }
}

// The file is replaced by a new one, which takes the old one's mode (not
// that of the umask, which does not narrow it either) and so never shows
// a private bibliography to others, not even while it is being written.
TEST(Platform, ReplaceKeepsTheMode) {
  TempDir dir;
  ScopedUmask umask(077);
  const std::string name = dir.file("refs.bib");
  for (mode_t mode : {0640, 0600, 0644, 0664, 0660, 0755, 0604}) {
    write_bytes(name, "old");
    ASSERT_EQ(::chmod(name.c_str(), mode), 0);
    struct stat before;
    ASSERT_EQ(::stat(name.c_str(), &before), 0);
    std::string error;
    ASSERT_TRUE(replace_file(name, "new", &error)) << error;
    EXPECT_EQ(mode_of(name), mode) << std::oct << mode;
    struct stat after;
    ASSERT_EQ(::stat(name.c_str(), &after), 0);
    EXPECT_NE(after.st_ino, before.st_ino) << "replaced, not rewritten";
    EXPECT_EQ(read_bytes(name), "new");
    // An existing backup keeps its own mode too.
    ASSERT_TRUE(write_file_safely(name, "newer", &error)) << error;
    EXPECT_EQ(mode_of(name), mode) << std::oct << mode;
    EXPECT_EQ(read_bytes(name), "newer");
  }
}

TEST(Platform, ReplaceKeepsTheOwnerWhereItMay) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root can give a file to another user";
  TempDir dir;
  const std::string name = dir.file("refs.bib");
  write_bytes(name, "old");
  ASSERT_EQ(::chown(name.c_str(), 1234, 5678), 0);
  ASSERT_EQ(::chmod(name.c_str(), 0640), 0);
  std::string error;
  ASSERT_TRUE(replace_file(name, "new", &error)) << error;
  struct stat st;
  ASSERT_EQ(::stat(name.c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 1234u);
  EXPECT_EQ(st.st_gid, 5678u);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST(Platform, WriteSafelyCreatesAFileWithTheUsualMode) {
  TempDir dir;
  ScopedUmask umask(027);
  const std::string name = dir.file("refs.bib.bak");
  std::string error;
  ASSERT_TRUE(write_file_safely(name, "a\r\nb", &error)) << error;
  EXPECT_EQ(read_bytes(name), "a\r\nb");
  EXPECT_EQ(mode_of(name), 0640u);
  EXPECT_EQ(names_in(dir.path()), std::set<std::string>{"refs.bib.bak"});
}

// The backup as a second name of the file: after the file is replaced the
// backup holds the old bytes; a link in its place is replaced, never
// written through; a directory there is left and refused.
TEST(Platform, LinkBackupKeepsTheOldFileUnderTheBackupName) {
  TempDir dir;
  const std::string bib = dir.file("refs.bib"), bak = dir.file("refs.bib.bak"), other = dir.file("other");
  std::string error;
  ASSERT_TRUE(write_file_safely(bib, "old", &error)) << error;
  ASSERT_TRUE(write_file_safely(other, "other", &error)) << error;
  ASSERT_EQ(::symlink(other.c_str(), bak.c_str()), 0);
  ASSERT_TRUE(link_backup(bib, bak));
  ASSERT_TRUE(replace_file(bib, "new", &error)) << error;
  EXPECT_EQ(read_bytes(bib), "new");
  EXPECT_EQ(read_bytes(bak), "old");
  EXPECT_EQ(read_bytes(other), "other");
  const std::string folder = dir.file("folder.bak");
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  EXPECT_FALSE(link_backup(bib, folder));
  EXPECT_EQ(read_bytes(bib), "new");
}

// The backup of a private file is as private as the file.
TEST(Platform, WriteSafelyGivesANewFileTheModeOfAnother) {
  TempDir dir;
  ScopedUmask umask(022);
  const std::string bib = dir.file("refs.bib"), bak = dir.file("refs.bib.bak");
  std::string error;
  ASSERT_TRUE(write_file_safely(bib, "x", &error)) << error;
  ASSERT_EQ(::chmod(bib.c_str(), 0600), 0);
  ASSERT_TRUE(write_file_safely(bak, "old", &error, bib)) << error;
  EXPECT_EQ(read_bytes(bak), "old");
  EXPECT_EQ(mode_of(bak), 0600u);
}

// The backup's name may be a link, even to the bibliography itself: the
// link is replaced by a plain file and what it led to stays as it was.
TEST(Platform, WriteSafelyReplacesALinkNotWhatItLeadsTo) {
  TempDir dir;
  const std::string bib = dir.file("refs.bib"), bak = dir.file("refs.bib.bak");
  for (const std::string& leads_to : {std::string("refs.bib"), bib, std::string("gone")}) {
    write_bytes(bib, "the bibliography");
    std::filesystem::remove(bak);
    std::filesystem::create_symlink(leads_to, bak);
    std::string error;
    ASSERT_TRUE(write_file_safely(bak, "the backup", &error)) << error;
    EXPECT_FALSE(std::filesystem::is_symlink(bak)) << leads_to;
    EXPECT_EQ(read_bytes(bak), "the backup");
    EXPECT_EQ(read_bytes(bib), "the bibliography");
    EXPECT_EQ(names_in(dir.path()), (std::set<std::string>{"refs.bib", "refs.bib.bak"}));
  }
}

TEST(Platform, ResolveLinksFollowsEveryLink) {
  TempDir dir;
  const std::filesystem::path root = dir.path();
  std::filesystem::create_directories(root / "shared" / "deep");
  write_bytes(dir.file("shared/deep/refs.bib"), "shared");
  write_bytes(dir.file("plain.bib"), "plain");
  std::filesystem::create_symlink("shared/deep/refs.bib", root / "relative.bib");
  std::filesystem::create_symlink(root / "shared" / "deep" / "refs.bib", root / "absolute.bib");
  std::filesystem::create_symlink("relative.bib", root / "chain.bib");
  // A link's text is relative to the link's directory, not to the caller's.
  std::filesystem::create_symlink("deep/refs.bib", root / "shared" / "up.bib");
  std::filesystem::create_symlink("shared", root / "linked-dir");
  std::filesystem::create_symlink("../deep/refs.bib", root / "shared" / "deep" / "back.bib");
  const struct {
    std::string path;
    std::string target;
  } cases[] = {
      {dir.file("plain.bib"), dir.file("plain.bib")},
      {dir.file("missing.bib"), dir.file("missing.bib")},
      {dir.file("relative.bib"), dir.file("shared/deep/refs.bib")},
      {dir.file("absolute.bib"), dir.file("shared/deep/refs.bib")},
      {dir.file("chain.bib"), dir.file("shared/deep/refs.bib")},
      {dir.file("shared/up.bib"), dir.file("shared/deep/refs.bib")},
      {dir.file("linked-dir/up.bib"), dir.file("linked-dir/deep/refs.bib")},
      // ".." is left to the system, which takes it from where the link
      // really is, as it does when it follows the link itself.
      {dir.file("shared/deep/back.bib"), dir.file("shared/deep/../deep/refs.bib")},
      {dir.file("linked-dir/deep/back.bib"), dir.file("linked-dir/deep/../deep/refs.bib")},
  };
  for (const auto& c : cases) {
    std::string target, error;
    ASSERT_TRUE(resolve_links(c.path, &target, &error)) << c.path << ": " << error;
    EXPECT_EQ(target, c.target);
    if (std::filesystem::exists(c.path)) {
      EXPECT_TRUE(std::filesystem::equivalent(target, c.path)) << target;
      EXPECT_FALSE(std::filesystem::is_symlink(target)) << target;
    }
  }
  // A name without a directory is followed relative to the current one.
  const auto saved = std::filesystem::current_path();
  std::filesystem::current_path(root);
  std::string target, error;
  const bool resolved = resolve_links("chain.bib", &target, &error);
  std::filesystem::current_path(saved);
  ASSERT_TRUE(resolved) << error;
  EXPECT_EQ(target, "shared/deep/refs.bib");
}

TEST(Platform, ResolveLinksFailsForALinkToNowhere) {
  TempDir dir;
  const std::filesystem::path root = dir.path();
  write_bytes(dir.file("file"), "x");
  std::filesystem::create_symlink("gone.bib", root / "dangling.bib");
  std::filesystem::create_symlink("dangling.bib", root / "to-dangling.bib");
  std::filesystem::create_symlink("file/below.bib", root / "through-a-file.bib");
  std::filesystem::create_symlink("no-dir/refs.bib", root / "no-dir.bib");
  std::filesystem::create_symlink("loop-b", root / "loop-a");
  std::filesystem::create_symlink("loop-a", root / "loop-b");
  std::filesystem::create_symlink("self", root / "self");
  const struct {
    std::string link;
    std::string message;
  } cases[] = {
      {"dangling.bib", "Cannot follow the link " + dir.file("dangling.bib") + " to " + dir.file("gone.bib") +
                           ": No such file or directory"},
      {"to-dangling.bib", "Cannot follow the link " + dir.file("to-dangling.bib") + " to " + dir.file("gone.bib") +
                              ": No such file or directory"},
      {"through-a-file.bib", "Cannot follow the link " + dir.file("through-a-file.bib") + " to " +
                                 dir.file("file/below.bib") + ": Not a directory"},
      {"no-dir.bib", "Cannot follow the link " + dir.file("no-dir.bib") + " to " + dir.file("no-dir/refs.bib") +
                         ": No such file or directory"},
      {"loop-a", "Cannot follow the link " + dir.file("loop-a") + ": Too many levels of symbolic links"},
      {"self", "Cannot follow the link " + dir.file("self") + ": Too many levels of symbolic links"},
  };
  for (const auto& c : cases) {
    std::string target = "untouched", error;
    EXPECT_FALSE(resolve_links(dir.file(c.link), &target, &error)) << c.link;
    EXPECT_EQ(error, c.message);
    EXPECT_EQ(target, "untouched");
  }
}

// What the run does: resolve the link, then replace its target. The link
// stays a link, and reads through it give the new bytes.
TEST(Platform, ReplaceThroughALinkChangesItsTarget) {
  TempDir dir;
  const std::filesystem::path root = dir.path();
  std::filesystem::create_directories(root / "shared");
  write_bytes(dir.file("shared/refs.bib"), "old\r\n");
  ASSERT_EQ(::chmod(dir.file("shared/refs.bib").c_str(), 0664), 0);
  std::filesystem::create_symlink("shared/refs.bib", root / "refs.bib");
  const std::string link = dir.file("refs.bib");
  std::string target, error;
  ASSERT_TRUE(resolve_links(link, &target, &error)) << error;
  ASSERT_TRUE(replace_file(target, "new\r\n", &error)) << error;
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(std::filesystem::read_symlink(link), "shared/refs.bib");
  EXPECT_EQ(read_bytes(link), "new\r\n");
  EXPECT_EQ(read_bytes(dir.file("shared/refs.bib")), "new\r\n");
  EXPECT_EQ(mode_of(dir.file("shared/refs.bib")), 0664u);
  EXPECT_EQ(names_in(root), (std::set<std::string>{"refs.bib", "shared"}));
  EXPECT_EQ(names_in(root / "shared"), std::set<std::string>{"refs.bib"});
  // A link itself is refused: replacing it would cut it off from the
  // shared file.
  EXPECT_FALSE(replace_file(link, "newer", &error));
  EXPECT_EQ(error, "Cannot replace " + link + ": It is a symbolic link");
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(read_bytes(target), "new\r\n");
}

// Each case fails, also for root, and leaves the directory as it was:
// the original whole and no temporary file.
TEST(Platform, FailedReplaceLeavesTheOriginalAndNoTemporaryFile) {
  TempDir dir;
  const std::filesystem::path root = dir.path();
  const std::string bib = dir.file("refs.bib");
  const struct {
    const char* what;
    std::function<bool(std::string*)> replace;
    std::string message;
  } cases[] = {
      {"replace a file that does not exist",
       [&](std::string* e) { return replace_file(dir.file("missing.bib"), "new", e); },
       "Cannot replace " + dir.file("missing.bib") + ": No such file or directory"},
      {"replace in a directory that does not exist",
       [&](std::string* e) { return replace_file(dir.file("no-dir/refs.bib"), "new", e); },
       "Cannot replace " + dir.file("no-dir/refs.bib") + ": No such file or directory"},
      {"replace a directory", [&](std::string* e) { return replace_file(dir.file("sub"), "new", e); },
       "Cannot replace " + dir.file("sub") + ": Is a directory"},
      {"replace below a file", [&](std::string* e) { return replace_file(bib + "/x", "new", e); },
       "Cannot replace " + bib + "/x: Not a directory"},
      {"write safely in a directory that does not exist",
       [&](std::string* e) { return write_file_safely(dir.file("no-dir/refs.bib.bak"), "new", e); },
       "Cannot create " + dir.file("no-dir/refs.bib.bak") + ".tolvar-" + std::to_string(::getpid()) +
           ".tmp: No such file or directory"},
      // The temporary file is made and written; the rename fails.
      {"write safely over a directory", [&](std::string* e) { return write_file_safely(dir.file("sub"), "new", e); },
       "Cannot rename " + dir.file("sub") + ".tolvar-" + std::to_string(::getpid()) + ".tmp to " +
           dir.file("sub") + ": Is a directory"},
      {"write safely over a directory with files",
       [&](std::string* e) { return write_file_safely(dir.file("full"), "new", e); },
       "Cannot rename " + dir.file("full") + ".tolvar-" + std::to_string(::getpid()) + ".tmp to " +
           dir.file("full") + ": Is a directory"},
  };
  for (const auto& c : cases) {
    write_bytes(bib, "old\r\n");
    std::filesystem::create_directories(root / "sub");
    std::filesystem::create_directories(root / "full");
    write_bytes(dir.file("full/x"), "x");
    const auto before = names_in(root);
    std::string error;
    EXPECT_FALSE(c.replace(&error)) << c.what;
    EXPECT_EQ(error, c.message) << c.what;
    EXPECT_EQ(error.find('\n'), std::string::npos);
    EXPECT_EQ(read_bytes(bib), "old\r\n") << c.what;
    EXPECT_TRUE(std::filesystem::is_directory(root / "sub")) << c.what;
    EXPECT_EQ(read_bytes(dir.file("full/x")), "x") << c.what;
    EXPECT_EQ(names_in(root), before) << c.what;
  }
}

// A write that fails halfway (here at a file size limit, which holds for
// root too) leaves the original whole and no temporary file.
TEST(Platform, FailedWriteLeavesTheOriginalAndNoTemporaryFile) {
  TempDir dir;
  const std::string bib = dir.file("refs.bib");
  write_bytes(bib, "old");
  struct rlimit saved;
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  void (*saved_handler)(int) = ::signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails with EFBIG
  struct rlimit small = saved;
  small.rlim_cur = 10;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  std::string replace_error, write_error;
  const bool replaced = replace_file(bib, "new contents longer than the limit", &replace_error);
  const bool written = write_file_safely(bib + ".bak", "new contents longer than the limit", &write_error);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::signal(SIGXFSZ, saved_handler);
  const std::string temporary = ".tolvar-" + std::to_string(::getpid()) + ".tmp";
  EXPECT_FALSE(replaced);
  EXPECT_EQ(replace_error, "Cannot write " + bib + temporary + ": File too large");
  EXPECT_FALSE(written);
  EXPECT_EQ(write_error, "Cannot write " + bib + ".bak" + temporary + ": File too large");
  EXPECT_EQ(read_bytes(bib), "old");
  EXPECT_EQ(names_in(dir.path()), std::set<std::string>{"refs.bib"});
}

// Where the temporary name is taken (a file left by a run that was
// killed, or a link planted there), another is made: what is there stays.
TEST(Platform, ReplaceNeverWritesThroughATemporaryNameThatIsTaken) {
  TempDir dir;
  const std::string bib = dir.file("refs.bib");
  const std::string taken = bib + ".tolvar-" + std::to_string(::getpid()) + ".tmp";
  write_bytes(bib, "old");
  write_bytes(dir.file("victim"), "victim");
  std::filesystem::create_symlink("victim", taken);
  write_bytes(bib + ".tolvar-" + std::to_string(::getpid()) + "-1.tmp", "left over");
  std::string error;
  ASSERT_TRUE(replace_file(bib, "new", &error)) << error;
  EXPECT_EQ(read_bytes(bib), "new");
  EXPECT_EQ(read_bytes(dir.file("victim")), "victim");
  EXPECT_TRUE(std::filesystem::is_symlink(taken));
  EXPECT_EQ(read_bytes(bib + ".tolvar-" + std::to_string(::getpid()) + "-1.tmp"), "left over");
  EXPECT_EQ(names_in(dir.path()).size(), 4u);
}

// Without root, a file or folder the user may not write is refused, though
// the folder would allow the rename; these do not fail for root.
TEST(Platform, ReplaceRefusesWhatTheUserMayNotWrite) {
  if (::geteuid() == 0) GTEST_SKIP() << "root may write everything";
  TempDir dir;
  const std::string bib = dir.file("refs.bib");
  write_bytes(bib, "old");
  ASSERT_EQ(::chmod(bib.c_str(), 0444), 0);
  std::string error;
  EXPECT_FALSE(replace_file(bib, "new", &error));
  EXPECT_EQ(error, "Cannot replace " + bib + ": Permission denied");
  EXPECT_FALSE(write_file_safely(bib, "new", &error));
  EXPECT_EQ(error, "Cannot replace " + bib + ": Permission denied");
  ASSERT_EQ(::chmod(bib.c_str(), 0644), 0);
  ASSERT_EQ(::chmod(dir.path().c_str(), 0555), 0);
  EXPECT_FALSE(replace_file(bib, "new", &error));
  EXPECT_EQ(error.rfind("Cannot create " + bib + ".tolvar-", 0), 0u) << error;
  EXPECT_NE(error.find(": Permission denied"), std::string::npos) << error;
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  EXPECT_EQ(read_bytes(bib), "old");
  EXPECT_EQ(names_in(dir.path()), std::set<std::string>{"refs.bib"});
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

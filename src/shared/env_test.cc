// The file services of Env that rewrite a user's file: the in-memory double
// must fail where and as the real system does, so that tests of the run
// over MemoryEnv say something about real runs.
#include "shared/env.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>

#include "shared/memory_env.h"
#include "tests/temp_dir.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace tolvar {
namespace {

using namespace std::string_literals;

// The literal's length, with the NUL inside it.
const std::string kCrLfAndNul = "@book{a,\r\n title = {\xb5\xc8\0\xff},\r\n}\r\n"s;

// One of the failures that MemoryEnv can be told to have.
enum class Failure { kUnwritable, kFull, kRenameFails };

TEST(MemoryEnv, FailedReplaceLeavesEverythingAsItWas) {
  const struct {
    Failure failure;
    bool on_temporary;  // named by its temporary file rather than itself
    std::string message;
  } cases[] = {
      {Failure::kUnwritable, false, "Cannot create refs.bib.tolvar-1234.tmp: Permission denied"},
      {Failure::kUnwritable, true, "Cannot create refs.bib.tolvar-1234.tmp: Permission denied"},
      {Failure::kFull, false, "Cannot write refs.bib.tolvar-1234.tmp: No space left on device"},
      {Failure::kFull, true, "Cannot write refs.bib.tolvar-1234.tmp: No space left on device"},
      {Failure::kRenameFails, false, "Cannot rename refs.bib.tolvar-1234.tmp to refs.bib: Permission denied"},
  };
  for (const auto& c : cases) {
    for (bool safely : {false, true}) {
      MemoryEnv env;
      env.files["refs.bib"] = kCrLfAndNul;
      env.files["other.bib"] = "other";
      const std::string name = c.on_temporary ? std::string("refs.bib") + MemoryEnv::kTemporarySuffix : "refs.bib";
      switch (c.failure) {
        case Failure::kUnwritable: env.unwritable.insert(name); break;
        case Failure::kFull: env.full.insert(name); break;
        case Failure::kRenameFails: env.rename_fails_to.insert(name); break;
      }
      const auto before = env.files;
      std::string error;
      EXPECT_FALSE(safely ? env.write_file_safely("refs.bib", "new", &error)
                          : env.replace_file("refs.bib", "new", &error));
      EXPECT_EQ(error, c.message);
      EXPECT_EQ(env.files, before) << c.message;
      // Empty contents fill no disk: of the three, only a full one lets them through.
      error.clear();
      EXPECT_EQ(env.replace_file("refs.bib", "", &error), c.failure == Failure::kFull) << error;
    }
  }
}

TEST(MemoryEnv, ReplaceAndWriteSafelyKeepEveryByte) {
  MemoryEnv env;
  env.files["refs.bib"] = "old\n";
  std::string error, got;
  ASSERT_TRUE(env.replace_file("refs.bib", kCrLfAndNul, &error)) << error;
  ASSERT_TRUE(env.read_binary_file("refs.bib", &got));
  EXPECT_EQ(got, kCrLfAndNul);
  ASSERT_TRUE(env.write_file_safely("refs.bib.bak", "old\r\n", &error)) << error;
  EXPECT_EQ(env.files, (std::map<std::string, std::string>{{"refs.bib", kCrLfAndNul}, {"refs.bib.bak", "old\r\n"}}));
  // The text functions hand the bytes over as they are too.
  ASSERT_TRUE(env.read_text_file("refs.bib.bak", &got));
  EXPECT_EQ(got, "old\r\n");
}

TEST(MemoryEnv, LinksAreFollowedByReadsAndReplacedByWriteSafely) {
  MemoryEnv env;
  env.files["shared/refs.bib"] = "shared";
  env.links["refs.bib"] = "shared/refs.bib";
  env.links["chain.bib"] = "refs.bib";
  env.links["refs.bib.bak"] = "shared/refs.bib";
  env.links["dangling.bib"] = "gone.bib";
  env.links["loop"] = "loop";
  std::string target, error, got;
  ASSERT_TRUE(env.resolve_links("chain.bib", &target, &error)) << error;
  EXPECT_EQ(target, "shared/refs.bib");
  ASSERT_TRUE(env.resolve_links("plain.bib", &target, &error)) << error;
  EXPECT_EQ(target, "plain.bib");
  EXPECT_FALSE(env.resolve_links("dangling.bib", &target, &error));
  EXPECT_EQ(error, "Cannot follow the link dangling.bib to gone.bib: No such file or directory");
  EXPECT_FALSE(env.resolve_links("loop", &target, &error));
  EXPECT_EQ(error, "Cannot follow the link loop: Too many levels of symbolic links");
  EXPECT_TRUE(env.file_exists("refs.bib"));
  EXPECT_FALSE(env.file_exists("dangling.bib"));
  ASSERT_TRUE(env.read_binary_file("chain.bib", &got));
  EXPECT_EQ(got, "shared");
  EXPECT_FALSE(env.replace_file("refs.bib", "new", &error));
  EXPECT_EQ(error, "Cannot replace refs.bib: It is a symbolic link");
  ASSERT_TRUE(env.replace_file("shared/refs.bib", "new", &error)) << error;
  ASSERT_TRUE(env.write_file_safely("refs.bib.bak", "backup", &error)) << error;
  EXPECT_EQ(env.links.count("refs.bib.bak"), 0u);
  EXPECT_EQ(env.files["refs.bib.bak"], "backup");
  EXPECT_EQ(env.files["shared/refs.bib"], "new");
  ASSERT_TRUE(env.read_binary_file("refs.bib", &got));
  EXPECT_EQ(got, "new");
  EXPECT_TRUE(env.remove_file("refs.bib"));
  EXPECT_EQ(env.files["shared/refs.bib"], "new");
}

#ifndef _WIN32
// The same operations on the real system (in a fresh directory) and on a
// MemoryEnv holding the same names give the same results and messages
// (the process number in the temporary file's name aside).
TEST(Env, MemoryEnvFailsAsTheRealSystemDoes) {
  enum Operation { kRead, kResolve, kReplace, kWriteSafely };
  const struct {
    Operation operation;
    std::string name;
    bool ok;
    std::string result;  // what was read or resolved, or the message
  } cases[] = {
      {kRead, "refs.bib", true, kCrLfAndNul},
      {kRead, "link.bib", true, kCrLfAndNul},
      {kRead, "dir", false, ""},
      {kRead, "missing.bib", false, ""},
      {kResolve, "refs.bib", true, "ROOT/refs.bib"},
      {kResolve, "missing.bib", true, "ROOT/missing.bib"},
      {kResolve, "link.bib", true, "ROOT/refs.bib"},
      {kResolve, "chain.bib", true, "ROOT/refs.bib"},
      {kResolve, "dangling.bib", false, "Cannot follow the link ROOT/dangling.bib to ROOT/gone.bib: No such file or directory"},
      {kResolve, "loop.bib", false, "Cannot follow the link ROOT/loop.bib: Too many levels of symbolic links"},
      {kReplace, "refs.bib", true, ""},
      {kReplace, "missing.bib", false, "Cannot replace ROOT/missing.bib: No such file or directory"},
      {kReplace, "dir", false, "Cannot replace ROOT/dir: Is a directory"},
      {kReplace, "link.bib", false, "Cannot replace ROOT/link.bib: It is a symbolic link"},
      {kWriteSafely, "refs.bib", true, ""},
      {kWriteSafely, "missing.bib", true, ""},
      {kWriteSafely, "link.bib", true, ""},
      {kWriteSafely, "dangling.bib", true, ""},
      {kWriteSafely, "dir", false, "Cannot rename ROOT/dir.tolvar-1234.tmp to ROOT/dir: Is a directory"},
  };
  for (const auto& c : cases) {
    tolvar::testing::TempDir dir;
    const std::string root = dir.path().string();
    MemoryEnv memory;
    tolvar::testing::write_bytes(dir.file("refs.bib"), kCrLfAndNul);
    memory.files[root + "/refs.bib"] = kCrLfAndNul;
    std::filesystem::create_directory(dir.path() / "dir");
    memory.directories.insert(root + "/dir");
    const std::pair<const char*, const char*> links[] = {
        {"link.bib", "refs.bib"}, {"chain.bib", "link.bib"}, {"dangling.bib", "gone.bib"}, {"loop.bib", "loop.bib"}};
    for (const auto& [name, target] : links) {
      std::filesystem::create_symlink(dir.path() / target, dir.path() / name);
      memory.links[root + "/" + name] = root + "/" + target;
    }
    struct Outcome {
      bool ok;
      std::string result;
      std::string file;  // the bytes under the name afterwards, or "-"
      bool link;         // whether the name is still a link
    };
    auto run = [&](Env& env, bool real) {
      const std::string path = root + "/" + c.name;
      Outcome out{false, "", "-", false};
      std::string error;
      switch (c.operation) {
        case kRead: out.ok = env.read_binary_file(path, &out.result); break;
        case kResolve: out.ok = env.resolve_links(path, &out.result, &error); break;
        case kReplace: out.ok = env.replace_file(path, "new\r\n", &error); break;
        case kWriteSafely: out.ok = env.write_file_safely(path, "new\r\n", &error); break;
      }
      if (!out.ok) out.result = error;
      for (size_t at; (at = out.result.find(root)) != std::string::npos;) out.result.replace(at, root.size(), "ROOT");
      const std::string pid = ".tolvar-" + std::to_string(::getpid()) + ".tmp";
      for (size_t at; (at = out.result.find(pid)) != std::string::npos;)
        out.result.replace(at, pid.size(), ".tolvar-1234.tmp");
      std::string bytes;
      if (env.read_binary_file(path, &bytes)) out.file = bytes;
      out.link = real ? std::filesystem::is_symlink(path) : memory.links.count(path) > 0;
      return out;
    };
    const Outcome real = run(real_env(), true);
    const Outcome fake = run(memory, false);
    EXPECT_EQ(real.ok, c.ok) << c.name << ": " << real.result;
    if (c.operation == kResolve || c.operation == kRead || !c.ok) {
      EXPECT_EQ(real.result, c.result) << c.name;
    }
    EXPECT_EQ(fake.ok, real.ok) << c.name;
    EXPECT_EQ(fake.result, real.result) << c.name;
    EXPECT_EQ(fake.file, real.file) << c.name;
    EXPECT_EQ(fake.link, real.link) << c.name;
    if (c.operation != kRead && c.operation != kResolve && c.ok) {
      EXPECT_EQ(real.file, "new\r\n") << c.name;
      EXPECT_FALSE(real.link) << c.name;
    }
    // Only the names made above, and a new file where one was written.
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
      names.insert(entry.path().filename().string());
    std::set<std::string> want = {"refs.bib", "dir", "link.bib", "chain.bib", "dangling.bib", "loop.bib"};
    if (c.operation == kWriteSafely && c.ok) want.insert(c.name);
    EXPECT_EQ(names, want) << c.name;
  }
}
#endif

}  // namespace
}  // namespace tolvar

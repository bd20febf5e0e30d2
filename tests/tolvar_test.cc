// Whole-program tests: the built tolvar run in a scratch folder, with the
// real bibtex where it is installed and a fake one for failures.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "shared/settings.h"
#include "tests/temp_dir.h"

namespace tolvar {
namespace {

using testing::read_bytes;
using testing::TempDir;
using testing::write_bytes;

const std::string kMarker(kProcessedMarker);

struct Result {
  int code = -1;
  std::string out;
  std::string err;
};

// Runs the built program in `dir` with `args` and PATH set to `path`.
Result run_program(const TempDir& dir, const std::vector<std::string>& args, const std::string& path) {
  const std::string out_name = dir.path().parent_path() / (dir.path().filename().string() + ".out");
  const std::string err_name = dir.path().parent_path() / (dir.path().filename().string() + ".err");
  pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir.path().c_str()) != 0) _exit(126);
    int out = open(out_name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int err = open(err_name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(out, 1);
    dup2(err, 2);
    setenv("PATH", path.c_str(), 1);
    std::vector<char*> argv{const_cast<char*>(TOLVAR_PROGRAM)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(TOLVAR_PROGRAM, argv.data());
    _exit(127);
  }
  Result result;
  int status = 0;
  waitpid(pid, &status, 0);
  result.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = read_bytes(out_name);
  result.err = read_bytes(err_name);
  std::filesystem::remove(out_name);
  std::filesystem::remove(err_name);
  return result;
}

std::string system_path() {
  const char* path = getenv("PATH");
  return path ? path : "/usr/bin:/bin";
}

bool have_bibtex() {
  for (const char* dir : {"/usr/bin/", "/usr/local/bin/", "/bin/"}) {
    if (access((std::string(dir) + "bibtex").c_str(), X_OK) == 0) return true;
  }
  return system(("command -v bibtex >/dev/null 2>&1")) == 0;
}

// A bibliography with one Chinese (GBK) and one English entry, plain style.
void write_document(const TempDir& dir, const std::string& base) {
  write_bytes(dir.file(base + ".aux"),
              "\\relax\n\\citation{wang}\n\\citation{knuth}\n\\bibstyle{plain}\n\\bibdata{refs}\n");
  write_bytes(dir.file("refs.bib"),
              "@book{wang, author = {\xCD\xF5\xC1\xA6}, title = {\xBA\xBA\xD3\xEF\xCA\xB7\xB8\xE5},\n"
              "  publisher = {\xD6\xD0\xBB\xAA\xCA\xE9\xBE\xD6}, year = {2001}, edition = {2}}\n"
              "@book{knuth, author = {Donald E. Knuth}, title = {The TeXbook},\n"
              "  publisher = {Addison-Wesley}, year = {1984}}\n");
}

// A fake bibtex: a shell script run with the base name as its argument.
std::string fake_bibtex(const TempDir& dir, const std::string& body) {
  const std::string bin = dir.file("bin");
  std::filesystem::create_directory(bin);
  write_bytes(bin + "/bibtex", "#!/bin/sh\n" + body + "\n");
  chmod((bin + "/bibtex").c_str(), 0755);
  return bin + ":" + system_path();
}

std::string banner_line(const std::string& out) { return out.substr(0, out.find('\n') + 1); }

class RealBibtex : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!have_bibtex()) GTEST_SKIP() << "bibtex is not installed";
  }
  // What bibtex itself writes for the document.
  std::string bibtex_output() {
    TempDir other;
    write_document(other, "paper");
    std::string command = "cd '" + other.path().string() + "' && bibtex paper >/dev/null 2>&1";
    EXPECT_EQ(system(command.c_str()), 0);
    return read_bytes(other.file("paper.bbl"));
  }
  TempDir dir_;
};

TEST_F(RealBibtex, MissingBblIsWrittenByBibtexAndConverted) {
  write_document(dir_, "paper");
  Result r = run_program(dir_, {"paper"}, system_path());
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(r.out.starts_with(banner_line(r.out) + ">>>bibtex paper...\n")) << r.out;
  EXPECT_NE(r.out.find("<<<bibtex paper is finished!\n"), std::string::npos) << r.out;
  EXPECT_TRUE(r.out.ends_with("<<<bibtex paper is finished!\ntolvar paper.bbl is finished!\n")) << r.out;
  const std::string fresh = bibtex_output();
  EXPECT_NE(fresh.find("\\bibitem"), std::string::npos);
  EXPECT_EQ(read_bytes(dir_.file("paper.bbl.bak")), fresh);
  EXPECT_TRUE(read_bytes(dir_.file("paper.bbl")).starts_with(kMarker));
  EXPECT_FALSE(std::filesystem::exists(dir_.file("paper.bbl.tmp")));
}

TEST_F(RealBibtex, RunningTwiceGivesTheSameBblAsOnce) {
  write_document(dir_, "paper");
  ASSERT_EQ(run_program(dir_, {"-s", "paper.tex"}, system_path()).code, 0);
  const std::string once = read_bytes(dir_.file("paper.bbl"));
  Result r = run_program(dir_, {"-s", "paper"}, system_path());
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(read_bytes(dir_.file("paper.bbl")), once);
  // Silent: nothing of tolvar's own, only what bibtex printed.
  EXPECT_EQ(r.out.find("tolvar"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find(">>>"), std::string::npos) << r.out;
}

TEST_F(RealBibtex, EmptyBblIsRegenerated) {
  write_document(dir_, "paper");
  write_bytes(dir_.file("paper.bbl"), "");
  Result r = run_program(dir_, {"paper"}, system_path());
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(read_bytes(dir_.file("paper.bbl.bak")), bibtex_output());
}

TEST(WholeProgram, BblThatStaysEmptyFailsWithoutMessage) {
  TempDir dir;
  write_bytes(dir.file("paper.bbl"), "");
  Result r = run_program(dir, {"paper"}, fake_bibtex(dir, ": > \"$1.bbl\""));
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "");
  EXPECT_TRUE(r.out.ends_with(">>>bibtex paper...\n<<<bibtex paper is finished!\n")) << r.out;
}

TEST(WholeProgram, BibtexGetsTheBaseNameWithoutAShell) {
  for (const std::string name : {"a b", "a;b", "$(x)", "it's"}) {
    TempDir dir;
    const std::string path = fake_bibtex(dir, "printf '%s\\n' \"$#:$1\" > args; echo x > \"$1.bbl\"; exit 3");
    Result r = run_program(dir, {name}, path);
    EXPECT_EQ(r.code, 0) << name << r.err;
    EXPECT_EQ(read_bytes(dir.file("args")), "1:" + name + "\n");
    EXPECT_EQ(read_bytes(dir.file(name + ".bbl")), kMarker + "x\n");
    EXPECT_TRUE(r.out.ends_with("tolvar " + name + ".bbl is finished!\n")) << r.out;
  }
}

TEST(WholeProgram, BibtexNotFound) {
  TempDir dir;
  Result r = run_program(dir, {"paper"}, dir.file("nowhere"));
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "bibtex: command not found\n");
}

TEST(WholeProgram, ExistingBblIsConvertedWithoutBibtex) {
  TempDir dir;
  const std::string bbl = "\\begin{thebibliography}{1}\r\n\\bibitem{a}\r\nA.\r\n\\end{thebibliography}\r\n";
  write_bytes(dir.file("MyThesis.bbl"), bbl);
  const std::string path = fake_bibtex(dir, "echo ran > ran");
  Result r = run_program(dir, {"MyThesis"}, path);
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_FALSE(std::filesystem::exists(dir.file("ran")));
  EXPECT_EQ(r.out, banner_line(r.out) + "tolvar MyThesis.bbl is finished!\n");
  EXPECT_EQ(read_bytes(dir.file("MyThesis.bbl")),
            kMarker + "\\begin{thebibliography}{1}\n\\bibitem{a}\nA.\n\\end{thebibliography}\n");
  EXPECT_EQ(read_bytes(dir.file("MyThesis.bbl.bak")), bbl);
  // One byte, no line end.
  write_bytes(dir.file("x.bbl"), "x");
  EXPECT_EQ(run_program(dir, {"-s", "x"}, path).out, "");
  EXPECT_EQ(read_bytes(dir.file("x.bbl")), kMarker + "x");
}

TEST(WholeProgram, FileFailures) {
  TempDir dir;
  const std::string path = fake_bibtex(dir, "exit 0");
  std::filesystem::create_directory(dir.file("dir.bbl"));
  Result r = run_program(dir, {"dir"}, path);
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "Failed to open dir.bbl for reading!\n");

  write_bytes(dir.file("paper.bbl"), "text\n");
  std::filesystem::create_directory(dir.file("paper.bbl.tmp"));
  r = run_program(dir, {"paper"}, path);
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "Cannot open paper.bbl.tmp for writing!\n");
  EXPECT_TRUE(std::filesystem::is_directory(dir.file("paper.bbl.tmp")));
  EXPECT_EQ(read_bytes(dir.file("paper.bbl")), "text\n");
}

TEST(WholeProgram, ReadOnlyFolder) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind the super-user";
  TempDir dir;
  write_bytes(dir.file("paper.bbl"), "text\n");
  chmod(dir.path().c_str(), 0555);
  Result r = run_program(dir, {"paper"}, fake_bibtex(dir, "exit 0"));
  chmod(dir.path().c_str(), 0755);
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "Cannot open paper.bbl.tmp for writing!\n");
}

TEST(WholeProgram, BackupThatCannotBeReplacedKeepsEverything) {
  TempDir dir;
  write_bytes(dir.file("paper.bbl"), "text\n");
  std::filesystem::create_directories(dir.file("paper.bbl.bak/inside"));
  Result r = run_program(dir, {"paper"}, system_path());
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "Cannot rename paper.bbl.tmp to paper.bbl!\n");
  EXPECT_EQ(read_bytes(dir.file("paper.bbl")), "text\n");
  EXPECT_EQ(read_bytes(dir.file("paper.bbl.tmp")), kMarker + "text\n");
}

TEST(WholeProgram, ConfigurationFromTheCurrentFolderOrThePath) {
  TempDir dir;
  write_bytes(dir.file("paper.bbl"), "text\n");
  const std::string path = fake_bibtex(dir, "echo text > \"$1.bbl\"");
  const std::string bad = "Wrong CJK characters in options:... ^^b5^^0\n";
  std::filesystem::create_directory(dir.file("cfg"));
  write_bytes(dir.file("cfg/tolvar.cfg"), "etal.=\xB5\r\n");
  Result r = run_program(dir, {"paper"}, dir.file("cfg") + ":" + path);
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.err, bad);
  r = run_program(dir, {"paper", "-etal.=ok"}, dir.file("cfg") + ":" + path);
  EXPECT_EQ(r.err, "");
  write_bytes(dir.file("tolvar.cfg"), "% here\netal.=x\n");
  r = run_program(dir, {"paper"}, dir.file("cfg") + ":" + path);
  EXPECT_EQ(r.err, "");
}

// The bundled example through the whole run: the sort step finds the pinyin
// dictionary beside the program, reorders, and the conversion follows.
TEST(WholeProgram, SortedExample) {
  const struct {
    const char* option;
    std::vector<std::string> order;
  } cases[] = {
      {"-sort=pinyin", {"li2003", "liu1999", "wang2001", "zhao2004"}},
      {"-sort=bihuashu", {"wang2001", "liu1999", "li2003", "zhao2004"}},
      {"-sort=unicode", {"liu1999", "li2003", "wang2001", "zhao2004"}},
  };
  const std::string example = read_bytes(TOLVAR_SOURCE_DIR "/examples/paper.bbl");
  for (const auto& c : cases) {
    TempDir dir;
    write_bytes(dir.file("paper.bbl"), example);
    Result r = run_program(dir, {c.option, "-s", "paper"}, system_path());
    ASSERT_EQ(r.code, 0) << c.option << r.err;
    EXPECT_EQ(r.err, "");
    const std::string sorted = read_bytes(dir.file("paper.bbl.bak"));
    EXPECT_FALSE(sorted.starts_with(kMarker));
    std::vector<std::string> keys = c.order;
    for (const char* key : {"knuth1984", "lamport1986", "patashnik1988"}) keys.push_back(key);
    size_t previous = 0;
    for (const std::string& key : keys) {
      const size_t position = sorted.find("]{" + key + "}");
      ASSERT_NE(position, std::string::npos) << key;
      EXPECT_GT(position, previous) << c.option << " " << key;
      previous = position;
    }
    EXPECT_TRUE(read_bytes(dir.file("paper.bbl")).starts_with(kMarker));
  }
}

TEST(WholeProgram, HelpAndExitCodes) {
  TempDir dir;
  const struct {
    std::vector<std::string> args;
    int code;
    const char* starts;
  } cases[] = {
      {{}, 1, "Usage : tolvar"},
      {{"-s"}, 1, "Usage : tolvar"},
      {{"--help"}, 0, "Usage : tolvar"},
      {{"--version"}, 0, ""},
      {{"paper", "-strings"}, 1, "The following are commands"},
      {{"-dispcjk", "paper"}, 1, "Place the following commands"},
  };
  for (const auto& c : cases) {
    Result r = run_program(dir, c.args, system_path());
    EXPECT_EQ(r.code, c.code);
    EXPECT_TRUE(r.out.starts_with("tolvar, version " TOLVAR_VERSION ", ")) << r.out;
    const std::string rest = r.out.substr(banner_line(r.out).size());
    if (*c.starts) EXPECT_NE(rest.find(c.starts), std::string::npos) << rest;
    else EXPECT_EQ(rest, "");
    EXPECT_EQ(r.err, "");
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

}  // namespace
}  // namespace tolvar

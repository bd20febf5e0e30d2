// Whole-program tests of sorting: the built tolvar run with -sort options
// on .bbl files in a scratch folder. After a sorted run the backup holds
// the sorted, unconverted text, so the order is checked there byte for
// byte, and in the converted .bbl by its citation keys.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "shared/settings.h"
#include "tests/temp_dir.h"

#define LI "\xC0\xEE"
#define DA "\xB4\xF3"
#define YI "\xD2\xBB"

namespace tolvar {
namespace {

using testing::read_bytes;
using testing::TempDir;
using testing::write_bytes;

struct Result {
  int code = -1;
  std::string err;
};

// Runs `program` in `dir` with `args`, standard output discarded.
Result run_program(const TempDir& dir, const std::string& program, const std::vector<std::string>& args) {
  const std::string err_name = dir.path().string() + ".err";
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir.path().c_str()) != 0) _exit(126);
    const int out = open("/dev/null", O_WRONLY);
    const int err = open(err_name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(out, 1);
    dup2(err, 2);
    setenv("PATH", "/nonexistent", 1);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  Result result;
  result.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.err = read_bytes(err_name);
  std::filesystem::remove(err_name);
  return result;
}

const std::string kHead = "\\begin{thebibliography}{9}\n\\providecommand{\\natexlab}[1]{#1}\n\n";
const std::string kTail = "\\end{thebibliography}\n";

std::string entry(const std::string& cite, const std::string& author) {
  return "\\bibitem[" + cite + "]{" + cite + "}\n" + author + "\n\\newblock Title " + cite + ".\n\n";
}

std::vector<std::string> citation_order(const std::string& bbl) {
  std::vector<std::string> keys;
  for (size_t at = bbl.find("]{"); at != std::string::npos; at = bbl.find("]{", at + 1)) {
    keys.push_back(bbl.substr(at + 2, bbl.find('}', at) - at - 2));
  }
  return keys;
}

struct FileCase {
  const char* name;
  std::string input;
  std::string sorted;  // in every stroke and Unicode order, and in pinyin order
};

// Chinese entries here all have the same author, so the expected order is
// the same in every mode.
std::vector<FileCase> file_cases() {
  const std::string l1 = entry("l1", "Young, A."), l2 = entry("l2", "Adams, B.");
  const std::string c1 = entry("c1", YI), c2 = entry("c2", YI);
  const std::string no_key = "\\bibitem {e}\n" YI "\n", no_key2 = "\\bibitem\n" LI "\n";
  std::string long_entry = "\\bibitem{long}\n" YI " " LI "\n";
  for (int i = 0; i < 300; ++i) long_entry += "\\newblock line " + std::to_string(i) + "\n";
  return {
      {"Chinese first, English in file order", kHead + l1 + c1 + l2 + kTail, kHead + c1 + l1 + l2 + kTail},
      {"equal keys keep their order", kHead + l1 + c2 + c1 + kTail, kHead + c2 + c1 + l1 + kTail},
      {"no key line: empty key first, file order among them",
       kHead + c1 + no_key + l1 + no_key2 + kTail, kHead + no_key + no_key2 + c1 + l1 + kTail},
      {"label over two lines: the key line is the third",
       kHead + l1 + "\\bibitem[" LI "\n(2001)]{b}\n" YI "\n" + kTail,
       kHead + "\\bibitem[" LI "\n(2001)]{b}\n" YI "\n" + l1 + kTail},
      // As in the conversion pass: taken as a character, the lead byte and
      // "]" would leave the label open and make the line after "]" the
      // author line, which sorts first in pinyin order.
      {"a raw \"]\" closes a label, also right after a lead byte",
       kHead + "\\bibitem[\xB5]{b}\nYoung, A.\n\\newblock ]\n" DA "\n\n" + c1 + kTail,
       kHead + c1 + "\\bibitem[\xB5]{b}\nYoung, A.\n\\newblock ]\n" DA "\n\n" + kTail},
      {"comment and blank lines move", kHead + l1 + "% note\n\n" + c1 + "%c1\n" + kTail,
       kHead + c1 + "%c1\n" + l1 + "% note\n\n" + kTail},
      {"one entry", kHead + c1 + kTail, kHead + c1 + kTail},
      {"an entry of 300 lines", kHead + l1 + long_entry + kTail, kHead + long_entry + l1 + kTail},
      {"no end line: the last entry runs to the end", kHead + l1 + c1 + "tail\n",
       kHead + c1 + "tail\n" + l1},
      {"a last line without line end gets one when moved", kHead + l1 + c1 + "last",
       kHead + c1 + "last\n" + l1},
      {"a last line without line end stays last", kHead + c1 + l1 + "last", kHead + c1 + l1 + "last"},
      {"the end line, text beside it and after it are kept",
       kHead + l1 + c1 + "x \\end{thebibliography} y\nafter\n",
       kHead + c1 + l1 + "x \\end{thebibliography} y\nafter\n"},
      {"each environment on its own",
       "pre\n" + kHead + l1 + c1 + kTail + "between\n" + kHead + l2 + c2 + kTail + "after",
       "pre\n" + kHead + c1 + l1 + kTail + "between\n" + kHead + c2 + l2 + kTail + "after"},
      {"a new environment ends the entries of an open one", kHead + l1 + c1 + kHead + l2 + c2 + kTail,
       kHead + c1 + l1 + kHead + c2 + l2 + kTail},
      {"a \\bibitem outside an environment stays",
       "\\bibitem{x}\n" LI "\n" + kHead + l1 + c1 + kTail + "\\bibitem{z}\n" LI "\n",
       "\\bibitem{x}\n" LI "\n" + kHead + c1 + l1 + kTail + "\\bibitem{z}\n" LI "\n"},
      {"an environment start and \\bibitem on one line start no entry",
       "\\begin{thebibliography}{9} \\bibitem{a}\n" LI "\n" + l1 + c1 + kTail,
       "\\begin{thebibliography}{9} \\bibitem{a}\n" LI "\n" + c1 + l1 + kTail},
      {"no entry at all", "\\begin{thebibliography}{9}\n\\end{thebibliography}\n",
       "\\begin{thebibliography}{9}\n\\end{thebibliography}\n"},
  };
}

TEST(SortProgram, FilesInEveryMode) {
  for (const char* option : {"-sort", "-sort=py", "-sort=bs", "-sort=bhs", "-sort=uni"}) {
    for (const FileCase& c : file_cases()) {
      SCOPED_TRACE(std::string(option) + ": " + c.name);
      TempDir dir;
      write_bytes(dir.file("paper.bbl"), c.input);
      const Result result = run_program(dir, TOLVAR_PROGRAM, {"-s", option, "paper"});
      EXPECT_EQ(result.code, 0) << result.err;
      EXPECT_EQ(read_bytes(dir.file("paper.bbl.bak")), c.sorted);
      const std::string converted = read_bytes(dir.file("paper.bbl"));
      EXPECT_EQ(converted.rfind(std::string(kProcessedMarker), 0), 0u);
      EXPECT_EQ(citation_order(converted), citation_order(c.sorted));
      EXPECT_FALSE(std::filesystem::exists(dir.file("paper.bbl.tmp")));
    }
  }
}

// The sort step leaves a file without entries alone, so the result is the
// unsorted run's, line ends included.
TEST(SortProgram, FileWithoutEntriesConvertsAsWithoutSort) {
  const std::string input = "\\begin{thebibliography}{1}\r\n\r\r\n\\end{thebibliography}\r\n";
  std::string results[2];
  const std::vector<std::string> runs[2] = {{"-s", "paper"}, {"-s", "-sort=uni", "paper"}};
  for (int i = 0; i < 2; ++i) {
    TempDir dir;
    write_bytes(dir.file("paper.bbl"), input);
    EXPECT_EQ(run_program(dir, TOLVAR_PROGRAM, runs[i]).code, 0);
    results[i] = read_bytes(dir.file("paper.bbl")) + "|" + read_bytes(dir.file("paper.bbl.bak"));
  }
  EXPECT_EQ(results[1], results[0]);
}

// The conversion after a sort reads the sorted .bbl as it is on disk: its
// result is that of an unsorted run on the backup (the sorted text). With
// CR CR LF line ends the sorted text still holds CR LF, which that reading
// folds once more.
TEST(SortProgram, ConvertsTheSortedFileAsReadFromDisk) {
  for (const char* line_end : {"\n", "\r\n", "\r\r\n"}) {
    SCOPED_TRACE(::testing::PrintToString(line_end));
    std::string input = kHead + entry("Zhang", "Zhang San.") + entry("Li", LI " " DA ".") + kTail;
    for (size_t at = input.find('\n'); at != std::string::npos; at = input.find('\n', at + 1)) {
      input.replace(at, 1, line_end);
      at += std::string(line_end).size() - 1;
    }
    TempDir sorted_dir;
    write_bytes(sorted_dir.file("paper.bbl"), input);
    ASSERT_EQ(run_program(sorted_dir, TOLVAR_PROGRAM, {"-s", "-sort=uni", "paper"}).code, 0);
    const std::string backup = read_bytes(sorted_dir.file("paper.bbl.bak"));
    ASSERT_LT(backup.find("{Li}"), backup.find("{Zhang}"));
    TempDir plain_dir;
    write_bytes(plain_dir.file("paper.bbl"), backup);
    ASSERT_EQ(run_program(plain_dir, TOLVAR_PROGRAM, {"-s", "paper"}).code, 0);
    EXPECT_EQ(read_bytes(sorted_dir.file("paper.bbl")), read_bytes(plain_dir.file("paper.bbl")));
  }
}

// The first character of a name takes its surname reading from the shipped
// dictionary: polyphonic surnames sort among the ordinary ones by that
// reading, not by their ordinary one (given after "not").
TEST(SortProgram, PolyphonicSurnamesSortByTheirSurnameReading) {
  const struct {
    const char* cite;  // the citation key: the surname reading
    const char* surname;
  } in_pinyin_order[] = {
      {"bai2", "\xB0\xD7"},    // 白
      {"bi4", "\xC3\xD8"},     // 秘, not mi4
      {"chen2", "\xB3\xC2"},   // 陈
      {"dong3", "\xB6\xAD"},   // 董
      {"feng2", "\xB7\xEB"},   // 冯
      {"fu2", "\xE5\xB5"},     // 宓, not mi4
      {"hong2", "\xBA\xE9"},   // 洪
      {"jiang1", "\xBD\xAD"},  // 江
      {"jin1", "\xBD\xF0"},    // 金
      {"jue2", "\xBD\xC7"},    // 角, not jiao3
      {"kong3", "\xBF\xD7"},   // 孔
      {"kuo4", "\xCA\xCA"},    // 适, not shi4
      {"ma3", "\xC2\xED"},     // 马
      {"nian2", "\xD5\xB3"},   // 粘, not zhan1
      {"niu2", "\xC5\xA3"},    // 牛
      {"pan1", "\xC5\xCB"},    // 潘
      {"pi2", "\xDE\xAC"},     // 蕃, not bo1
      {"sun1", "\xCB\xEF"},    // 孙
      {"wang2", "\xCD\xF5"},   // 王
      {"xia4", "\xCF\xC4"},    // 夏
      {"xian3", "\xCF\xB4"},   // 洗, not xi3
      {"xie4", "\xD0\xBB"},    // 谢
      {"xing3", "\xCA\xA1"},   // 省, not sheng3
      {"yang2", "\xD1\xEE"},   // 杨
      {"zang4", "\xB2\xD8"},   // 藏, not cang2
      {"zhai4", "\xBC\xC0"},   // 祭, not ji4
      {"zhao4", "\xD5\xD4"},   // 赵
      {"zhou1", "\xD6\xDC"},   // 周
  };
  std::string body;  // in reverse order, each name the surname and 明
  std::vector<std::string> expected;
  for (const auto& row : in_pinyin_order) {
    body = entry(row.cite, std::string(row.surname) + "\xC3\xF7") + body;
    expected.push_back(row.cite);
  }
  TempDir dir;
  write_bytes(dir.file("paper.bbl"), kHead + body + kTail);
  const Result result = run_program(dir, TOLVAR_PROGRAM, {"-s", "-sort=py", "paper"});
  EXPECT_EQ(result.code, 0) << result.err;
  const std::string sorted = read_bytes(dir.file("paper.bbl.bak"));
  ASSERT_EQ(sorted.rfind(kHead, 0), 0u);
  EXPECT_EQ(citation_order(sorted.substr(kHead.size())), expected);
}

// A copy of the program with no GBK2py.inf beside it or anywhere it looks.
class WithoutDictionary : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directory(dir_.file("bin"));
    program_ = dir_.file("bin/tolvar");
    std::filesystem::copy_file(TOLVAR_PROGRAM, program_);
    write_bytes(dir_.file("paper.bbl"), input_);
  }
  TempDir dir_;
  std::string program_;
  const std::string input_ = kHead + entry("l1", "Young, A.") + entry("c1", YI) + kTail;
};

TEST_F(WithoutDictionary, PinyinFailsAndTouchesNothing) {
  for (const char* option : {"-sort", "-sort=py"}) {
    const Result result = run_program(dir_, program_, {option, "paper"});
    EXPECT_EQ(result.code, 1);
    EXPECT_EQ(result.err, "Failed to open GBK2py.inf!\n");
    EXPECT_EQ(read_bytes(dir_.file("paper.bbl")), input_);
    EXPECT_FALSE(std::filesystem::exists(dir_.file("paper.bbl.tmp")));
    EXPECT_FALSE(std::filesystem::exists(dir_.file("paper.bbl.bak")));
  }
}

TEST_F(WithoutDictionary, OtherOrdersNeedNoDictionary) {
  for (const char* option : {"-sort=bs", "-sort=bhs", "-sort=uni"}) {
    write_bytes(dir_.file("paper.bbl"), input_);
    const Result result = run_program(dir_, program_, {"-s", option, "paper"});
    EXPECT_EQ(result.code, 0) << option << ": " << result.err;
    EXPECT_EQ(read_bytes(dir_.file("paper.bbl.bak")),
              kHead + entry("c1", YI) + entry("l1", "Young, A.") + kTail);
  }
}

}  // namespace
}  // namespace tolvar

// Whole-program tests of the Windows build: tolvar.exe started with
// CreateProcess in a scratch folder, with an environment made for each case
// and a stand-in bibtex.exe. They run on Windows and under wine.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "shared/settings.h"
#include "tests/temp_dir.h"

namespace tolvar {
namespace {

namespace fs = std::filesystem;
using testing::read_bytes;
using testing::TempDir;
using testing::write_bytes;

const std::string kMarker(kProcessedMarker);

std::string absolute(const char* path) { return fs::absolute(path).make_preferred().string(); }

const std::string& tolvar_exe() {
  static const std::string path = absolute(TOLVAR_PROGRAM);
  return path;
}

const std::string& stand_in_directory() {
  static const std::string path = absolute(TOLVAR_STAND_IN_DIR);
  return path;
}

std::string example_bbl() { return read_bytes(absolute(TOLVAR_SOURCE_DIR "/examples/paper.bbl")); }

std::string with_crlf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out.push_back('\r');
    out.push_back(c);
  }
  return out;
}

// Drops the CR of every CR LF.
std::string without_cr(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out.push_back(text[i]);
  }
  return out;
}

// True when every LF is preceded by a CR, and CR comes nowhere else.
bool has_only_crlf_line_ends(const std::string& text) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) return false;
    if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')) return false;
  }
  return true;
}

// How the child is started: its first command-line word, its folder and
// the changes to the environment it inherits.
struct Launch {
  std::string program = tolvar_exe();
  std::string argv0 = "tolvar";
  std::vector<std::string> args;
  std::string directory;
  std::vector<std::pair<std::string, std::string>> set;
  std::vector<std::string> unset;
};

struct Result {
  DWORD code = 0xFFFFFFFF;
  std::string out;  // CR LF folded to LF
  std::string err;
};

// Quotes an argument for the child's parser; a double-byte character of
// the code page goes through whole, even when its second byte is a '\\'.
void append_quoted(const std::string& arg, std::string* line) {
  line->push_back('"');
  size_t backslashes = 0;
  for (size_t i = 0; i < arg.size(); ++i) {
    const char c = arg[i];
    if (IsDBCSLeadByte(static_cast<BYTE>(c)) && i + 1 < arg.size()) {
      line->append(backslashes, '\\');
      backslashes = 0;
      line->append(arg, i++, 2);
      continue;
    }
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    line->append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    line->push_back(c);
  }
  line->append(backslashes * 2, '\\');
  line->push_back('"');
}

bool same_name(const std::string& entry, const std::string& name) {
  return entry.size() > name.size() && entry[name.size()] == '=' &&
         CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, entry.data(), static_cast<int>(name.size()),
                        name.data(), static_cast<int>(name.size())) == CSTR_EQUAL;
}

std::string environment_block(const Launch& launch) {
  std::vector<std::string> entries;
  char* strings = GetEnvironmentStringsA();
  for (const char* p = strings; *p; p += strlen(p) + 1) entries.emplace_back(p);
  FreeEnvironmentStringsA(strings);
  std::vector<std::string> removed = launch.unset;
  for (const auto& [name, value] : launch.set) removed.push_back(name);
  std::string block;
  for (const std::string& entry : entries) {
    bool drop = false;
    for (const std::string& name : removed) drop = drop || same_name(entry, name);
    if (!drop) block += entry + '\0';
  }
  for (const auto& [name, value] : launch.set) block += name + '=' + value + '\0';
  return block + '\0';
}

HANDLE inheritable_file(const std::string& name) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  return CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

Result run(const Launch& launch, const TempDir& scratch) {
  const std::string out_name = scratch.file("stdout.txt"), err_name = scratch.file("stderr.txt");
  HANDLE out = inheritable_file(out_name), err = inheritable_file(err_name);
  std::string line;
  append_quoted(launch.argv0, &line);
  for (const std::string& arg : launch.args) {
    line.push_back(' ');
    append_quoted(arg, &line);
  }
  std::string environment = environment_block(launch);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION process = {};
  Result result;
  if (CreateProcessA(launch.program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, environment.data(),
                     launch.directory.empty() ? nullptr : launch.directory.c_str(), &startup, &process)) {
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &result.code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  } else {
    ADD_FAILURE() << "cannot start " << launch.program << " (error " << GetLastError() << ")";
  }
  CloseHandle(out);
  CloseHandle(err);
  result.out = without_cr(read_bytes(out_name));
  result.err = without_cr(read_bytes(err_name));
  return result;
}

// Each test works in a folder whose name has blanks, with its own copy of
// tolvar.exe and no data file beside it unless the test puts one there.
class WindowsProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    work_ = scratch_.file("work folder");
    fs::create_directories(work_);
    fs::create_directories(scratch_.file("app"));
    fs::copy_file(tolvar_exe(), app_exe());
  }

  std::string app_exe() const { return scratch_.file("app") + "\\tolvar.exe"; }
  std::string work(const std::string& name) const { return work_ + "\\" + name; }

  // Starts the copy of tolvar in the work folder, with no tolvar.cfg or
  // bibtex reachable unless `path` leads to one.
  Result run_in_work(std::vector<std::string> args, const std::string& path = "C:\\windows\\system32") {
    Launch launch;
    launch.program = app_exe();
    launch.args = std::move(args);
    launch.directory = work_;
    launch.set = {{"Path", path}};
    return run(launch, scratch_);
  }

  TempDir scratch_;
  std::string work_;
};

TEST_F(WindowsProgram, TextStreamsReadCrLfAsLfAndWriteCrLf) {
  const std::string lf = example_bbl();
  ASSERT_NE(lf.find('\n'), std::string::npos);
  ASSERT_EQ(lf.find('\r'), std::string::npos);
  std::string converted[2];
  const std::string inputs[2] = {lf, with_crlf(lf)};
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(i == 0 ? "LF input" : "CR LF input");
    write_bytes(work("paper.bbl"), inputs[i]);
    fs::remove(work("paper.bbl.bak"));
    const Result result = run_in_work({"paper"});
    EXPECT_EQ(result.code, 0u) << result.err;
    EXPECT_EQ(result.err, "");
    converted[i] = read_bytes(work("paper.bbl"));
    EXPECT_TRUE(converted[i].starts_with(with_crlf(kMarker)));
    EXPECT_TRUE(has_only_crlf_line_ends(converted[i]));
    // The backup is the file as it was, line ends included.
    EXPECT_EQ(read_bytes(work("paper.bbl.bak")), inputs[i]);
  }
  EXPECT_EQ(converted[0], converted[1]);
  // Converted for real: the labels' Chinese characters are in ^^7f form.
  EXPECT_NE(converted[0], with_crlf(kMarker + lf));
  EXPECT_NE(converted[0].find('\x7f'), std::string::npos);
}

TEST_F(WindowsProgram, RotationReplacesAnExistingBackup) {
  const std::string input = example_bbl();
  for (const char* sort : {"", "-sort=bs"}) {
    SCOPED_TRACE(sort);
    write_bytes(work("paper.bbl"), input);
    write_bytes(work("paper.bbl.bak"), "an old backup\n");
    write_bytes(work("paper.bbl.tmp"), "left over by a crash\n");
    std::vector<std::string> args{"paper.bbl"};
    if (*sort) args.push_back(sort);
    const Result result = run_in_work(args);
    EXPECT_EQ(result.code, 0u) << result.err;
    EXPECT_FALSE(fs::exists(work("paper.bbl.tmp")));
    const std::string backup = read_bytes(work("paper.bbl.bak"));
    if (*sort) {
      // Sorting makes the reordered, unconverted text the backup; it was
      // written as a text stream.
      EXPECT_TRUE(has_only_crlf_line_ends(backup));
      EXPECT_NE(without_cr(backup), input);
      EXPECT_EQ(without_cr(backup).size(), input.size());
      EXPECT_FALSE(backup.starts_with(kMarker));
    } else {
      EXPECT_EQ(backup, input);
    }
    EXPECT_TRUE(read_bytes(work("paper.bbl")).starts_with(with_crlf(kMarker)));
    EXPECT_EQ(result.out.substr(result.out.rfind("tolvar ")), "tolvar paper.bbl is finished!\n");
  }
}

// A previewer or editor that holds a file open without letting it be
// deleted stops the rotation: the result must stay under the temporary
// name, the .bbl untouched, and the run must say so and fail.
TEST_F(WindowsProgram, RotationBlockedByAFileHeldOpen) {
  const std::string input = example_bbl();
  const struct {
    const char* held;
    bool old_backup_kept;  // the old backup goes first, when it can
  } cases[] = {{"paper.bbl", false}, {"paper.bbl.bak", true}};
  for (const auto& [held, old_backup_kept] : cases) {
    SCOPED_TRACE(held);
    write_bytes(work("paper.bbl"), input);
    write_bytes(work("paper.bbl.bak"), "an old backup\n");
    fs::remove(work("paper.bbl.tmp"));
    HANDLE handle = CreateFileA(work(held).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    const Result result = run_in_work({"paper"});
    CloseHandle(handle);
    EXPECT_EQ(result.code, 1u);
    EXPECT_EQ(result.err, "Cannot rename paper.bbl.tmp to paper.bbl!\n");
    EXPECT_EQ(read_bytes(work("paper.bbl")), input);
    EXPECT_EQ(fs::exists(work("paper.bbl.bak")), old_backup_kept);
    if (old_backup_kept) {
      EXPECT_EQ(read_bytes(work("paper.bbl.bak")), "an old backup\n");
    }
    EXPECT_TRUE(read_bytes(work("paper.bbl.tmp")).starts_with(with_crlf(kMarker)));
  }
}

TEST_F(WindowsProgram, TemporaryFileHeldOpen) {
  write_bytes(work("paper.bbl"), example_bbl());
  write_bytes(work("paper.bbl.tmp"), "opened by another program\n");
  HANDLE handle = CreateFileA(work("paper.bbl.tmp").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  const Result result = run_in_work({"paper"});
  CloseHandle(handle);
  EXPECT_EQ(result.code, 1u);
  EXPECT_EQ(result.err, "Cannot open paper.bbl.tmp for writing!\n");
  EXPECT_EQ(read_bytes(work("paper.bbl.tmp")), "opened by another program\n");
  EXPECT_EQ(read_bytes(work("paper.bbl")), example_bbl());
  EXPECT_FALSE(fs::exists(work("paper.bbl.bak")));
}

TEST_F(WindowsProgram, BibtexStartsWithoutTheCommandInterpreter) {
  struct Case {
    const char* name;
    bool keep_comspec;
    std::string comspec;
    const char* seen;
  } cases[] = {
      {"COMSPEC unset", false, "", "COMSPEC unset\n"},
      {"COMSPEC names no program", true, "C:\\no\\such\\cmd.exe", "COMSPEC set\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(work("paper.bbl"));
    fs::remove(work("bibtex-calls.txt"));
    write_bytes(work("paper.stand-in"), example_bbl());
    Launch launch;
    launch.program = app_exe();
    launch.args = {"paper"};
    launch.directory = work_;
    launch.set = {{"Path", stand_in_directory()}};
    if (c.keep_comspec) launch.set.emplace_back("COMSPEC", c.comspec);
    else launch.unset = {"COMSPEC"};
    const Result result = run(launch, scratch_);
    EXPECT_EQ(result.code, 0u) << result.err;
    EXPECT_EQ(read_bytes(work("bibtex-calls.txt")), "arg paper\n" + std::string(c.seen));
    EXPECT_NE(result.out.find(">>>bibtex paper...\nstand-in bibtex ran\n<<<bibtex paper is finished!\n"),
              std::string::npos)
        << result.out;
    EXPECT_EQ(read_bytes(work("paper.bbl.bak")), example_bbl());
    EXPECT_TRUE(read_bytes(work("paper.bbl")).starts_with(with_crlf(kMarker)));
  }
}

// Starting a batch file needs the command interpreter, which the program
// does not use: only bibtex.exe (or .com) counts.
TEST_F(WindowsProgram, BibtexNotOnThePath) {
  write_bytes(scratch_.file("app") + "\\bibtex.bat", "@copy paper.stand-in paper.bbl\r\n");
  write_bytes(work("paper.stand-in"), example_bbl());
  const Result result = run_in_work({"paper"}, scratch_.file("app"));
  EXPECT_EQ(result.code, 1u);
  EXPECT_NE(result.err.find("bibtex"), std::string::npos) << result.err;
  EXPECT_FALSE(fs::exists(work("paper.bbl")));
}

TEST_F(WindowsProgram, NamesWithBlanks) {
  // Written by bibtex: the base name reaches it as one argument.
  write_bytes(work("my paper.stand-in"), example_bbl());
  Result result = run_in_work({"my paper"}, stand_in_directory());
  EXPECT_EQ(result.code, 0u) << result.err;
  EXPECT_EQ(read_bytes(work("bibtex-calls.txt")), "arg my paper\nCOMSPEC set\n");
  EXPECT_TRUE(read_bytes(work("my paper.bbl")).starts_with(with_crlf(kMarker)));
  EXPECT_TRUE(result.out.ends_with("tolvar my paper.bbl is finished!\n")) << result.out;

  // A full name through folders with blanks, from another current folder.
  const std::string full = scratch_.file("another folder") + "\\second paper.bbl";
  fs::create_directories(scratch_.file("another folder"));
  write_bytes(full, example_bbl());
  result = run_in_work({full});
  EXPECT_EQ(result.code, 0u) << result.err;
  EXPECT_EQ(read_bytes(full + ".bak"), example_bbl());
  EXPECT_TRUE(read_bytes(full).starts_with(with_crlf(kMarker)));
  EXPECT_FALSE(fs::exists(full + ".tmp"));
}

TEST_F(WindowsProgram, ConfigurationFoundOnThePath) {
  const std::string folder = scratch_.file("config folder");
  fs::create_directories(folder);
  // Saved by a Windows editor: CR LF line ends.
  write_bytes(folder + "\\tolvar.cfg", "% from the search path\r\nedition=EDITION-FROM-CFG\r\n");
  std::string slashed = folder;
  for (char& c : slashed) {
    if (c == '\\') c = '/';
  }
  const struct {
    const char* name;
    std::string path;
    bool found;
  } cases[] = {
      {"plain", "C:\\no such folder;" + folder, true},
      {"trailing backslash", "C:\\no such folder\\;" + folder + "\\;C:\\windows", true},
      {"forward slashes", slashed, true},
      {"empty elements", ";;" + folder + ";", true},
      {"not on the path", "C:\\no such folder;C:\\windows", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    write_bytes(work("paper.bbl"), example_bbl());
    const Result result = run_in_work({"paper"}, c.path);
    EXPECT_EQ(result.code, 0u) << result.err;
    const std::string converted = read_bytes(work("paper.bbl"));
    EXPECT_EQ(converted.find("EDITION-FROM-CFG") != std::string::npos, c.found);
  }
}

TEST_F(WindowsProgram, DataFilesBesideTheRealProgram) {
  const std::string dictionary = read_bytes(absolute(TOLVAR_SOURCE_DIR "/data/GBK2py.inf"));
  ASSERT_FALSE(dictionary.empty());
  const struct {
    const char* name;
    std::string exe;
    std::string dictionary_folder;  // empty: none installed
  } cases[] = {
      {"installed tree", "inst\\bin", "inst\\share\\tolvar"},
      {"program folder", "portable", "portable"},
      {"no dictionary", "bare", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::create_directories(scratch_.file(c.exe));
    fs::copy_file(tolvar_exe(), scratch_.file(c.exe) + "\\tolvar.exe");
    if (!c.dictionary_folder.empty()) {
      fs::create_directories(scratch_.file(c.dictionary_folder));
      write_bytes(scratch_.file(c.dictionary_folder) + "\\GBK2py.inf", dictionary);
    }
    write_bytes(work("paper.bbl"), example_bbl());
    // The first word of the command line names no folder: only the real
    // executable path leads to the data.
    Launch launch;
    launch.program = scratch_.file(c.exe) + "\\tolvar.exe";
    launch.argv0 = "tolvar";
    launch.args = {"-sort", "paper"};
    launch.directory = work_;
    launch.set = {{"Path", "C:\\windows\\system32"}};
    const Result result = run(launch, scratch_);
    if (c.dictionary_folder.empty()) {
      EXPECT_EQ(result.code, 1u);
      EXPECT_NE(result.err.find("Failed to open GBK2py.inf!"), std::string::npos) << result.err;
      EXPECT_EQ(read_bytes(work("paper.bbl")), example_bbl());
    } else {
      EXPECT_EQ(result.code, 0u) << result.err;
      EXPECT_TRUE(read_bytes(work("paper.bbl")).starts_with(with_crlf(kMarker)));
    }
  }
}

TEST_F(WindowsProgram, UsageAndExitCodes) {
  Result result = run_in_work({});
  EXPECT_EQ(result.code, 1u);
  EXPECT_NE(result.out.find("Usage : tolvar [options] filename[.bbl] [options]\n"), std::string::npos);
  result = run_in_work({"-strings", "paper"});
  EXPECT_EQ(result.code, 1u);
  EXPECT_FALSE(fs::exists(work("paper.bbl.tmp")));
}

// A UTF-8 .bbl (XeLaTeX): without -utf8 the run advises the option and
// converts as GBK; with it there is no advice.
TEST_F(WindowsProgram, Utf8BblAndTheUtf8Option) {
  const std::string bbl = "\\begin{thebibliography}{1}\n\n\\bibitem{a}\n"
                          "\xE7\x8E\x8B\xE5\x8A\x9B and \xE6\x9D\x8E\xE6\x98\x8E.\n"  // 王力 and 李明
                          "\n\\end{thebibliography}\n";
  const struct {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{"-s", "-npe", "paper"},
       "tolvar: paper.bbl looks like UTF-8; use -utf8 for XeLaTeX/LuaLaTeX documents\n"},
      {{"-s", "-UTF8", "paper"}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[1]);
    write_bytes(work("paper.bbl"), bbl);
    const Result result = run_in_work(c.args);
    EXPECT_EQ(result.code, 0u) << result.err;
    EXPECT_EQ(result.err, c.err);
    EXPECT_TRUE(read_bytes(work("paper.bbl")).starts_with(with_crlf(kMarker)));
  }
}

// File names in the ANSI code page of Chinese Windows (936, GBK). Some GBK
// characters end in the byte of '\\' (0x5c), as 運 (DF 5C) does; such a byte
// separates no folders.
bool exists(const std::string& name) { return GetFileAttributesA(name.c_str()) != INVALID_FILE_ATTRIBUTES; }

class WindowsGbkNames : public WindowsProgram {
 protected:
  void SetUp() override {
    if (GetACP() != 936) {
      GTEST_SKIP() << "needs the Chinese code page 936 (under wine: LC_ALL=zh_CN.UTF-8, with that "
                      "locale generated); this process has code page "
                   << GetACP();
    }
    WindowsProgram::SetUp();
    // Under wine the host must be able to store the names too.
    const std::string probe = work("\xc2\xdb\xce\xc4");
    write_bytes(probe, "x");
    if (read_bytes(probe) != "x") GTEST_SKIP() << "this system cannot store GBK file names";
    DeleteFileA(probe.c_str());
  }
};

TEST_F(WindowsGbkNames, ConvertedInPlace) {
  ASSERT_TRUE(CreateDirectoryA(work("\xdf\x5c.d").c_str(), nullptr));
  const struct {
    std::string argument;
    std::string bbl;
  } cases[] = {
      {"\xc2\xdb\xce\xc4", "\xc2\xdb\xce\xc4.bbl"},
      {"\xc2\xdb\xce\xc4.bbl", "\xc2\xdb\xce\xc4.bbl"},
      {"\xdf\x5c", "\xdf\x5c.bbl"},
      {"\xdf\x5c.bbl", "\xdf\x5c.bbl"},
      {"\xdf\x5c.tex", "\xdf\x5c.bbl"},
      {"x\xdf\x5c.BBL", "x\xdf\x5c.BBL"},
      {"\xdf\x5c.d\\\xdf\x5c.bbl", "\xdf\x5c.d\\\xdf\x5c.bbl"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.argument);
    write_bytes(work(c.bbl), example_bbl());
    DeleteFileA(work(c.bbl + ".bak").c_str());
    const Result result = run_in_work({c.argument});
    EXPECT_EQ(result.code, 0u) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_TRUE(result.out.ends_with("tolvar " + c.bbl + " is finished!\n")) << result.out;
    EXPECT_TRUE(read_bytes(work(c.bbl)).starts_with(with_crlf(kMarker)));
    EXPECT_EQ(read_bytes(work(c.bbl + ".bak")), example_bbl());
    EXPECT_FALSE(exists(work(c.bbl + ".tmp")));
  }
}

// A Chinese console hands a keyword value over in GBK; a UTF-8 run writes
// it in UTF-8.
TEST_F(WindowsGbkNames, GbkArgumentInAUtf8Run) {
  write_bytes(work("paper.bbl"),
              "\\begin{thebibliography}{1}\n\n\\bibitem{a}\n"
              "\xE7\x8E\x8B\xE5\x8A\x9B, \xE6\x9D\x8E\xE6\x98\x8E, et~al.\n"  // 王力, 李明
              "\n\\end{thebibliography}\n");
  const Result result = run_in_work({"-utf8", "-etal.=\xB5\xC8\xC8\xCB", "paper"});  // GBK 等人
  EXPECT_EQ(result.code, 0u) << result.err;
  const std::string converted = read_bytes(work("paper.bbl"));
  EXPECT_NE(converted.find("\xE7\xAD\x89\xE4\xBA\xBA"), std::string::npos) << converted;  // UTF-8 等人
  EXPECT_EQ(converted.find("\xB5\xC8\xC8\xCB"), std::string::npos) << converted;
}

TEST_F(WindowsGbkNames, BibtexGetsTheBaseName) {
  for (const std::string base : {"\xc2\xdb\xce\xc4", "\xdf\x5c", "my \xdf\x5c"}) {
    SCOPED_TRACE(base);
    DeleteFileA(work("bibtex-calls.txt").c_str());
    write_bytes(work(base + ".stand-in"), example_bbl());
    const Result result = run_in_work({base + ".bbl"}, stand_in_directory());
    EXPECT_EQ(result.code, 0u) << result.err;
    EXPECT_EQ(read_bytes(work("bibtex-calls.txt")), "arg " + base + "\nCOMSPEC set\n");
    EXPECT_TRUE(read_bytes(work(base + ".bbl")).starts_with(with_crlf(kMarker)));
  }
}

}  // namespace
}  // namespace tolvar

#include "run/run.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <sstream>

#include "shared/memory_env.h"
#include "run/options.h"
#include "shared/settings.h"
#include "tests/temp_dir.h"

namespace tolvar {
namespace {

const std::string kMarker(kProcessedMarker);
const std::string kBbl = "\\begin{thebibliography}{1}\n\\bibitem{a} A.\n\\end{thebibliography}\n";
const std::string kFresh = "\\begin{thebibliography}{9}\n\\bibitem{b} B.\n\\end{thebibliography}\n";

class RunTest : public ::testing::Test {
 protected:
  int run(std::vector<std::string> args) {
    out_.str("");
    err_.str("");
    return run_tolvar(args, places_, env_, out_, err_);
  }
  // A bibtex that writes `text` as the .bbl of the base name it is given.
  void bibtex_writes(std::string text) {
    env_.programs["bibtex"] = [text](MemoryEnv* env, const std::vector<std::string>& args, std::string*) {
      env->files[args.at(0) + ".bbl"] = text;
      return true;
    };
  }
  void bibtex_does_nothing() {
    env_.programs["bibtex"] = [](MemoryEnv*, const std::vector<std::string>&, std::string*) { return true; };
  }

  MemoryEnv env_;
  SearchPlaces places_;
  std::ostringstream out_, err_;
};

TEST_F(RunTest, ExistingBblIsConvertedAndBackedUpWithoutBibtex) {
  env_.files["paper.bbl"] = kBbl;
  env_.files["paper.bbl.bak"] = "old backup";
  EXPECT_EQ(run({"paper"}), 0);
  EXPECT_EQ(env_.started.size(), 0u);
  EXPECT_EQ(env_.files["paper.bbl"], kMarker + kBbl);
  EXPECT_EQ(env_.files["paper.bbl.bak"], kBbl);
  EXPECT_EQ(env_.files.count("paper.bbl.tmp"), 0u);
  EXPECT_EQ(out_.str(), banner() + "tolvar paper.bbl is finished!\n");
  EXPECT_EQ(err_.str(), "");
}

TEST_F(RunTest, NamesKeepTheArgumentsBytes) {
  const struct {
    const char* arg;
    const char* bbl;
    const char* bibtex;
  } cases[] = {
      {"Paper.BBL", "Paper.BBL", "bibtex Paper"},
      {"MyThesis", "MyThesis.bbl", "bibtex MyThesis"},
      {"paper.tex", "paper.bbl", "bibtex paper"},
      {"a b;c", "a b;c.bbl", "bibtex a b;c"},
  };
  for (const auto& c : cases) {
    env_ = MemoryEnv();
    bibtex_does_nothing();
    EXPECT_EQ(run({c.arg}), 1);
    EXPECT_EQ(env_.started, std::vector<std::string>{c.bibtex});
    env_.files[c.bbl] = kBbl;
    EXPECT_EQ(run({c.arg}), 0);
    EXPECT_EQ(env_.files[c.bbl], kMarker + kBbl) << c.arg;
    EXPECT_TRUE(out_.str().ends_with(std::string("tolvar ") + c.bbl + " is finished!\n")) << out_.str();
  }
}

TEST_F(RunTest, MissingBblRunsBibtexOnce) {
  bibtex_writes(kBbl);
  EXPECT_EQ(run({"paper.bbl"}), 0);
  EXPECT_EQ(env_.started, std::vector<std::string>{"bibtex paper"});
  EXPECT_EQ(out_.str(), banner() + ">>>bibtex paper...\n<<<bibtex paper is finished!\n" +
                            "tolvar paper.bbl is finished!\n");
  EXPECT_EQ(env_.files["paper.bbl"], kMarker + kBbl);
  EXPECT_EQ(env_.files["paper.bbl.bak"], kBbl);
}

TEST_F(RunTest, SilentRunPrintsNothingToStandardOutput) {
  bibtex_writes(kBbl);
  EXPECT_EQ(run({"-s", "paper"}), 0);
  EXPECT_EQ(env_.started.size(), 1u);
  EXPECT_EQ(out_.str(), "");
  // Errors are never silenced.
  env_ = MemoryEnv();
  EXPECT_EQ(run({"paper", "-s"}), 1);
  EXPECT_EQ(out_.str(), "");
  EXPECT_EQ(err_.str(), "bibtex: command not found\n");
}

TEST_F(RunTest, BibtexThatCannotBeStartedIsReportedAndTheRunFails) {
  EXPECT_EQ(run({"paper"}), 1);
  EXPECT_EQ(out_.str(), banner() + ">>>bibtex paper...\n<<<bibtex paper is finished!\n");
  EXPECT_EQ(err_.str(), "bibtex: command not found\n");
  EXPECT_TRUE(env_.files.empty());
}

TEST_F(RunTest, BibtexThatWritesNothingFailsSilently) {
  bibtex_does_nothing();
  EXPECT_EQ(run({"paper"}), 1);
  EXPECT_EQ(err_.str(), "");
  EXPECT_TRUE(env_.files.empty());
}

TEST_F(RunTest, ProcessedOrEmptyBblIsRegenerated) {
  const struct {
    std::string before;   // the .bbl on disk
    std::string bibtex;   // what bibtex writes, or "-" for nothing
    int want_code;
    size_t want_runs;
    std::string want_bbl;  // the .bbl afterwards
  } cases[] = {
      {kMarker + kBbl, kFresh, 0, 1, kMarker + kFresh},
      // bibtex could not write it anew: the processed file is converted again.
      {kMarker + kBbl, "-", 0, 1, kMarker + kMarker + kBbl},
      // A new file written because of the marker is not tested again.
      {kMarker + kBbl, kMarker, 0, 1, kMarker + kMarker},
      {"", kFresh, 0, 1, kMarker + kFresh},
      {"", "", 1, 1, ""},
      {"", "-", 1, 1, ""},
      // An empty file's replacement is tested for the marker in turn.
      {"", kMarker + kBbl, 0, 2, kMarker + kMarker + kBbl},
      // Not the marker: any byte differs.
      {"%& This .bbl file has been processed by tolvar! \n" + kBbl, kFresh, 0, 0,
       kMarker + "%& This .bbl file has been processed by tolvar! \n" + kBbl},
      {"%& This .bbl file has been processed by tolvar!", kFresh, 0, 0,
       kMarker + "%& This .bbl file has been processed by tolvar!"},
      {"x", kFresh, 0, 0, kMarker + "x"},
  };
  for (const auto& c : cases) {
    env_ = MemoryEnv();
    env_.files["paper.bbl"] = c.before;
    if (c.bibtex == "-") bibtex_does_nothing();
    else bibtex_writes(c.bibtex);
    EXPECT_EQ(run({"paper"}), c.want_code) << c.before;
    EXPECT_EQ(env_.started.size(), c.want_runs) << c.before;
    EXPECT_EQ(env_.files["paper.bbl"], c.want_bbl) << c.before;
    EXPECT_EQ(err_.str(), "");
    EXPECT_EQ(env_.files.count("paper.bbl.tmp"), 0u);
  }
}

TEST_F(RunTest, ProgressLinesAppearForEachBibtexRun) {
  env_.files["paper.bbl"] = "";
  bibtex_writes(kMarker);
  EXPECT_EQ(run({"paper"}), 0);
  const std::string once = ">>>bibtex paper...\n<<<bibtex paper is finished!\n";
  EXPECT_EQ(out_.str(), banner() + once + once + "tolvar paper.bbl is finished!\n");
}

TEST_F(RunTest, FileFailures) {
  // The .bbl cannot be read.
  env_.directories.insert("paper.bbl");
  EXPECT_EQ(run({"paper"}), 1);
  EXPECT_EQ(err_.str(), "Failed to open paper.bbl for reading!\n");

  // The temporary file cannot be created: nothing changes.
  env_ = MemoryEnv();
  env_.files["paper.bbl"] = kBbl;
  env_.unwritable.insert("paper.bbl.tmp");
  EXPECT_EQ(run({"paper"}), 1);
  EXPECT_EQ(err_.str(), "Cannot open paper.bbl.tmp for writing!\n");
  EXPECT_EQ(env_.files, (std::map<std::string, std::string>{{"paper.bbl", kBbl}}));
  EXPECT_EQ(out_.str(), banner());

  // The result cannot be written whole: the partial file goes, nothing is rotated.
  env_ = MemoryEnv();
  env_.files["paper.bbl"] = kBbl;
  env_.full.insert("paper.bbl.tmp");
  EXPECT_EQ(run({"paper"}), 1);
  EXPECT_EQ(err_.str(), "Failed to write paper.bbl.tmp!\n");
  EXPECT_EQ(env_.files, (std::map<std::string, std::string>{{"paper.bbl", kBbl}}));

  // The same for the sorted text.
  env_ = MemoryEnv();
  env_.files["paper.bbl"] = kBbl;
  env_.full.insert("paper.bbl.tmp");
  EXPECT_EQ(run({"-sort=bs", "paper"}), 1);
  EXPECT_EQ(err_.str(), "Failed to write paper.bbl.tmp!\n");
  EXPECT_EQ(env_.files, (std::map<std::string, std::string>{{"paper.bbl", kBbl}}));
}

TEST_F(RunTest, FailedFinalRenameKeepsTheResultInTheTemporaryFile) {
  env_.files["paper.bbl"] = kBbl;
  env_.rename_fails_to.insert("paper.bbl");
  EXPECT_EQ(run({"paper"}), 1);
  EXPECT_EQ(err_.str(), "Cannot rename paper.bbl.tmp to paper.bbl!\n");
  EXPECT_EQ(env_.files["paper.bbl.tmp"], kMarker + kBbl);
  EXPECT_EQ(env_.files["paper.bbl.bak"], kBbl);
  EXPECT_EQ(out_.str(), banner());
}

TEST_F(RunTest, BackupThatCannotBeRemovedKeepsTheBbl) {
  env_.files["paper.bbl"] = kBbl;
  env_.directories.insert("paper.bbl.bak");
  EXPECT_EQ(run({"paper"}), 1);
  EXPECT_EQ(err_.str(), "Cannot rename paper.bbl.tmp to paper.bbl!\n");
  EXPECT_EQ(env_.files["paper.bbl"], kBbl);
  EXPECT_EQ(env_.files["paper.bbl.tmp"], kMarker + kBbl);
}

TEST_F(RunTest, SortedRunKeepsTheSortedTextAsTheBackup) {
  env_.files["paper.bbl"] = kBbl;
  EXPECT_EQ(run({"-sort=bs", "paper"}), 0);
  EXPECT_EQ(env_.files["paper.bbl"].substr(0, kMarker.size()), kMarker);
  // The backup is what the conversion read: the sort step's output.
  EXPECT_EQ(kMarker + env_.files["paper.bbl.bak"], env_.files["paper.bbl"]);
  EXPECT_FALSE(env_.files["paper.bbl.bak"].starts_with(kMarker));
  EXPECT_EQ(env_.files.count("paper.bbl.tmp"), 0u);
}

TEST_F(RunTest, FailedRenameInTheSortStep) {
  env_.files["paper.bbl"] = kBbl;
  env_.directories.insert("paper.bbl.bak");
  EXPECT_EQ(run({"-sort=uni", "paper"}), 1);
  EXPECT_EQ(err_.str(), "Cannot rename paper.bbl.tmp to paper.bbl!\n");
  EXPECT_EQ(env_.files["paper.bbl"], kBbl);
  EXPECT_EQ(env_.files.count("paper.bbl.tmp"), 1u);
}

// Runs a test body with an empty current directory, so that no data file
// lying about is found there.
class ScopedEmptyCurrentDirectory {
 public:
  ScopedEmptyCurrentDirectory() : old_(std::filesystem::current_path()) {
    std::filesystem::current_path(dir_.path());
  }
  ~ScopedEmptyCurrentDirectory() { std::filesystem::current_path(old_); }

 private:
  testing::TempDir dir_;
  std::filesystem::path old_;
};

TEST_F(RunTest, MissingDictionaryEndsThePinyinRunAndRemovesTheTemporaryFile) {
  ScopedEmptyCurrentDirectory empty;
  env_.files["paper.bbl"] = kBbl;
  EXPECT_EQ(run({"-sort", "paper"}), 1);
  EXPECT_EQ(err_.str(), "Failed to open GBK2py.inf!\n");
  EXPECT_EQ(env_.files, (std::map<std::string, std::string>{{"paper.bbl", kBbl}}));
}

TEST_F(RunTest, HelpTextsAndExitCodes) {
  env_.files["paper.bbl"] = kBbl;
  const struct {
    std::vector<std::string> args;
    int code;
    std::string out;
  } cases[] = {
      {{}, 1, usage_text()},
      {{"-s"}, 1, usage_text()},
      {{"-s", "-npe", "-visible"}, 1, usage_text()},
      {{""}, 1, usage_text()},
      {{"paper", ""}, 1, usage_text()},
      {{"paper", "-strings"}, 1, strings_help()},
      {{"-strings", "-s"}, 1, strings_help()},
      {{"-s", "-strings", "paper"}, 1, strings_help()},
      {{"paper", "-dispcjk"}, 1, banner() + cjk_support_commands()},
      {{"-s", "-DISPCJK"}, 1, banner() + cjk_support_commands()},
      {{"--help"}, 0, help_text()},
      {{"paper", "--help"}, 0, help_text()},
      {{"--version"}, 0, banner()},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(run(c.args), c.code);
    EXPECT_EQ(out_.str(), c.out);
    EXPECT_EQ(err_.str(), "");
    EXPECT_EQ(env_.files, (std::map<std::string, std::string>{{"paper.bbl", kBbl}}));
  }
}

TEST_F(RunTest, BadLeadByteInEtalIsReportedAndTheRunGoesOn) {
  env_.files["paper.bbl"] = kBbl;
  EXPECT_EQ(run({"-etal.=\xB5", "paper"}), 0);
  EXPECT_EQ(err_.str(), "Wrong CJK characters in options:... ^^b5^^0\n");
  EXPECT_EQ(run({"-and=\xB5\x7F"}), 1);
  EXPECT_EQ(err_.str(), "Wrong CJK characters in options:... ^^b5^^7f\n");
  EXPECT_EQ(out_.str(), usage_text());
}

// A GBK run on a UTF-8 .bbl with Chinese text says so in one line on
// standard error (-s does not hide it) and converts as it always does.
TEST_F(RunTest, GbkRunOnAUtf8BblAdvisesTheOption) {
  const std::string advice =
      "tolvar: paper.bbl looks like UTF-8; use -utf8 for XeLaTeX/LuaLaTeX documents\n";
  const std::string head = "\begin{thebibliography}{1}\n\bibitem{a} ";
  const struct {
    std::string author;
    std::vector<std::string> options;
    bool advised;
  } cases[] = {
      {"王力 and 李明.", {}, true},
      {"王力 and 李明.", {"-s"}, true},
      {"王力 and 李明.", {"-utf8"}, false},
      {"\xF0\xA0\xAE\xB7 and Smith.", {}, true},  // U+20BB7
      {"M\xC3\xBCller and Smith.", {}, false},    // UTF-8 "Müller", no Chinese
      {"A. Smith.", {}, false},
      {"\xCD\xF5\xC1\xA6 and \xC0\xEE\xC3\xF7.", {}, false},  // GBK 王力, 李明
      {"王力 and 李明 \xB5\xC8.", {}, false},       // mixed: not all UTF-8
  };
  for (const auto& c : cases) {
    env_ = MemoryEnv();
    const std::string bbl = head + c.author + "\n\\end{thebibliography}\n";
    env_.files["paper.bbl"] = bbl;
    std::vector<std::string> args = c.options;
    args.push_back("paper");
    EXPECT_EQ(run(args), 0) << c.author;
    EXPECT_EQ(err_.str(), c.advised ? advice : "") << c.author;
    EXPECT_EQ(env_.files["paper.bbl.bak"], bbl);
  }
}

// The configuration is observed through the one message it can cause.
TEST_F(RunTest, ConfigurationIsSearchedAndOverriddenByOptions) {
  const std::string bad = "Wrong CJK characters in options:... ^^b5^^0\n";
  env_.files["paper.bbl"] = kBbl;
  bibtex_writes(kBbl);  // every run after the first regenerates the .bbl
  places_.program_directory = "prog/";
  places_.search_path = {"p1/", "p2/"};
  places_.installed_data_directory = "share/";
  env_.files["share/tolvar.cfg"] = "etal.=\xB5\n";
  EXPECT_EQ(run({"paper"}), 0);
  EXPECT_EQ(err_.str(), bad);
  EXPECT_EQ(run({"paper", "-etal.=x"}), 0);
  EXPECT_EQ(err_.str(), "");
  // An earlier place hides the later ones.
  const char* earlier[] = {"p2/tolvar.cfg", "p1/tolvar.cfg", "prog/tolvar.cfg", "tolvar.cfg"};
  for (const char* name : earlier) {
    env_.files[name] = "% good\netal.=y\n";
    EXPECT_EQ(run({"paper"}), 0);
    EXPECT_EQ(err_.str(), "") << name;
    env_.files[name] = "etal.=\xB5\n";
    EXPECT_EQ(run({"paper"}), 0);
    EXPECT_EQ(err_.str(), bad) << name;
  }
}

}  // namespace
}  // namespace tolvar

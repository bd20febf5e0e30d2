// The run of -keys over files kept in memory: which files it keys, what it
// leaves alone, and that a failure at any step leaves the user's file as
// it was.
#include "bib/bib_run.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "run/run.h"
#include "shared/memory_env.h"

namespace tolvar {
namespace {

// 张三 in GBK and in UTF-8.
const std::string kGbkEntry = "@book{z,\n  author = {\xD5\xC5\xC8\xFD},\n}\n";
const std::string kUtf8Entry = "@book{z,\n  author = {\xE5\xBC\xA0\xE4\xB8\x89},\n}\n";
const std::string kEnglishEntry = "@book{k,\n  author = {Knuth, Donald},\n}\n";

struct Outcome {
  int code = 0;
  std::string out;
  std::string err;
};

Outcome run(MemoryEnv* env, std::vector<std::string> args) {
  SearchPlaces places;
  places.installed_data_directory = TOLVAR_DATA_DIR "/";
  std::ostringstream out, err;
  Outcome outcome;
  outcome.code = run_tolvar(args, places, *env, out, err);
  outcome.out = out.str();
  outcome.err = err.str();
  return outcome;
}

bool keyed(const std::string& text) { return text.find("  key = {") != std::string::npos; }

TEST(BibRun, KeysTheFileAndKeepsTheOldBytesAsBak) {
  MemoryEnv env;
  env.files["refs.bib"] = kGbkEntry + kEnglishEntry;
  const Outcome outcome = run(&env, {"-keys=bs", "refs.bib"});
  EXPECT_EQ(outcome.code, 0) << outcome.err;
  EXPECT_TRUE(keyed(env.files["refs.bib"])) << env.files["refs.bib"];
  EXPECT_EQ(env.files["refs.bib.bak"], kGbkEntry + kEnglishEntry);
  EXPECT_NE(outcome.out.find("1 key added"), std::string::npos) << outcome.out;
  EXPECT_EQ(env.files.size(), 2u);  // no temporary file left
}

TEST(BibRun, NothingToAddWritesNothing) {
  MemoryEnv env;
  env.files["refs.bib"] = kEnglishEntry;
  // Any write would fail: the run must not try one.
  env.unwritable = {"refs.bib", "refs.bib.bak"};
  const Outcome outcome = run(&env, {"-s", "-keys=bs", "refs.bib"});
  EXPECT_EQ(outcome.code, 0) << outcome.err;
  EXPECT_EQ(env.files.size(), 1u);
  EXPECT_EQ(outcome.out, "");
}

TEST(BibRun, ThroughALinkTheTargetChangesAndTheLinkStays) {
  MemoryEnv env;
  env.files["shared/refs.bib"] = kGbkEntry;
  env.links["refs.bib"] = "shared/refs.bib";
  EXPECT_EQ(run(&env, {"-keys=uni", "refs.bib"}).code, 0);
  EXPECT_TRUE(keyed(env.files["shared/refs.bib"]));
  EXPECT_EQ(env.files["shared/refs.bib.bak"], kGbkEntry);
  EXPECT_EQ(env.links["refs.bib"], "shared/refs.bib");
  EXPECT_EQ(env.files.count("refs.bib"), 0u);
}

TEST(BibRun, AFailedStepLeavesTheFileAsItWas) {
  struct Case {
    const char* name;
    void (*arrange)(MemoryEnv*);
  } cases[] = {
      {"replace fails", [](MemoryEnv* env) { env->rename_fails_to.insert("refs.bib"); }},
      {"temporary file cannot be written", [](MemoryEnv* env) { env->full.insert("refs.bib"); }},
      {"backup cannot be made", [](MemoryEnv* env) { env->unwritable.insert("refs.bib.bak"); }},
  };
  for (const Case& c : cases) {
    MemoryEnv env;
    env.files["refs.bib"] = kGbkEntry;
    c.arrange(&env);
    const Outcome outcome = run(&env, {"-keys=bs", "refs.bib"});
    EXPECT_EQ(outcome.code, 1) << c.name;
    EXPECT_EQ(env.files["refs.bib"], kGbkEntry) << c.name;
    EXPECT_NE(outcome.err.find("refs.bib is left as it was"), std::string::npos) << c.name << outcome.err;
    for (const auto& [name, contents] : env.files) {
      EXPECT_EQ(name.find(MemoryEnv::kTemporarySuffix), std::string::npos) << c.name << ": " << name;
    }
  }
}

TEST(BibRun, TheDocumentsFilesComeFromItsBcfOrAux) {
  const std::string bcf =
      "<bcf:bibdata section=\"0\">\n"
      "  <bcf:datasource type=\"file\" datatype=\"bibtex\" glob=\"false\">refs.bib</bcf:datasource>\n"
      "  <bcf:datasource type=\"file\" datatype=\"biblatexml\">other.bltxml</bcf:datasource>\n"
      "  <bcf:datasource type=\"file\" datatype=\"bibtex\">a&amp;b.bib</bcf:datasource>\n"
      "</bcf:bibdata>\n";
  struct Case {
    const char* name;
    std::map<std::string, std::string> files;
    std::vector<std::string> args;
    int code;
    std::vector<std::string> keyed_files;
    const char* message;
  } cases[] = {
      {"bcf before aux",
       {{"doc/paper.bcf", bcf}, {"doc/paper.aux", "\\bibdata{aux}\n"}, {"refs.bib", kGbkEntry},
        {"doc/a&b.bib", kGbkEntry}, {"doc/aux.bib", kGbkEntry}},
       {"-keys=bs", "doc/paper.tex"}, 0, {"refs.bib", "doc/a&b.bib"}, ""},
      {"aux, beside the document",
       {{"doc/paper.aux", "\\bibdata{refs,more.bib}\n"}, {"doc/refs.bib", kGbkEntry}, {"doc/more.bib", kGbkEntry}},
       {"-keys=bs", "doc/paper"}, 0, {"doc/refs.bib", "doc/more.bib"}, ""},
      {"named by its .bbl",
       {{"paper.aux", "\\bibdata{refs}\n"}, {"refs.bib", kGbkEntry}},
       {"-keys=bs", "paper.BBL"}, 0, {"refs.bib"}, ""},
      {"a missing file",
       {{"paper.aux", "\\bibdata{refs,gone}\n"}, {"refs.bib", kGbkEntry}},
       {"-keys=bs", "paper"}, 0, {"refs.bib"}, "tolvar: cannot find gone.bib (named in paper.aux)\n"},
      {"a TeX tree",
       {{"paper.aux", "\\bibdata{/usr/share/texlive/texmf-dist/bibtex/bib/x}\n"},
        {"/usr/share/texlive/texmf-dist/bibtex/bib/x.bib", kGbkEntry}},
       {"-keys=bs", "paper"}, 0, {}, ""},
      {"no document", {}, {"-keys=bs", "paper"}, 1, {},
       "tolvar: found neither paper.bcf nor paper.aux; run LaTeX first, or name the .bib file\n"},
  };
  for (const Case& c : cases) {
    MemoryEnv env;
    env.files = c.files;
    const Outcome outcome = run(&env, c.args);
    EXPECT_EQ(outcome.code, c.code) << c.name << ": " << outcome.err;
    EXPECT_EQ(outcome.err, c.message) << c.name;
    for (const auto& [name, contents] : env.files) {
      if (!name.ends_with(".bib")) continue;
      const bool expected = std::find(c.keyed_files.begin(), c.keyed_files.end(), name) != c.keyed_files.end();
      EXPECT_EQ(keyed(contents), expected) << c.name << ": " << name;
    }
  }
}

TEST(BibRun, RefusesWhatWouldWriteWrongKeys) {
  struct Case {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      // UTF-8 read as GBK would give wrong readings: the file is left alone.
      {{"-keys=bs", "refs.bib"}, "tolvar: refs.bib looks like UTF-8; use -utf8 for XeLaTeX/LuaLaTeX documents\n"},
      {{"-utf8", "-keys=foo", "refs.bib"},
       "tolvar: unknown order in -keys= (py, pinyin, bs, bishun, bhs, bihuashu, uni or unicode)\n"},
      {{"-utf8", "-keys", "-keyfield=a b", "refs.bib"},
       "tolvar: -keyfield= needs a field name: letters, digits and no blank\n"},
  };
  for (const Case& c : cases) {
    MemoryEnv env;
    env.files["refs.bib"] = kUtf8Entry;
    const Outcome outcome = run(&env, c.args);
    EXPECT_EQ(outcome.code, 1);
    EXPECT_EQ(outcome.err, c.message);
    EXPECT_EQ(env.files.size(), 1u);
    EXPECT_EQ(env.files["refs.bib"], kUtf8Entry);
  }
  // With -utf8 the same file is keyed, in pinyin with the shipped dictionary.
  MemoryEnv env;
  env.files["refs.bib"] = kUtf8Entry;
  EXPECT_EQ(run(&env, {"-s", "-utf8", "-keys", "refs.bib"}).code, 0);
  EXPECT_NE(env.files["refs.bib"].find("key = {zhang1"), std::string::npos) << env.files["refs.bib"];
}

}  // namespace
}  // namespace tolvar

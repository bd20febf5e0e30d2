#include "run/file_names.h"

#include <gtest/gtest.h>

namespace tolvar {
namespace {

TEST(DeriveFileNames, SuffixesAndPaths) {
  const struct {
    const char* arg;
    const char* base;
    const char* bbl;
  } cases[] = {
      {"paper", "paper", "paper.bbl"},
      {"paper.bbl", "paper", "paper.bbl"},
      {"Paper.BBL", "Paper", "Paper.BBL"},
      {"MyThesis", "MyThesis", "MyThesis.bbl"},
      {"paper.tex", "paper", "paper.bbl"},
      {"paper.TeX", "paper", "paper.bbl"},
      {"paper.aux", "paper", "paper.bbl"},
      {"paper.", "paper", "paper.bbl"},
      {"paper.v2", "paper.v2", "paper.v2.bbl"},
      {"my.dir/paper", "my.dir/paper", "my.dir/paper.bbl"},
      {"my.dir/paper.bbl", "my.dir/paper", "my.dir/paper.bbl"},
      {"a b", "a b", "a b.bbl"},
      {"-x", "-x", "-x.bbl"},
      {".bbl", ".bbl", ".bbl.bbl"},
      {"dir/.bbl", "dir/.bbl", "dir/.bbl.bbl"},
      {"\xC2\xDB\xCE\xC4", "\xC2\xDB\xCE\xC4", "\xC2\xDB\xCE\xC4.bbl"},
      {"x.bbl.tex", "x.bbl", "x.bbl.bbl"},
  };
  for (const auto& c : cases) {
    RunFileNames names = derive_file_names(c.arg);
    EXPECT_EQ(names.base, c.base) << c.arg;
    EXPECT_EQ(names.bbl, c.bbl) << c.arg;
    EXPECT_EQ(names.tmp, std::string(c.bbl) + ".tmp") << c.arg;
    EXPECT_EQ(names.bak, std::string(c.bbl) + ".bak") << c.arg;
  }
}

}  // namespace
}  // namespace tolvar

// Whole-file conversion through the built program: a .bbl in a scratch
// folder, converted in place, compared byte for byte.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "shared/settings.h"
#include "tests/temp_dir.h"
#include "tests/gbk_test_strings.h"
#include "tests/worked_example.h"

namespace tolvar {
namespace {

using testing::read_bytes;
using testing::TempDir;
using testing::write_bytes;

struct Converted {
  int code = -1;
  std::string bbl;     // the .bbl after the run
  std::string errors;  // standard error
};

// Writes `input` as paper.bbl (and `cfg` as tolvar.cfg, so no other
// configuration is found), runs "tolvar paper" with `options`.
Converted convert_file(const std::string& input, const std::vector<std::string>& options,
                       const std::string& cfg = "") {
  TempDir dir;
  write_bytes(dir.file("paper.bbl"), input);
  write_bytes(dir.file("tolvar.cfg"), cfg.empty() ? "% defaults\n" : cfg);
  std::string command = "cd '" + dir.path().string() + "' && '" TOLVAR_PROGRAM "' -s paper";
  for (const std::string& option : options) command += " '" + option + "'";
  command += " >out.txt 2>err.txt";
  Converted result;
  const int status = std::system(command.c_str());
  result.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.bbl = read_bytes(dir.file("paper.bbl"));
  result.errors = read_bytes(dir.file("err.txt"));
  EXPECT_EQ(read_bytes(dir.file("out.txt")), "");
  EXPECT_EQ(read_bytes(dir.file("paper.bbl.bak")), input);
  return result;
}

const std::string kMarker(kProcessedMarker);


TEST(ConvertProgram, WorkedExampleInAllThreeLabelForms) {
  const struct {
    std::vector<std::string> options;
    std::string label_line;
  } cases[] = {
      {{"-visible"},
       "\\bibitem[^^7f^^d5^^7f197^^7f^^7f^^c8^^7f253^^7f,~"
       "^^7f^^c0^^7f238^^7f^^7f^^cb^^7f196^^7f(2005)]{zhang05}"},
      {{},
       "\\bibitem[\x7f\xD5\x7f" "197\x7f\x7f\xC8\x7f" "253\x7f,~"
       "\x7f\xC0\x7f" "238\x7f\x7f\xCB\x7f" "196\x7f(2005)]{zhang05}"},
      {{"-visible", "-invisible"},
       "\\bibitem[\x7f\xD5\x7f" "197\x7f\x7f\xC8\x7f" "253\x7f,~"
       "\x7f\xC0\x7f" "238\x7f\x7f\xCB\x7f" "196\x7f(2005)]{zhang05}"},
      {{"-cjk"}, "\\bibitem[" ZHANGSAN ",~" LISI "(2005)]{zhang05}"},
  };
  for (const auto& c : cases) {
    const Converted result = convert_file(std::string(kWorkedExample), c.options);
    EXPECT_EQ(result.code, 0);
    EXPECT_EQ(result.bbl, kMarker + worked_example_output(c.label_line)) << c.label_line;
    EXPECT_EQ(result.errors, "");
  }
}

TEST(ConvertProgram, CrLfFileReadsAsLf) {
  std::string crlf;
  for (char c : kWorkedExample) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  EXPECT_EQ(convert_file(crlf, {"-cjk"}).bbl,
            kMarker + worked_example_output("\\bibitem[" ZHANGSAN ",~" LISI "(2005)]{zhang05}"));
}

TEST(ConvertProgram, KeywordStringsFromConfigurationAndOptions) {
  const std::string input =
      "\\bibitem[" ZHANGSAN " et al.(2005)]{k}\n" ZHANGSAN " and " LISI ", editors.\n"
      "\\newblock " ZHONGWEN_BIAOTI ", pages 3.\n"
      "\\newblock In " WANGWU ", editors, chapter 2, 2 edition.\n";
  // The file sets `pages`, `editors` and `etal.`; the options override
  // `etal.` and set `and` (blanks become ties) and `edition`.
  const std::string cfg = "pages=pp.\netal.=" DENG "ren\neditors=(eds)\n_chapter=chapter \n";
  const Converted result =
      convert_file(input, {"-visible", "-etal.=" DENG, "-and= & ", "-edition=ed"}, cfg);
  EXPECT_EQ(result.code, 0);
  EXPECT_EQ(result.bbl, kMarker +
                            "\\bibitem[^^7f^^d5^^7f197^^7f^^7f^^c8^^7f253^^7f^^7f^^b5^^7f200^^7f"
                            "(2005)]{k}\n" ZHANGSAN "~&~" LISI "(eds).\n"
                            "\\newblock " ZHONGWEN_BIAOTI ", pp.3.\n"
                            "\\newblock " FABIAOYU WANGWU BIANZHE ", 2, 2ed.%\n");
}

TEST(ConvertProgram, ParseErrorsGoToStandardErrorUnlessNpe) {
  const std::string input = "\\bibitem[a\xB5 ]{k}\nx ^^zz\n";
  const std::string output = kMarker + "\\bibitem[a]{k}\nx ^^zz\n";
  Converted result = convert_file(input, {});
  EXPECT_EQ(result.code, 0);
  EXPECT_EQ(result.bbl, output);
  EXPECT_EQ(result.errors,
            "An incomplete '^^xx' TeX character is found:\n\tLine 1: ... ^^b5^^20\n"
            "An incomplete '^^xx' TeX character is found:\n\tLine 2: ... \"^^zz\n\"\n");
  result = convert_file(input, {"-npe"});
  EXPECT_EQ(result.code, 0);
  EXPECT_EQ(result.bbl, output);
  EXPECT_EQ(result.errors, "");
}

TEST(ConvertProgram, AwkwardFilesConvertWithoutLoss) {
  const struct {
    const char* name;
    std::string input;
    std::string output;
  } cases[] = {
      {"NUL bytes", std::string("\\bibitem{k}\nab\0" DENG "\n\0\n", 18),
       std::string("\\bibitem{k}\nab\0" DENG "\n\0\n", 18)},
      {"lone lead byte at the end", "\\bibitem{k}\n" DENG "\xB5", "\\bibitem{k}\n" DENG},
      {"only blank lines", "\n\n\n", "\n\n\n"},
      {"label never closed", "\\bibitem[" DENG "\n" DENG "\n",
       "\\bibitem[\x7f\xB5\x7f" "200\x7f%\n\x7f\xB5\x7f" "200\x7f%\n"},
  };
  for (const auto& c : cases) {
    const Converted result = convert_file(c.input, {"-npe"});
    EXPECT_EQ(result.code, 0) << c.name;
    EXPECT_EQ(result.bbl, kMarker + c.output) << c.name;
  }
}

}  // namespace
}  // namespace tolvar

// The bundled examples stay in step with the program.
#include <gtest/gtest.h>

#include "run/options.h"
#include "shared/settings.h"
#include "tests/temp_dir.h"

namespace tolvar {
namespace {

TEST(SampleConfiguration, SetsEveryKeyToItsDefault) {
  const std::string text = testing::read_bytes(TOLVAR_SOURCE_DIR "/examples/tolvar.cfg");
  ASSERT_FALSE(text.empty());
  KeywordStrings from_file;
  // Start from values that differ everywhere, so that each key must be set.
  for (auto member : {&KeywordStrings::and_, &KeywordStrings::etal, &KeywordStrings::in_from,
                       &KeywordStrings::in, &KeywordStrings::pages_from, &KeywordStrings::pages,
                       &KeywordStrings::chapter_from, &KeywordStrings::chapter,
                       &KeywordStrings::edition_from, &KeywordStrings::edition,
                       &KeywordStrings::editors_from, &KeywordStrings::editor_from,
                       &KeywordStrings::editors, &KeywordStrings::editors2_from,
                       &KeywordStrings::editor2_from, &KeywordStrings::editors2}) {
    from_file.*member = "unset";
  }
  apply_configuration(text, &from_file);
  const KeywordStrings defaults;
  EXPECT_EQ(from_file.and_, defaults.and_);
  EXPECT_EQ(from_file.etal, defaults.etal);
  EXPECT_EQ(from_file.in_from, defaults.in_from);
  EXPECT_EQ(from_file.in, defaults.in);
  EXPECT_EQ(from_file.pages_from, defaults.pages_from);
  EXPECT_EQ(from_file.pages, defaults.pages);
  EXPECT_EQ(from_file.chapter_from, defaults.chapter_from);
  EXPECT_EQ(from_file.chapter, defaults.chapter);
  EXPECT_EQ(from_file.edition_from, defaults.edition_from);
  EXPECT_EQ(from_file.edition, defaults.edition);
  EXPECT_EQ(from_file.editors_from, defaults.editors_from);
  EXPECT_EQ(from_file.editor_from, defaults.editor_from);
  EXPECT_EQ(from_file.editors, defaults.editors);
  EXPECT_EQ(from_file.editors2_from, defaults.editors2_from);
  EXPECT_EQ(from_file.editor2_from, defaults.editor2_from);
  EXPECT_EQ(from_file.editors2, defaults.editors2);
}

TEST(ExampleBbl, IsAnUnprocessedBibliography) {
  const std::string text = testing::read_bytes(TOLVAR_SOURCE_DIR "/examples/paper.bbl");
  EXPECT_FALSE(text.starts_with(kProcessedMarker));
  EXPECT_NE(text.find("\\begin{thebibliography}"), std::string::npos);
  EXPECT_NE(text.find("\\end{thebibliography}"), std::string::npos);
}

}  // namespace
}  // namespace tolvar

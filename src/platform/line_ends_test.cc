#include "platform/line_ends.h"

#include <gtest/gtest.h>

#include <string>

namespace tolvar::platform {
namespace {

TEST(FoldCrlf, FoldsOnlyCrImmediatelyBeforeLf) {
  const struct {
    std::string text;
    std::string folded;
  } cases[] = {
      {"", ""},
      {"no line end", "no line end"},
      {"a\nb\n", "a\nb\n"},
      {"a\r\nb\r\n", "a\nb\n"},
      {"\r\n\r\n\r\n", "\n\n\n"},
      {"lone\rcr\r", "lone\rcr\r"},          // CR not before LF stays, also at the end
      {"a\r\r\nb", "a\r\nb"},                // one pass: CR CR LF gives CR LF
      {"\n\r", "\n\r"},                      // LF CR is no pair
      {"x\r\ny\rz\r\n\r", "x\ny\rz\n\r"},
  };
  for (const auto& c : cases) {
    std::string text = c.text;
    fold_crlf(&text);
    EXPECT_EQ(text, c.folded) << "input of " << c.text.size() << " bytes";
  }
}

}  // namespace
}  // namespace tolvar::platform

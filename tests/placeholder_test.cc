#include <gtest/gtest.h>

#include "sort/gbk_tables.h"

namespace tolvar {
namespace {

TEST(GbkIndex, Examples) {
  const unsigned char cases[][2] = {{0x81, 0x40}, {0x81, 0x7E}, {0x81, 0x80}, {0xFE, 0xFE}, {0x81, 0x7F}};
  const int want[] = {0, 62, 63, 23939, -1};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(gbk_index(cases[i]), want[i]) << i;
}

}  // namespace
}  // namespace tolvar

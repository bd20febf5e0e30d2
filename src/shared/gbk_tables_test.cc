#include "shared/gbk_tables.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace tolvar {
namespace {

int index_of(unsigned lead, unsigned trail) {
  const unsigned char bytes[2] = {static_cast<unsigned char>(lead),
                                  static_cast<unsigned char>(trail)};
  return gbk_index(bytes);
}

int cell_of(unsigned lead, unsigned trail) {
  return static_cast<int>((lead - 0x81) * 192 + (trail - 0x40));
}

std::string_view strokes_of(unsigned lead, unsigned trail) {
  return stroke_sequence(index_of(lead, trail));
}

bool is_user_defined(unsigned lead, unsigned trail) {
  return (lead >= 0xAA && lead <= 0xAF && trail >= 0xA1) || (lead >= 0xF8 && trail >= 0xA1) ||
         (lead >= 0xA1 && lead <= 0xA7 && trail <= 0xA0);
}

bool is_chinese_area(unsigned lead, unsigned trail) {
  return (lead >= 0xB0 && lead <= 0xF7 && trail >= 0xA1) || lead <= 0xA0 ||
         (lead >= 0xAA && trail <= 0xA0);
}

// Calls `visit(lead, trail)` for every GBK code in index order.
template <typename Visit>
void for_each_gbk_code(Visit visit) {
  for (unsigned lead = 0x81; lead <= 0xFE; ++lead)
    for (unsigned trail = 0x40; trail <= 0xFE; ++trail)
      if (trail != 0x7F) visit(lead, trail);
}

TEST(GbkIndexTest, NumbersEveryCodeWithoutAGapAtTrail7F) {
  const struct {
    unsigned lead, trail;
    int index;
  } cases[] = {
      {0x81, 0x40, 0},     {0x81, 0x7E, 62},    {0x81, 0x80, 63},    {0x81, 0xFE, 189},
      {0x82, 0x40, 190},   {0xB0, 0xA1, 9026},  {0xD2, 0xBB, 15512}, {0xFE, 0xFE, 23939},
      {0xB5, 0xA5, 9980},  // 单
  };
  for (const auto& c : cases)
    EXPECT_EQ(index_of(c.lead, c.trail), c.index) << std::hex << c.lead << ' ' << c.trail;
}

TEST(GbkIndexTest, RejectsPairsThatAreNoGbkCharacter) {
  const unsigned pairs[][2] = {{0x81, 0x7F}, {0x81, 0xFF}, {0x80, 0x40}, {0xFF, 0x40},
                               {0x81, 0x3F}, {0x41, 0x42}, {0x00, 0x00}, {0xFE, 0xFF}};
  for (const auto& p : pairs) EXPECT_EQ(index_of(p[0], p[1]), -1) << std::hex << p[0] << ' ' << p[1];
}

TEST(GbkIndexTest, IsADenseNumbering) {
  int expected = 0;
  for_each_gbk_code([&](unsigned lead, unsigned trail) { EXPECT_EQ(index_of(lead, trail), expected++); });
  EXPECT_EQ(expected, kGbkCharacterCount);
}

TEST(GbkUnicodeTableTest, FillCounts) {
  int non_zero = 0, private_use = 0;
  uint16_t lowest = 0xFFFF, highest = 0;
  for (int cell = 0; cell < kGbkUnicodeCells; ++cell) {
    const uint16_t point = gbk_to_unicode(cell);
    if (point == 0) continue;
    ++non_zero;
    if (point >= 0xE000 && point <= 0xF8FF) ++private_use;
    lowest = std::min(lowest, point);
    highest = std::max(highest, point);
  }
  EXPECT_EQ(non_zero, 21886);
  EXPECT_EQ(kGbkUnicodeCells - non_zero, 2306);
  EXPECT_EQ(private_use, 95);
  EXPECT_EQ(lowest, 0x00A4);
  EXPECT_EQ(highest, 0xFFE5);
}

TEST(GbkUnicodeTableTest, TellingCells) {
  const struct {
    unsigned lead, trail;
    uint16_t point;
  } cases[] = {
      {0x81, 0x40, 0x4E02}, {0x81, 0x7E, 0x4E8A}, {0x81, 0x7F, 0},      {0x81, 0x80, 0x4E90},
      {0xA1, 0xA1, 0x3000}, {0xA3, 0xC1, 0xFF21}, {0xB0, 0xA1, 0x554A}, {0xD2, 0xBB, 0x4E00},
      {0xFD, 0x9B, 0x9FA5}, {0xFE, 0x4F, 0xFA29}, {0xFE, 0x50, 0xE815}, {0xA1, 0xE8, 0x00A4},
      {0xA3, 0xA4, 0xFFE5}, {0xA1, 0xAA, 0x2015}, {0xA8, 0x44, 0x2014}, {0xA8, 0xBC, 0xE7C7},
      {0xA8, 0xBF, 0xE7C8}, {0xA9, 0x89, 0xE7E7}, {0xA9, 0x95, 0xE7F3}, {0xFE, 0x7E, 0xE843},
      {0xFE, 0x80, 0xE844}, {0xFE, 0xA0, 0xE864}, {0xD7, 0xF9, 0x5EA7}, {0xD7, 0xFA, 0},
      {0xD7, 0xFE, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(gbk_to_unicode(cell_of(c.lead, c.trail)), c.point) << std::hex << c.lead << ' ' << c.trail;
}

TEST(GbkUnicodeTableTest, ZeroWhereThereIsNoCharacter) {
  for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
    for (unsigned trail = 0x40; trail <= 0xFF; ++trail) {
      if (trail == 0x7F || trail == 0xFF || is_user_defined(lead, trail)) {
        EXPECT_EQ(gbk_to_unicode(cell_of(lead, trail)), 0) << std::hex << lead << ' ' << trail;
      }
    }
  }
  EXPECT_EQ(gbk_to_unicode(-1), 0);
  EXPECT_EQ(gbk_to_unicode(kGbkUnicodeCells), 0);
}

TEST(StrokeTableTest, FillPerArea) {
  int chinese = 0, symbols = 0, user_defined = 0, total = 0;
  for_each_gbk_code([&](unsigned lead, unsigned trail) {
    const std::string_view digits = strokes_of(lead, trail);
    if (digits.empty()) return;
    ++total;
    EXPECT_EQ(digits.find_first_not_of("12345"), std::string_view::npos) << digits;
    if (is_user_defined(lead, trail))
      ++user_defined;
    else if (is_chinese_area(lead, trail))
      ++chinese;
    else
      ++symbols;
  });
  EXPECT_EQ(total, 21004);
  EXPECT_EQ(chinese, 21003);
  EXPECT_EQ(symbols, 1);  // 〇
  EXPECT_EQ(user_defined, 0);
}

TEST(StrokeTableTest, EveryChineseCharacterHasASequence) {
  for_each_gbk_code([&](unsigned lead, unsigned trail) {
    const bool no_character = lead == 0xD7 && trail >= 0xFA;
    if (is_chinese_area(lead, trail)) {
      EXPECT_EQ(strokes_of(lead, trail).empty(), no_character) << std::hex << lead << ' ' << trail;
    }
  });
}

TEST(StrokeTableTest, ExampleSequences) {
  const struct {
    unsigned lead, trail;
    const char* digits;
  } cases[] = {
      {0xD2, 0xBB, "1"},          {0xB6, 0xFE, "11"},         {0xC8, 0xFD, "111"},
      {0xCA, 0xAE, "12"},         {0xB6, 0xA1, "12"},         {0x81, 0x7C, "2"},
      {0xC8, 0xCB, "34"},         {0xBE, 0xC5, "35"},         {0xD0, 0xC4, "4544"},
      {0xD2, 0xD2, "5"},          {0xBF, 0xDA, "251"},        {0xB4, 0xF3, "134"},
      {0xD6, 0xD0, "2512"},       {0xD3, 0xC0, "45534"},      {0xCD, 0xF5, "1121"},
      {0xD5, 0xC5, "5153154"},    {0xC0, 0xEE, "1234521"},    {0xB9, 0xFA, "25112141"},
      {0xB0, 0xA1, "2515212512"}, {0x81, 0x40, "15"},         {0xA9, 0x96, "5"},
      {0xA1, 0xA1, ""},           {0xA3, 0xC1, ""},           {0xAA, 0xA1, ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(strokes_of(c.lead, c.trail), c.digits) << std::hex << c.lead << ' ' << c.trail;
}

TEST(StrokeTableTest, LengthsAndLongestCharacters) {
  std::map<std::size_t, int> by_length;
  for (int index = 0; index < kGbkCharacterCount; ++index)
    if (!stroke_sequence(index).empty()) ++by_length[stroke_sequence(index).size()];
  EXPECT_EQ(by_length.begin()->first, 1u);
  EXPECT_EQ(by_length.rbegin()->first, 51u);
  EXPECT_EQ(by_length[1], 13);
  EXPECT_EQ(by_length[12], 1960);
  for (const auto& [length, count] : by_length) EXPECT_LE(count, by_length[12]) << length;
  EXPECT_EQ(strokes_of(0xFD, 0x93).size(), 51u);  // 龘
  EXPECT_EQ(strokes_of(0xEC, 0x68).size(), 39u);  // 靐
  EXPECT_EQ(strokes_of(0xFD, 0x51).size(), 36u);  // 齉
  EXPECT_EQ(stroke_sequence(-1), "");
  EXPECT_EQ(stroke_sequence(kGbkCharacterCount), "");
}

}  // namespace
}  // namespace tolvar

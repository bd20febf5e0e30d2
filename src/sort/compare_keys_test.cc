#include "sort/compare_keys.h"

#include <gtest/gtest.h>

#include <string>


#define YI "\xD2\xBB"     // one: U+4E00, strokes 1
#define DING "\xB6\xA1"   // U+4E01, strokes 12
#define SHI "\xCA\xAE"    // ten: strokes 12, like DING
#define DA "\xB4\xF3"     // big: strokes 134
#define REN "\xC8\xCB"    // person: strokes 34
#define LI "\xC0\xEE"
#define WANG "\xCD\xF5"
#define ZHANG "\xD5\xC5"
#define SPACE "\xA1\xA1"  // ideographic space: no strokes
#define PRIVATE "\xAA\xA1"  // user-defined area: no Unicode mapping

namespace tolvar {
namespace {

// A key written with '|' between name keys and '^' for the segment
// separator; the terminating empty name key is added.
std::string key(std::string_view shown) {
  std::string built;
  for (char c : shown) built += c == '|' ? '\0' : (c == '^' ? '\x07' : c);
  if (!shown.empty()) built += '\0';
  built += '\0';
  return built;
}

int sign(int value) { return (value > 0) - (value < 0); }

struct CompareCase {
  const char* a;
  const char* b;
  int want;  // sign of compare_keys(a, b) with index A 0 and index B 1
};

constexpr SortMode kAllModes[] = {SortMode::kPinyin, SortMode::kBishun, SortMode::kBihuashu,
                                  SortMode::kUnicode};

// Checks the sign both ways round: swapping keys and indexes negates it.
void check_cases(SortMode mode, const CompareCase* cases, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const CompareCase& c = cases[i];
    const std::string a = key(c.a), b = key(c.b);
    EXPECT_EQ(sign(compare_keys(mode, a.c_str(), b.c_str(), 0, 1)), c.want)
        << "mode " << static_cast<int>(mode) << ": " << c.a << " vs " << c.b;
    EXPECT_EQ(sign(compare_keys(mode, b.c_str(), a.c_str(), 1, 0)), -c.want)
        << "mode " << static_cast<int>(mode) << ": " << c.b << " vs " << c.a;
  }
}

// Cases whose outcome does not depend on the GBK segment rule.
const CompareCase kEveryMode[] = {
    {"", "", 0},
    {"", "Doe", -1},
    {"", LI, -1},
    {"Doe^Jane|Roe", "Doe^Jane|Roe", 0},
    {"DOE^jane", "doe^JANE", 0},
    // Chinese first, before any comparison of contents.
    {"Smith", LI, 1},
    {"Doe^" LI, "Doe^Smith", -1},
    {"Doe|" LI, "Doe|Smith", -1},
    // Differing Latin text keeps the file order, whatever the letters.
    {"Young", "Adams", -1},
    {"Adams", "Young", -1},
    {"Doe^J.", "Doe^Jo", -1},
    {"Doe", "Doe.", -1},
    // A key that extends another sorts after it.
    {"Doe|Roe", "Doe", 1},
    {"Doe^Jane", "Doe", 1},
    {"Doe", "Doe^Jane|Roe", -1},
    // An empty segment is a non-GBK segment.
    {"^Doe", LI, 1},
    {"^Doe", "^doe", 0},
};

TEST(CompareKeys, EveryMode) {
  for (SortMode mode : kAllModes) check_cases(mode, kEveryMode, std::size(kEveryMode));
}

TEST(CompareKeys, EqualIndexesMakeDifferentLatinEqual) {
  for (SortMode mode : kAllModes) {
    EXPECT_EQ(compare_keys(mode, key("Young").c_str(), key("Adams").c_str(), 3, 3), 0);
    EXPECT_GT(compare_keys(mode, key("Young").c_str(), key("Adams").c_str(), 4, 3), 0);
  }
}

const CompareCase kPinyin[] = {
    {ZHANG "zhang", LI "li", 1},
    {LI "li", LI "LI", 0},
    {LI "li^" WANG "wang", LI "li^" ZHANG "zhang", -1},
    {LI "li", LI "li^" WANG "wang", -1},
    // A reading that is a prefix of another goes first.
    {"\xB0\xA1" "li", "\xB0\xA2" "lia", -1},
    // Equal readings: the bytes decide, taken as signed, so a trail byte
    // from 0x80 up goes before one below 0x7F.
    {"\xB0\xA1" "x", "\xB0\x50" "x", -1},
    {"\xB0\xA2" "x", "\xB0\xA1" "x", 1},
    {"\x81\xA1" "x", "\xB0\xA1" "x", -1},
    // Empty readings compare equal, the bytes decide.
    {"\xB0\xA1", "\xB0\xA2", -1},
    {LI "li", "L^" LI "li", -1},
};

TEST(CompareKeys, Pinyin) { check_cases(SortMode::kPinyin, kPinyin, std::size(kPinyin)); }

const CompareCase kBishun[] = {
    {DA, REN, -1},  // 134 before 34
    {YI, DING, -1},
    {DING, SHI, 0},
    {DING LI, SHI WANG, 1},  // equal first characters; 1234521 after 1121
    {DING "^" LI, SHI "^" WANG, 1},
    {DING, SHI "^" WANG, -1},
    {SPACE, YI, -1},  // no stroke data goes first
    {SPACE, SPACE, 0},
    {YI, YI YI, -1},
};

const CompareCase kBihuashu[] = {
    {REN, DA, -1},  // 2 strokes before 3
    {DA, REN, 1},
    {YI, DING, -1},
    {DING, SHI, 0},
    {DING LI, SHI WANG, 1},  // 7 strokes after 4
    {"\xCA\xAE\xD2\xBB", "\xB6\xA1\xB6\xA1", -1},
    {SPACE, YI, -1},
    {YI, YI YI, -1},
};

const CompareCase kUnicode[] = {
    {YI, DING, -1},
    {DING, YI, 1},
    {LI WANG, LI ZHANG, sign(0x738B - 0x5F20)},
    // No mapping: the rest of both segments counts as equal.
    {PRIVATE YI, PRIVATE DING, 0},
    {PRIVATE YI "^Doe", PRIVATE DING "^doe", 0},
    {PRIVATE "^" YI, PRIVATE "^" DING, -1},
    {YI, YI YI, -1},
};

TEST(CompareKeys, StrokeAndUnicodeOrders) {
  check_cases(SortMode::kBishun, kBishun, std::size(kBishun));
  check_cases(SortMode::kBihuashu, kBihuashu, std::size(kBihuashu));
  check_cases(SortMode::kUnicode, kUnicode, std::size(kUnicode));
}

}  // namespace
}  // namespace tolvar

// Sorts the .bbl that the real bibtex makes with plainnat from a GBK
// bibliography of mixed Chinese and English entries, in every order, and
// checks the result entry by entry. Skipped when bibtex is not installed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "shared/pinyin_dictionary.h"
#include "sort/sort_bibitems.h"

namespace tolvar {
namespace {

namespace fs = std::filesystem;

const fs::path kDataDirectory = fs::path(__FILE__).parent_path() / "data";

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Runs bibtex with plainnat on the bibliography; empty when bibtex is missing.
std::string make_bbl() {
  if (std::system("bibtex --version >/dev/null 2>&1") != 0) return {};
  const fs::path directory = fs::temp_directory_path() / ("tolvar-plainnat-" + std::to_string(std::random_device{}()));
  fs::create_directories(directory);
  fs::copy_file(kDataDirectory / "mixed_authors.bib", directory / "mixed_authors.bib",
                fs::copy_options::overwrite_existing);
  std::ofstream(directory / "paper.aux")
      << "\\relax\n\\citation{*}\n\\bibstyle{plainnat}\n\\bibdata{mixed_authors}\n";
  const std::string command = "cd '" + directory.string() + "' && bibtex paper >/dev/null 2>&1";
  const int status = std::system(command.c_str());
  std::string bbl = status == 0 ? read_file(directory / "paper.bbl") : std::string();
  fs::remove_all(directory);
  return bbl;
}

// The citation keys of the entries, in the order they stand in `bbl`.
std::vector<std::string> entry_order(const std::string& bbl) {
  std::vector<std::string> keys;
  for (size_t at = bbl.find("\\bibitem["); at != std::string::npos; at = bbl.find("\\bibitem[", at + 1)) {
    const size_t open = bbl.find("]{", at) + 2;
    keys.push_back(bbl.substr(open, bbl.find('}', open) - open));
  }
  return keys;
}

std::vector<std::string> sorted_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::sort(lines.begin(), lines.end());
  return lines;
}

class PlainnatSort : public testing::Test {
 protected:
  static void SetUpTestSuite() { bbl_ = new std::string(make_bbl()); }
  static void TearDownTestSuite() { delete bbl_; }

  void SetUp() override {
    if (bbl_->empty()) GTEST_SKIP() << "bibtex with plainnat is not available";
  }

  void check(SortMode mode, const PinyinDictionary* dictionary, const std::vector<std::string>& want) {
    Settings settings;
    settings.sort_mode = mode;
    std::string out, messages;
    ASSERT_TRUE(sort_bibitems(settings, dictionary, *bbl_, &out, &messages)) << messages;
    EXPECT_EQ(entry_order(out), want);
    // Entries move whole: the same lines, only in another order.
    EXPECT_EQ(sorted_lines(out), sorted_lines(*bbl_));
    EXPECT_EQ(out.substr(0, out.find("\\bibitem")), bbl_->substr(0, bbl_->find("\\bibitem")));
  }

  static std::string* bbl_;
};

std::string* PlainnatSort::bbl_ = nullptr;

// bibtex puts the English entries first: adams doe jones smith, then the
// Chinese ones by their bytes. The sort puts the Chinese ones first and
// keeps the English ones in bibtex's order.
TEST_F(PlainnatSort, BibtexOrder) {
  EXPECT_EQ(entry_order(*bbl_),
            (std::vector<std::string>{"adams", "doe", "jones", "smith", "daming", "shan", "li", "li2",
                                      "ouyang", "wang", "yiding", "zhang", "zhao"}));
}

// First characters and their stroke sequences: yi 1, wang 1121,
// zhao 121213434, li 1234521, da 134, ou 13453534, shan 43251112,
// zhang 5153154. li2 extends the key of li and follows it.
TEST_F(PlainnatSort, Bishun) {
  check(SortMode::kBishun, nullptr,
        {"yiding", "wang", "zhao", "li", "li2", "daming", "ouyang", "shan", "zhang", "adams", "doe",
         "jones", "smith"});
}

// By stroke count: 1 yi, 3 da, 4 wang, 7 li and zhang (1234521 before
// 5153154), 8 ou and shan (13453534 before 43251112), 9 zhao.
TEST_F(PlainnatSort, Bihuashu) {
  check(SortMode::kBihuashu, nullptr,
        {"yiding", "daming", "wang", "li", "li2", "zhang", "ouyang", "shan", "zhao", "adams", "doe",
         "jones", "smith"});
}

// Code points: yi 4E00, shan 5355, da 5927, zhang 5F20, li 674E, ou 6B27,
// wang 738B, zhao 8D75.
TEST_F(PlainnatSort, Unicode) {
  check(SortMode::kUnicode, nullptr,
        {"yiding", "shan", "daming", "zhang", "li", "li2", "ouyang", "wang", "zhao", "adams", "doe",
         "jones", "smith"});
}

// Readings: da, li, ou(yang), shan (the surname reading of the first
// character), wang, yi, zhang, zhao.
TEST_F(PlainnatSort, Pinyin) {
  const fs::path file = kDataDirectory.parent_path().parent_path() / "data" / "GBK2py.inf";
  PinyinDictionary dictionary;
  std::string messages;
  parse_pinyin_dictionary(read_file(file), "GBK2py.inf", &dictionary, &messages);
  if (dictionary.characters.empty()) GTEST_SKIP() << "no pinyin dictionary in " << file;
  check(SortMode::kPinyin, &dictionary,
        {"daming", "li", "li2", "ouyang", "shan", "wang", "yiding", "zhang", "zhao", "adams", "doe",
         "jones", "smith"});
}

}  // namespace
}  // namespace tolvar

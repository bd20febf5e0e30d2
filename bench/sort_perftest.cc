// Times the sort step in process, without file I/O, on a .bbl:
//   g++ -std=c++20 -O2 -Isrc -Ibuild-release/generated bench/sort_perftest.cc \
//       build-release/libtolvar_lib.a -o build-release/sort_perftest
//   build-release/sort_perftest paper.bbl data/GBK2py.inf
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "sort/pinyin_dictionary.h"
#include "sort/sort_bibitems.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: sort_perftest file.bbl GBK2py.inf\n");
    return 1;
  }
  const auto read = [](const char* name) {
    std::ifstream in(name, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  };
  const std::string bbl = read(argv[1]);
  tolvar::PinyinDictionary dictionary;
  std::string messages;
  const auto load_start = std::chrono::steady_clock::now();
  tolvar::parse_pinyin_dictionary(read(argv[2]), "GBK2py.inf", &dictionary, &messages);
  const std::chrono::duration<double> load = std::chrono::steady_clock::now() - load_start;
  std::printf("dictionary %.3fs\n", load.count());
  const struct {
    tolvar::SortMode mode;
    const char* name;
  } modes[] = {{tolvar::SortMode::kPinyin, "py"},
               {tolvar::SortMode::kBishun, "bs"},
               {tolvar::SortMode::kBihuashu, "bhs"},
               {tolvar::SortMode::kUnicode, "uni"}};
  for (const auto& m : modes) {
    tolvar::Settings settings;
    settings.sort_mode = m.mode;
    std::string out;
    const auto start = std::chrono::steady_clock::now();
    tolvar::sort_bibitems(settings, &dictionary, bbl, &out, &messages);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    std::printf("%-4s %.3fs (%zu bytes)\n", m.name, elapsed.count(), out.size());
  }
  return 0;
}

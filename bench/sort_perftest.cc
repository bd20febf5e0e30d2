// Times the sort step in process, without file I/O, on a .bbl (GBK, or
// UTF-8 with a third argument "utf8"): the median of 11 runs of each order.
//   g++ -std=c++20 -O2 -Isrc -Ibuild-release/generated bench/sort_perftest.cc
//     build-release/libtolvar_lib.a -o build-release/sort_perftest   (one line)
//   build-release/sort_perftest paper.bbl data/GBK2py.inf [utf8]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "shared/pinyin_dictionary.h"
#include "sort/sort_bibitems.h"

int main(int argc, char** argv) {
  if (argc != 3 && !(argc == 4 && std::strcmp(argv[3], "utf8") == 0)) {
    std::fprintf(stderr, "usage: sort_perftest file.bbl GBK2py.inf [utf8]\n");
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
  const std::chrono::duration<double, std::milli> load = std::chrono::steady_clock::now() - load_start;
  std::printf("dictionary %.2f ms\n", load.count());
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
    if (argc == 4) settings.encoding = tolvar::Encoding::kUtf8;
    std::vector<double> times;
    size_t size = 0;
    for (int run = 0; run < 11; ++run) {
      std::string out;
      const auto start = std::chrono::steady_clock::now();
      tolvar::sort_bibitems(settings, &dictionary, bbl, &out, &messages);
      const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
      times.push_back(elapsed.count());
      size = out.size();
    }
    std::sort(times.begin(), times.end());
    std::printf("%-4s median %.2f ms (min %.2f, max %.2f; %zu bytes)\n", m.name, times[5], times[0],
                times[10], size);
  }
  return 0;
}

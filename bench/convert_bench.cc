// Times the conversion pass on a file: reads it, converts it in memory
// and writes the result, and prints the speed of the pass alone and of
// the whole read-convert-write.
#include <chrono>
#include <ctime>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>

#include "convert/cjk_output.h"
#include "convert/convert.h"
#include "shared/char_model.h"
#include "shared/settings.h"

int main(int argc, char** argv) {
  const bool utf8 = argc == 4 && std::string_view(argv[3]) == "utf8";
  if (argc != 3 && !utf8) {
    std::cerr << "usage: convert_bench input.bbl output.bbl [utf8]\n";
    return 1;
  }
  using clock = std::chrono::steady_clock;
  const auto start = clock::now();
  std::ifstream in(argv[1], std::ios::binary | std::ios::ate);
  std::string input(static_cast<size_t>(in.tellg()), '\0');
  in.seekg(0);
  if (!in.read(input.data(), static_cast<std::streamsize>(input.size()))) return 1;

  tolvar::Settings settings;
  settings.words.and_ = ",~";
  settings.words.and_label = ",~";
  tolvar::append_label_cjk_char(false, 0xB5, 0xC8, &settings.words.etal_label);
  if (utf8) {
    // The UTF-8 run's strings: the defaults converted, label forms plain.
    settings.encoding = tolvar::Encoding::kUtf8;
    for (std::string* word : {&settings.words.etal, &settings.words.in, &settings.words.pages,
                              &settings.words.edition, &settings.words.editors,
                              &settings.words.editors2}) {
      *word = tolvar::gbk_to_utf8(*word);
    }
    settings.words.etal_label = settings.words.etal;
  }

  const auto converted_at = clock::now();
  const std::clock_t cpu_start = std::clock();
  std::string out;
  std::string messages;
  tolvar::convert_lines(settings, input, &out, &messages);
  const std::clock_t cpu_end = std::clock();
  const auto done_at = clock::now();

  std::ofstream(argv[2], std::ios::binary).write(out.data(), static_cast<std::streamsize>(out.size()));
  const auto end = clock::now();

  const double megabytes = input.size() / 1e6;
  const double pass = std::chrono::duration<double>(done_at - converted_at).count();
  const double total = std::chrono::duration<double>(end - start).count();
  std::printf("input %.1f MB, output %.1f MB, %zu message bytes\n", megabytes, out.size() / 1e6,
              messages.size());
  const double pass_cpu = static_cast<double>(cpu_end - cpu_start) / CLOCKS_PER_SEC;
  std::printf("pass alone:        %.3f s  %.0f MB/s (CPU time %.3f s, %.0f MB/s)\n", pass,
              megabytes / pass, pass_cpu, megabytes / pass_cpu);
  std::printf("read+pass+write:   %.3f s  %.0f MB/s\n", total, megabytes / total);
  return 0;
}

// The tolvar command: post-processes the .bbl of a Chinese (GBK) LaTeX
// document written by BibTeX.
#include <iostream>
#include <string>
#include <vector>

#include "shared/data_file.h"
#include "shared/env.h"
#include "run/run.h"

int main(int argc, char** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  const tolvar::SearchPlaces places = tolvar::default_search_places(argc > 0 ? argv[0] : nullptr);
  const int code = tolvar::run_tolvar(args, places, tolvar::real_env(), std::cout, std::cerr);
  std::cout.flush();
  return code;
}

// A stand-in for bibtex.exe in the Windows whole-program tests. Started as
// "bibtex BASE", it appends its arguments, one per line, and whether it saw
// COMSPEC to bibtex-calls.txt in the current folder, then copies
// BASE.stand-in (when there is one) to BASE.bbl, byte for byte.
#include <windows.h>

#include <fstream>
#include <iostream>
#include <string>

int main(int argc, char** argv) {
  std::ofstream calls("bibtex-calls.txt", std::ios::binary | std::ios::app);
  for (int i = 1; i < argc; ++i) calls << "arg " << argv[i] << '\n';
  const bool comspec = GetEnvironmentVariableA("COMSPEC", nullptr, 0) != 0;
  calls << (comspec ? "COMSPEC set\n" : "COMSPEC unset\n");
  std::cout << "stand-in bibtex ran\n";
  if (argc < 2) return 1;
  const std::string base = argv[1];
  std::ifstream source(base + ".stand-in", std::ios::binary);
  if (!source) return 2;
  std::ofstream bbl(base + ".bbl", std::ios::binary);
  bbl << source.rdbuf();
  return 0;
}

#include "shared/data_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/temp_dir.h"

namespace tolvar {
namespace {

using testing::TempDir;
using testing::write_bytes;

TEST(DataFileCandidates, OrderOfPlaces) {
  SearchPlaces places;
  places.program_directory = "/prog/";
  places.search_path = {"/a/", "", "/b/"};
  places.installed_data_directory = "/prog/../share/tolvar/";
  EXPECT_EQ(data_file_candidates("tolvar.cfg", places),
            (std::vector<std::string>{"tolvar.cfg", "/prog/tolvar.cfg", "/a/tolvar.cfg", "tolvar.cfg",
                                      "/b/tolvar.cfg", "/prog/../share/tolvar/tolvar.cfg"}));
  EXPECT_EQ(data_file_candidates("x", SearchPlaces()), (std::vector<std::string>{"x"}));
}

// Each case puts the file in some of the places and expects the first
// place in search order to win.
TEST(FindDataFile, FirstPlaceThatHoldsTheFileWins) {
  TempDir dir;
  const std::string prog = dir.file("prog") + "/", a = dir.file("a") + "/", b = dir.file("b") + "/",
                    share = dir.file("share") + "/";
  for (const std::string& d : {prog, a, b, share}) std::filesystem::create_directory(d);
  SearchPlaces places{prog, {a, b}, share};
  const std::string name = "tolvar-data-file-test.cfg";
  EXPECT_FALSE(find_data_file(name, places).has_value());
  write_bytes(share + name, "s");
  EXPECT_EQ(find_data_file(name, places), share + name);
  write_bytes(b + name, "b");
  EXPECT_EQ(find_data_file(name, places), b + name);
  // A directory of that name is no data file.
  std::filesystem::create_directory(a + name);
  EXPECT_EQ(find_data_file(name, places), b + name);
  write_bytes(prog + name, "p");
  EXPECT_EQ(find_data_file(name, places), prog + name);
  EXPECT_EQ(find_data_file(share + name, SearchPlaces()), share + name);
}

}  // namespace
}  // namespace tolvar

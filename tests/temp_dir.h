// A fresh directory under the system's temporary folder, removed with its
// contents when the test ends.
#ifndef TOLVAR_TESTS_TEMP_DIR_H_
#define TOLVAR_TESTS_TEMP_DIR_H_

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>

namespace tolvar::testing {

class TempDir {
 public:
  TempDir() {
    std::random_device random;
    for (int attempt = 0;; ++attempt) {
      path_ = std::filesystem::temp_directory_path() / ("tolvar-test-" + std::to_string(random()));
      if (std::filesystem::create_directory(path_) || attempt > 100) break;
    }
  }
  ~TempDir() {
    std::error_code ignored;
    // Make read-only folders removable again.
    for (auto& entry : std::filesystem::recursive_directory_iterator(path_, ignored)) {
      if (entry.is_directory(ignored))
        std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
    }
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The name of `name` inside the directory, as a string.
  std::string file(std::string_view name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

inline void write_bytes(const std::string& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string read_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace tolvar::testing

#endif  // TOLVAR_TESTS_TEMP_DIR_H_

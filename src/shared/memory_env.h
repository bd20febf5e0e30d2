// An Env that keeps its files in memory, for tests: failures of the file
// system and of starting a program can be arranged at will.
#ifndef TOLVAR_SHARED_MEMORY_ENV_H_
#define TOLVAR_SHARED_MEMORY_ENV_H_

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "shared/env.h"

namespace tolvar {

class MemoryEnv : public Env {
 public:
  // What a started program does to the files; it returns false with a
  // message to act as a program that cannot be started.
  using Program = std::function<bool(MemoryEnv* env, const std::vector<std::string>& args,
                                     std::string* error)>;

  std::map<std::string, std::string> files;  // name -> contents (LF line ends)
  std::set<std::string> directories;         // exist, cannot be read or written
  std::set<std::string> unwritable;          // names that cannot be created
  std::set<std::string> full;                // can be created, but not written to
  std::set<std::string> rename_fails_to;     // renames to these names fail
  std::map<std::string, Program> programs;   // the programs that can be started
  std::vector<std::string> started;          // "program arg ..." of each start

  bool file_exists(const std::string& path) override;
  bool read_text_file(const std::string& path, std::string* contents) override;
  bool write_text_file(const std::string& path, std::string_view text) override;
  bool append_text_file(const std::string& path, std::string_view text) override;
  bool remove_file(const std::string& path) override;
  bool rename_file(const std::string& from, const std::string& to) override;
  bool run_program(const std::string& program, const std::vector<std::string>& args,
                   std::string* error) override;
};

}  // namespace tolvar

#endif  // TOLVAR_SHARED_MEMORY_ENV_H_

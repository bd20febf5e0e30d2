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
  // The temporary file of replace_file and write_file_safely is named
  // NAME + this (the real one holds the process number), as in their
  // messages.
  static constexpr const char* kTemporarySuffix = ".tolvar-1234.tmp";

  using Program = std::function<bool(MemoryEnv* env, const std::vector<std::string>& args,
                                     std::string* error)>;

  // The text functions hand the contents over as they are (the caller
  // stores LF line ends); the binary ones too, byte for byte.
  std::map<std::string, std::string> files;  // name -> contents
  std::set<std::string> directories;         // exist, cannot be read or written
  // Symbolic links: name -> the name they lead to, taken whole (not relative
  // to the link's directory). Reads and file_exists follow them;
  // resolve_links tells where they end; remove_file and write_file_safely
  // act on the link itself; replace_file refuses one.
  std::map<std::string, std::string> links;
  // The three sets below name the files that are created, written or
  // renamed to. replace_file and write_file_safely fail at the same steps
  // for the name they replace (or for the name of its temporary file,
  // NAME + kTemporarySuffix), leaving files and links as they were.
  std::set<std::string> unwritable;          // names that cannot be created
  std::set<std::string> full;                // can be created, but not written to
  std::set<std::string> rename_fails_to;     // renames to these names fail
  std::map<std::string, Program> programs;   // the programs that can be started
  std::vector<std::string> started;          // "program arg ..." of each start

  bool file_exists(const std::string& path) override;
  bool read_text_file(const std::string& path, std::string* contents) override;
  bool write_text_file(const std::string& path, std::string_view text) override;
  bool append_text_file(const std::string& path, std::string_view text) override;
  bool read_binary_file(const std::string& path, std::string* contents) override;
  bool resolve_links(const std::string& path, std::string* target, std::string* error) override;
  bool replace_file(const std::string& path, std::string_view bytes, std::string* error) override;
  bool write_file_safely(const std::string& path, std::string_view bytes, std::string* error,
                         const std::string& mode_of = std::string()) override;
  // Links are never made here: the run's copy of the file is what tests see.
  bool link_backup(const std::string& path, const std::string& backup) override;
  bool remove_file(const std::string& path) override;
  bool rename_file(const std::string& from, const std::string& to) override;
  bool run_program(const std::string& program, const std::vector<std::string>& args,
                   std::string* error) override;

 private:
  // The name `path` leads to once its links are followed; false when they
  // do not end.
  bool follow(const std::string& path, std::string* end) const;
  // The steps that replace_file and write_file_safely share.
  bool write_through_temporary(const std::string& path, std::string_view bytes, std::string* error);
};

}  // namespace tolvar

#endif  // TOLVAR_SHARED_MEMORY_ENV_H_

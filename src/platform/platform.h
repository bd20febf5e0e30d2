// Everything that differs between POSIX and Windows: files, the search
// path, the program's own directory, and starting bibtex. One
// implementation file per system (platform-posix.cc, platform-win32.cc).
#ifndef TOLVAR_PLATFORM_PLATFORM_H_
#define TOLVAR_PLATFORM_PLATFORM_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tolvar::platform {

// The separator written between a directory and a file name ('/' or '\\').
char directory_separator();

// Where the last component of `path` starts: just after its last directory
// separator ('/' on POSIX; '\\' or '/' on Windows), or 0 when it has none.
// On Windows a double-byte character of the code page is never taken for a
// separator, though its second byte may be that of '\\' (GBK 運 is DF 5C).
size_t last_component_start(std::string_view path);

// True unless a look-up of `path` reports that the file or a directory on
// its way does not exist (any other failure counts as present).
bool file_exists(const std::string& path);

// True when `path` names a regular file that can be opened for reading.
bool is_readable_file(const std::string& path);

// Reads the whole file as a text stream delivers it: every CR LF becomes LF.
// On success stores the bytes in *contents and returns true; on failure
// returns false and leaves *contents unspecified.
bool read_text_file(const std::string& path, std::string* contents);

// The bytes of a file as a text stream reads them (CR LF folded to LF).
// A large file without CR LF is mapped into memory where the system allows
// it, which spares copying it and most of the page faults of a fresh
// buffer; any other is held in a string. A mapped file stays readable
// after it is renamed or removed (POSIX).
class FileText {
 public:
  FileText() = default;
  ~FileText() { unmap(); }
  FileText(const FileText&) = delete;
  FileText& operator=(const FileText&) = delete;

  std::string_view view() const {
    return mapped_ != nullptr ? std::string_view(mapped_, mapped_size_) : std::string_view(held_);
  }
  // Drops what it had and holds `text`.
  void hold(std::string text) {
    unmap();
    held_ = std::move(text);
  }

 private:
  friend bool read_file_text(const std::string& path, FileText* text);
  void unmap();

  std::string held_;
  const char* mapped_ = nullptr;
  std::size_t mapped_size_ = 0;
};

// Reads the whole file into *text as read_text_file would. Returns false
// when it cannot be opened or read; *text is then unspecified.
bool read_file_text(const std::string& path, FileText* text);

// Writes `text` as a text stream: each LF is written as the system's line
// end (LF on POSIX, CR LF on Windows). Creates or truncates the file.
// Returns false if the file cannot be created or written.
bool write_text_file(const std::string& path, std::string_view text);

// Writes `text` at the end of the existing file `path`, as write_text_file
// writes it. Returns false if the file cannot be opened or written.
bool append_text_file(const std::string& path, std::string_view text);

// Removes a file; returns false on failure.
bool remove_file(const std::string& path);

// Renames `from` to `to`; fails (returns false) when `to` already exists.
bool rename_file(const std::string& from, const std::string& to);

// The directories of the environment's search path, in order (PATH split
// at ':' on POSIX; Path split at ';' on Windows). Empty elements are kept.
std::vector<std::string> search_path_directories();

// The directory holding the running program, ending in a separator; taken
// from the real executable path where the system tells it, else from
// `argv0`. Empty when it cannot be told.
std::string program_directory(const char* argv0);

// The installed data directory (share/tolvar beside the program's bin/),
// ending in a separator, or empty.
std::string installed_data_directory(const std::string& program_directory);

// Finds `program` on the search path and runs it with `args`, without a
// shell, waiting for it to end. Its exit status is ignored. Returns false
// with a message in *error when it cannot be started.
bool run_program(const std::string& program, const std::vector<std::string>& args,
                 std::string* error);

}  // namespace tolvar::platform

#endif  // TOLVAR_PLATFORM_PLATFORM_H_

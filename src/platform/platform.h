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
  friend bool read_file_bytes(const std::string& path, FileText* text);
  void unmap();

  std::string held_;
  const char* mapped_ = nullptr;
  std::size_t mapped_size_ = 0;
};

// Reads the whole file into *text as read_text_file would. Returns false
// when it cannot be opened or read; *text is then unspecified.
bool read_file_text(const std::string& path, FileText* text);

// Reads the file's bytes exactly, as read_binary_file does, into *text; a
// large file is mapped where the system allows it. Returns false when it
// cannot be opened or read; *text is then unspecified.
bool read_file_bytes(const std::string& path, FileText* text);

// Reads the file's bytes exactly as they are (no line-end folding). On
// success stores them in *contents and returns true; returns false when it
// cannot be opened or read (a directory cannot), *contents then unspecified.
bool read_binary_file(const std::string& path, std::string* contents);

// The file that `path` names once its symbolic links are followed: each
// link's text, taken relative to the link's own directory unless absolute,
// until a name that is no link (not made absolute, no "." or ".." folded).
// The path itself when it is no link or does not exist, and always on
// Windows. Returns false with a one-line message (no line end) in *error
// when a link leads nowhere (its target, or a directory on the way, does
// not exist), a chain of links does not end, or a link cannot be read.
bool resolve_links(const std::string& path, std::string* target, std::string* error);

// Replaces the contents of the existing regular file `path` by `bytes`,
// exactly. The bytes go to a new temporary file beside it (same directory,
// PATH.tolvar-PID.tmp or, when a file of that name is left over,
// PATH.tolvar-PID-N.tmp; created exclusively, so no other file is ever
// written through), which is flushed to disk, given the mode of `path`
// (POSIX: also its owner and group where the system allows; on Windows the
// attributes the system gives a new file) and renamed over `path`
// atomically (POSIX rename, then the directory is flushed; Windows
// MoveFileEx with MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH,
// tried again for half a second while another program holds either file).
// `path` is not followed when it is a symbolic link: it must be resolved
// first (resolve_links), and a link is refused. A file the user may not
// write (POSIX: no write permission; Windows: read-only) is refused too,
// though its directory would allow the rename. On any failure the original
// stays as it was, the temporary file is removed, and false is returned
// with a one-line message (no line end) naming the file and what failed,
// e.g. "Cannot write refs.bib.tolvar-1234.tmp: No space left on device".
bool replace_file(const std::string& path, std::string_view bytes, std::string* error);

// Creates or replaces `path` (which need not exist) by the same steps as
// replace_file. An existing regular file keeps its mode (and owner where
// allowed); a new file gets the mode every new file gets (0666 less the
// umask on POSIX). A symbolic link `path` is itself replaced by a plain
// file, never written through: its target is left alone. Fails, with the
// original left as it was, for a directory and for a regular file the user
// may not write. When `mode_of` names a file, a new `path` gets that
// file's mode instead (POSIX), so that the backup of a private file is no
// less private.
bool write_file_safely(const std::string& path, std::string_view bytes, std::string* error,
                       const std::string& mode_of = std::string());

// Makes `backup` a second name of the file `path` (a hard link), after
// removing what had that name; costs no copy and keeps the file's mode and
// owner. False when the system or the file system cannot (Windows always):
// the caller then copies the file. `path` itself is never changed.
bool link_backup(const std::string& path, const std::string& backup);

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

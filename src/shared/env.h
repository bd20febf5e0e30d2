// The operating-system services a run uses, behind one small interface so
// that the run can be tested in memory, failures included.
#ifndef TOLVAR_SHARED_ENV_H_
#define TOLVAR_SHARED_ENV_H_

#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace tolvar {

class Env {
 public:
  virtual ~Env() = default;

  // True unless `path` is known not to exist.
  virtual bool file_exists(const std::string& path) = 0;

  // On success stores the whole file in *contents, CR LF folded to LF, and
  // returns true; returns false when it cannot be opened or read (a
  // directory cannot).
  virtual bool read_text_file(const std::string& path, std::string* contents) = 0;

  // The same into *text, which may map a large file instead of copying it.
  virtual bool read_file_text(const std::string& path, platform::FileText* text) {
    std::string contents;
    if (!read_text_file(path, &contents)) return false;
    text->hold(std::move(contents));
    return true;
  }

  // Creates or truncates `path` and writes `text` with the system's line
  // ends. Returns false when the file cannot be created or written.
  virtual bool write_text_file(const std::string& path, std::string_view text) = 0;

  // Writes `text` at the end of the existing file `path`, with the system's
  // line ends. Returns false when it cannot be opened or written.
  virtual bool append_text_file(const std::string& path, std::string_view text) = 0;

  // Stores the file's bytes exactly in *contents (no line-end folding) and
  // returns true; returns false when it cannot be opened or read (a
  // directory cannot).
  virtual bool read_binary_file(const std::string& path, std::string* contents) = 0;

  // The same into *text, which may map a large file instead of copying it.
  virtual bool read_file_bytes(const std::string& path, platform::FileText* text) {
    std::string contents;
    if (!read_binary_file(path, &contents)) return false;
    text->hold(std::move(contents));
    return true;
  }

  // Stores in *target the file that `path` names once its symbolic links are
  // followed: the path itself when it is no link (or does not exist), and on
  // Windows. Returns false with a one-line message (no line end) in *error
  // when a link leads nowhere.
  virtual bool resolve_links(const std::string& path, std::string* target, std::string* error) = 0;

  // Replaces the contents of the existing regular file `path` (already
  // resolved: a symbolic link is refused) by `bytes`, exactly, through a
  // new temporary file beside it that is flushed, given the mode of `path`
  // and renamed over it atomically. On any failure the original stays as
  // it was, no temporary file is left, and false is returned with a
  // one-line message (no line end) naming the file and what failed. See
  // platform::replace_file.
  virtual bool replace_file(const std::string& path, std::string_view bytes, std::string* error) = 0;

  // Creates or replaces `path`, which need not exist, by the same steps as
  // replace_file, with the same guarantees on failure. A symbolic link
  // `path` is itself replaced by a plain file, never written through.
  // When `mode_of` names a file, a new `path` gets its mode (POSIX).
  virtual bool write_file_safely(const std::string& path, std::string_view bytes, std::string* error,
                                 const std::string& mode_of = std::string()) = 0;

  // Makes `backup` a hard link to `path`, replacing what had that name;
  // false when it cannot be made (then the caller copies). See
  // platform::link_backup.
  virtual bool link_backup(const std::string& path, const std::string& backup) = 0;

  virtual bool remove_file(const std::string& path) = 0;

  // Fails (returns false) when `to` exists.
  virtual bool rename_file(const std::string& from, const std::string& to) = 0;

  // Runs `program`, found on the search path, with `args` and waits for it;
  // its exit status is ignored. Returns false with a one-line message (no
  // line end) in *error when it cannot be started.
  virtual bool run_program(const std::string& program, const std::vector<std::string>& args,
                           std::string* error) = 0;
};

// The Env of the real system.
Env& real_env();

}  // namespace tolvar

#endif  // TOLVAR_SHARED_ENV_H_

// POSIX implementation of the platform interface.
#include <errno.h>
#include <fcntl.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/line_ends.h"
#include "platform/platform.h"
#include "platform/search_path.h"

extern char** environ;

#ifndef TOLVAR_INSTALL_DATADIR
#define TOLVAR_INSTALL_DATADIR "share/tolvar"
#endif

namespace tolvar::platform {

namespace {

// Opens `path` for reading and makes sure it is a regular file (a directory
// can be opened on POSIX but not read). Returns the descriptor or -1.
int open_regular_file(const std::string& path) {
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return -1;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

bool write_all(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

std::string directory_part(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return std::string();
  return path.substr(0, slash + 1);
}

}  // namespace

char directory_separator() { return '/'; }

size_t last_component_start(std::string_view path) {
  const size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? 0 : slash + 1;
}

bool file_exists(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) == 0) return true;
  return errno != ENOENT && errno != ENOTDIR;
}

bool is_readable_file(const std::string& path) {
  int fd = open_regular_file(path);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

// Reads straight into *contents, sized to the file; a file that grows
// meanwhile is read to its end all the same.
bool read_binary_file(const std::string& path, std::string* contents) {
  int fd = open_regular_file(path);
  if (fd < 0) return false;
  struct stat st;
  const size_t expected = ::fstat(fd, &st) == 0 && st.st_size > 0 ? static_cast<size_t>(st.st_size) : 0;
  contents->resize(expected + 1);  // one byte more, to see the end without another read
  size_t size = 0;
  bool ok = true;
  while (true) {
    if (size == contents->size()) contents->resize(size * 2);
    ssize_t n = ::read(fd, contents->data() + size, contents->size() - size);
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    if (n == 0) break;
    size += static_cast<size_t>(n);
  }
  ::close(fd);
  contents->resize(size);
  return ok;
}

bool read_text_file(const std::string& path, std::string* contents) {
  if (!read_binary_file(path, contents)) return false;
  fold_crlf(contents);
  return true;
}

void FileText::unmap() {
  if (mapped_ != nullptr) ::munmap(const_cast<char*>(mapped_), mapped_size_);
  mapped_ = nullptr;
  mapped_size_ = 0;
}

namespace {

// Below this a read costs less than setting up a mapping.
constexpr size_t kSmallestMappedFile = 64 * 1024;

// Maps the file open on `fd`, `size` bytes, read-only; null when it cannot.
const char* map_file(int fd, size_t size) {
  int flags = MAP_PRIVATE;
#ifdef MAP_POPULATE
  flags |= MAP_POPULATE;  // the pass reads it all: map every page at once
#endif
  void* bytes = ::mmap(nullptr, size, PROT_READ, flags, fd, 0);
  return bytes == MAP_FAILED ? nullptr : static_cast<const char*>(bytes);
}

bool holds_crlf(std::string_view text) {
  for (size_t at = text.find('\r'); at != std::string_view::npos; at = text.find('\r', at + 1)) {
    if (at + 1 < text.size() && text[at + 1] == '\n') return true;
  }
  return false;
}

}  // namespace

bool read_file_text(const std::string& path, FileText* text) {
  if (!read_file_bytes(path, text)) return false;
  if (!holds_crlf(text->view())) return true;
  std::string contents;
  if (!read_text_file(path, &contents)) return false;
  text->hold(std::move(contents));
  return true;
}

bool read_file_bytes(const std::string& path, FileText* text) {
  text->hold(std::string());
  int fd = open_regular_file(path);
  if (fd < 0) return false;
  struct stat st;
  const bool large = ::fstat(fd, &st) == 0 && st.st_size >= static_cast<off_t>(kSmallestMappedFile);
  const char* mapped = large ? map_file(fd, static_cast<size_t>(st.st_size)) : nullptr;
  ::close(fd);
  if (mapped != nullptr) {
    text->mapped_ = mapped;
    text->mapped_size_ = static_cast<size_t>(st.st_size);
    return true;
  }
  std::string contents;
  if (!read_binary_file(path, &contents)) return false;
  text->hold(std::move(contents));
  return true;
}

namespace {

bool write_to_opened(const std::string& path, int flags, std::string_view text) {
  int fd;
  do {
    fd = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return false;
  bool ok = write_all(fd, text.data(), text.size());
  if (::close(fd) != 0) ok = false;
  return ok;
}

}  // namespace

bool write_text_file(const std::string& path, std::string_view text) {
  return write_to_opened(path, O_WRONLY | O_CREAT | O_TRUNC, text);
}

bool append_text_file(const std::string& path, std::string_view text) {
  return write_to_opened(path, O_WRONLY | O_APPEND, text);
}

bool remove_file(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool link_backup(const std::string& path, const std::string& backup) {
  struct stat st;
  // Only a regular file or a link may be removed for the backup.
  if (::lstat(backup.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) return false;
  if (::unlink(backup.c_str()) != 0 && errno != ENOENT) return false;
  return ::link(path.c_str(), backup.c_str()) == 0;
}

// A rename must never replace an existing file: the backup rotation relies
// on it to keep the old .bbl when its backup cannot be removed. rename()
// would replace silently, so the target's absence is made part of the
// operation itself where the system allows: renameat2 with RENAME_NOREPLACE
// (Linux), else link() + unlink(), which fails atomically with EEXIST. Only
// where neither is supported (file systems without hard links) is the
// target tested first, which leaves a small window for a race.
bool rename_file(const std::string& from, const std::string& to) {
#ifdef RENAME_NOREPLACE
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return false;
#endif
  if (::link(from.c_str(), to.c_str()) == 0) {
    if (::unlink(from.c_str()) == 0) return true;
    ::unlink(to.c_str());
    return false;
  }
  if (errno != EPERM && errno != ENOTSUP && errno != EOPNOTSUPP && errno != EXDEV) return false;
  struct stat st;
  if (::lstat(to.c_str(), &st) == 0 || errno != ENOENT) return false;
  return ::rename(from.c_str(), to.c_str()) == 0;
}

namespace {

// Links on one path beyond this count as a loop, as the system counts them.
constexpr int kMostLinksFollowed = 40;

std::string system_error(int code) { return ::strerror(code); }

}  // namespace

bool resolve_links(const std::string& path, std::string* target, std::string* error) {
  std::string current = path;
  for (int followed = 0;; ++followed) {
    struct stat st;
    if (::lstat(current.c_str(), &st) != 0) {
      if (followed == 0) break;  // no link: whatever else is wrong, the read tells
      *error = "Cannot follow the link " + path + " to " + current + ": " + system_error(errno);
      return false;
    }
    if (!S_ISLNK(st.st_mode)) break;
    if (followed == kMostLinksFollowed) {
      *error = "Cannot follow the link " + path + ": " + system_error(ELOOP);
      return false;
    }
    // The size lstat tells may be 0 (some file systems) or stale: read until
    // the buffer holds the text with room to spare.
    std::string text(st.st_size > 0 ? static_cast<size_t>(st.st_size) + 1 : 256, '\0');
    while (true) {
      ssize_t n = ::readlink(current.c_str(), text.data(), text.size());
      if (n < 0) {
        *error = "Cannot read the link " + current + ": " + system_error(errno);
        return false;
      }
      if (static_cast<size_t>(n) < text.size()) {
        text.resize(static_cast<size_t>(n));
        break;
      }
      text.resize(text.size() * 2);
    }
    if (text.empty()) {
      *error = "Cannot follow the link " + current + ": " + system_error(ENOENT);
      return false;
    }
    current = text.front() == '/' ? text : directory_part(current) + text;
  }
  *target = current;
  return true;
}

namespace {

// A new file's mode before the umask: the one every program gives.
constexpr mode_t kNewFileMode = 0666;

// Creates the temporary file beside `path` exclusively (O_EXCL: never a
// file or a link left there), with `mode` less the umask. Returns the open
// descriptor and its name in *name, or -1 with a message in *error.
int create_temporary(const std::string& path, mode_t mode, std::string* name, std::string* error) {
  const std::string stem = path + ".tolvar-" + std::to_string(::getpid());
  for (int attempt = 0; attempt < 100; ++attempt) {
    *name = stem;
    if (attempt > 0) name->append("-").append(std::to_string(attempt));
    name->append(".tmp");
    int fd;
    do {
      fd = ::open(name->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    if (fd >= 0) return fd;
    if (errno != EEXIST) break;
  }
  *error = "Cannot create " + *name + ": " + system_error(errno);
  return -1;
}

// Flushes the directory holding `path`, so that a rename in it lasts
// through a crash. The file is already in place: a failure changes nothing.
void flush_directory_of(const std::string& path) {
  const std::string dir = directory_part(path);
  int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// The steps of replace_file and write_file_safely: `bytes` into a new
// temporary file beside `path`, flushed, given the mode and owner of
// `like` (the file replaced) unless it is null, and renamed over `path`.
bool write_through_temporary(const std::string& path, std::string_view bytes, const struct stat* like,
                             std::string* error) {
  std::string temporary;
  // Never wider than the file replaced, even before its mode is set.
  int fd = create_temporary(path, like != nullptr ? (like->st_mode & 0777) : kNewFileMode, &temporary, error);
  if (fd < 0) return false;
  std::string failed;  // what failed, with the system's words
  if (!write_all(fd, bytes.data(), bytes.size())) {
    failed = "Cannot write " + temporary + ": " + system_error(errno);
  } else if (like != nullptr) {
    struct stat st;
    // The owner first: a change of owner clears the set-id bits of the mode.
    // A user who is not root may give the file no other owner, but may give
    // it any group of theirs, as a shared bibliography's often is.
    if (::fstat(fd, &st) == 0 && (st.st_uid != like->st_uid || st.st_gid != like->st_gid) &&
        ::fchown(fd, like->st_uid, like->st_gid) != 0 && st.st_gid != like->st_gid) {
      (void)::fchown(fd, static_cast<uid_t>(-1), like->st_gid);
    }
    if (::fchmod(fd, like->st_mode & 07777) != 0)
      failed = "Cannot set the mode of " + temporary + ": " + system_error(errno);
  }
  // Some file systems cannot flush a file (EINVAL): it is then as flushed as
  // it can be.
  if (failed.empty() && ::fsync(fd) != 0 && errno != EINVAL && errno != ENOTSUP)
    failed = "Cannot flush " + temporary + " to disk: " + system_error(errno);
  // A file system may report a failed write only now (NFS).
  if (::close(fd) != 0 && failed.empty() && errno != EINTR)
    failed = "Cannot write " + temporary + ": " + system_error(errno);
  if (failed.empty() && ::rename(temporary.c_str(), path.c_str()) != 0)
    failed = "Cannot rename " + temporary + " to " + path + ": " + system_error(errno);
  if (!failed.empty()) {
    ::unlink(temporary.c_str());
    *error = failed;
    return false;
  }
  flush_directory_of(path);
  return true;
}

// True when the effective user may write the file `path`; else false with
// the message why in *error.
bool may_write(const std::string& path, std::string* error) {
  if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0) return true;
  *error = "Cannot replace " + path + ": " + system_error(errno);
  return false;
}

}  // namespace

bool replace_file(const std::string& path, std::string_view bytes, std::string* error) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) {
    *error = "Cannot replace " + path + ": " + system_error(errno);
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    *error = "Cannot replace " + path + ": " +
             (S_ISDIR(st.st_mode) ? system_error(EISDIR)
              : S_ISLNK(st.st_mode) ? std::string("It is a symbolic link")
                                    : std::string("It is not a regular file"));
    return false;
  }
  if (!may_write(path, error)) return false;
  return write_through_temporary(path, bytes, &st, error);
}

// A directory is not refused here but by the rename, which fails for it
// (EISDIR) as it would for one made meanwhile.
bool write_file_safely(const std::string& path, std::string_view bytes, std::string* error,
                       const std::string& mode_of) {
  struct stat st;
  const bool regular = ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
  if (regular && !may_write(path, error)) return false;
  if (!regular && !mode_of.empty() && ::stat(mode_of.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
    return write_through_temporary(path, bytes, &st, error);
  }
  return write_through_temporary(path, bytes, regular ? &st : nullptr, error);
}

std::vector<std::string> search_path_directories() {
  const char* value = ::getenv("PATH");
  return split_search_path(value ? value : "", PathStyle::kPosix);
}

std::string program_directory(const char* argv0) {
  std::vector<char> buffer(4096);
  while (true) {
    ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) break;
    if (static_cast<size_t>(n) < buffer.size())
      return directory_part(std::string(buffer.data(), static_cast<size_t>(n)));
    buffer.resize(buffer.size() * 2);
  }
  return argv0 ? directory_part(argv0) : std::string();
}

std::string installed_data_directory(const std::string& program_directory) {
  std::string datadir = TOLVAR_INSTALL_DATADIR;
  if (!datadir.empty() && datadir.front() == '/') return datadir + '/';
  if (program_directory.empty()) return std::string();
  return program_directory + "../" + datadir + '/';
}

bool run_program(const std::string& program, const std::vector<std::string>& args,
                 std::string* error) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t pid;
  int rc = ::posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ);
  if (rc != 0) {
    *error = program + ": " + (rc == ENOENT ? std::string("command not found") : ::strerror(rc));
    return false;
  }
  int status;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) break;
  }
  // Whatever the program's exit status, the caller looks at the files it left.
  return true;
}

}  // namespace tolvar::platform

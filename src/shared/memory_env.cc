#include "shared/memory_env.h"

namespace tolvar {

namespace {

// As many links as the real system follows before it calls it a loop.
constexpr int kMostLinksFollowed = 40;

}  // namespace

bool MemoryEnv::follow(const std::string& path, std::string* end) const {
  *end = path;
  for (int followed = 0;; ++followed) {
    auto link = links.find(*end);
    if (link == links.end()) return true;
    if (followed == kMostLinksFollowed) return false;
    *end = link->second;
  }
}

bool MemoryEnv::file_exists(const std::string& path) {
  std::string end;
  if (!follow(path, &end)) return true;  // as stat's ELOOP: not known to be absent
  return files.count(end) > 0 || directories.count(end) > 0;
}

bool MemoryEnv::read_text_file(const std::string& path, std::string* contents) {
  return read_binary_file(path, contents);
}

bool MemoryEnv::read_binary_file(const std::string& path, std::string* contents) {
  std::string end;
  if (!follow(path, &end)) return false;
  auto it = files.find(end);
  if (it == files.end()) return false;
  *contents = it->second;
  return true;
}

bool MemoryEnv::resolve_links(const std::string& path, std::string* target, std::string* error) {
  std::string end;
  if (!follow(path, &end)) {
    *error = "Cannot follow the link " + path + ": Too many levels of symbolic links";
    return false;
  }
  if (end != path && files.count(end) == 0 && directories.count(end) == 0) {
    *error = "Cannot follow the link " + path + " to " + end + ": No such file or directory";
    return false;
  }
  *target = end;
  return true;
}

bool MemoryEnv::write_through_temporary(const std::string& path, std::string_view bytes,
                                        std::string* error) {
  const std::string temporary = path + kTemporarySuffix;
  if (unwritable.count(path) || unwritable.count(temporary)) {
    *error = "Cannot create " + temporary + ": Permission denied";
    return false;
  }
  if ((full.count(path) || full.count(temporary)) && !bytes.empty()) {
    *error = "Cannot write " + temporary + ": No space left on device";
    return false;
  }
  if (directories.count(path)) {
    *error = "Cannot rename " + temporary + " to " + path + ": Is a directory";
    return false;
  }
  if (rename_fails_to.count(path)) {
    *error = "Cannot rename " + temporary + " to " + path + ": Permission denied";
    return false;
  }
  links.erase(path);
  files[path] = std::string(bytes);
  return true;
}

bool MemoryEnv::replace_file(const std::string& path, std::string_view bytes, std::string* error) {
  const char* why = links.count(path)         ? "It is a symbolic link"
                    : directories.count(path) ? "Is a directory"
                    : files.count(path) == 0  ? "No such file or directory"
                                              : nullptr;
  if (why != nullptr) {
    *error = "Cannot replace " + path + ": " + why;
    return false;
  }
  return write_through_temporary(path, bytes, error);
}

bool MemoryEnv::write_file_safely(const std::string& path, std::string_view bytes, std::string* error,
                                  const std::string& /*mode_of*/) {
  return write_through_temporary(path, bytes, error);
}

bool MemoryEnv::write_text_file(const std::string& path, std::string_view text) {
  if (unwritable.count(path) || directories.count(path)) return false;
  if (full.count(path) && !text.empty()) {
    files[path].clear();
    return false;
  }
  files[path] = std::string(text);
  return true;
}

bool MemoryEnv::append_text_file(const std::string& path, std::string_view text) {
  auto it = files.find(path);
  if (it == files.end()) return false;
  if (full.count(path) && !text.empty()) return false;
  it->second += text;
  return true;
}

bool MemoryEnv::link_backup(const std::string& /*path*/, const std::string& /*backup*/) { return false; }

bool MemoryEnv::remove_file(const std::string& path) {
  if (links.erase(path) > 0) return true;
  return files.erase(path) > 0;
}

bool MemoryEnv::rename_file(const std::string& from, const std::string& to) {
  auto it = files.find(from);
  if (it == files.end() || file_exists(to) || rename_fails_to.count(to)) return false;
  files[to] = std::move(it->second);
  files.erase(from);
  return true;
}

bool MemoryEnv::run_program(const std::string& program, const std::vector<std::string>& args,
                            std::string* error) {
  std::string command = program;
  for (const std::string& arg : args) command += " " + arg;
  started.push_back(command);
  auto it = programs.find(program);
  if (it == programs.end()) {
    *error = program + ": command not found";
    return false;
  }
  return it->second(this, args, error);
}

}  // namespace tolvar

#include "shared/memory_env.h"

namespace tolvar {

bool MemoryEnv::file_exists(const std::string& path) {
  return files.count(path) > 0 || directories.count(path) > 0;
}

bool MemoryEnv::read_text_file(const std::string& path, std::string* contents) {
  auto it = files.find(path);
  if (it == files.end()) return false;
  *contents = it->second;
  return true;
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

bool MemoryEnv::remove_file(const std::string& path) { return files.erase(path) > 0; }

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

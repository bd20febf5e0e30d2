// Windows implementation of the platform interface. File names are passed
// to the ANSI functions, so GBK names work under a GBK code page.
#include <windows.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "platform/line_ends.h"
#include "platform/platform.h"
#include "platform/search_path.h"

#ifndef TOLVAR_INSTALL_DATADIR
#define TOLVAR_INSTALL_DATADIR "share/tolvar"
#endif

namespace tolvar::platform {

namespace {

std::string directory_part(const std::string& path) { return path.substr(0, last_component_start(path)); }

bool is_regular_file(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Quotes one argument so that the child's command-line parser gives it back
// unchanged (backslashes before a quote are doubled). A double-byte
// character of the code page is copied whole: its second byte may be that
// of '\\' (GBK 運 is DF 5C) without being a backslash.
void append_quoted(const std::string& arg, std::string* command_line) {
  if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos) {
    command_line->append(arg);
    return;
  }
  command_line->push_back('"');
  size_t backslashes = 0;
  for (size_t i = 0; i < arg.size(); ++i) {
    const char c = arg[i];
    if (IsDBCSLeadByte(static_cast<BYTE>(c)) && i + 1 < arg.size()) {
      command_line->append(backslashes, '\\');
      backslashes = 0;
      command_line->append(arg, i++, 2);
      continue;
    }
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') command_line->append(backslashes * 2 + 1, '\\');
    else command_line->append(backslashes, '\\');
    backslashes = 0;
    command_line->push_back(c);
  }
  command_line->append(backslashes * 2, '\\');
  command_line->push_back('"');
}

// Finds `program` (with .exe or .com added when it has no suffix) in the
// directories of Path. Returns the full name, or empty.
std::string find_on_search_path(const std::string& program) {
  const bool has_suffix = program.find('.') != std::string::npos;
  const char* suffixes[] = {".exe", ".com"};
  for (const std::string& dir : search_path_directories()) {
    if (has_suffix) {
      if (is_regular_file(dir + program)) return dir + program;
      continue;
    }
    for (const char* suffix : suffixes) {
      std::string candidate = dir + program + suffix;
      if (is_regular_file(candidate)) return candidate;
    }
  }
  return std::string();
}

}  // namespace

char directory_separator() { return '\\'; }

size_t last_component_start(std::string_view path) {
  size_t start = 0;
  for (size_t i = 0; i < path.size(); ++i) {
    if (IsDBCSLeadByte(static_cast<BYTE>(path[i])) && i + 1 < path.size()) {
      ++i;
      continue;
    }
    if (path[i] == '\\' || path[i] == '/') start = i + 1;
  }
  return start;
}

bool file_exists(const std::string& path) {
  if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
  DWORD error = GetLastError();
  return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
}

bool is_readable_file(const std::string& path) {
  if (!is_regular_file(path)) return false;
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) return false;
  fclose(file);
  return true;
}

bool read_text_file(const std::string& path, std::string* contents) {
  if (!is_regular_file(path)) return false;
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) return false;
  contents->clear();
  char buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, file)) > 0) contents->append(buffer, n);
  bool ok = !ferror(file);
  fclose(file);
  if (ok) fold_crlf(contents);
  return ok;
}

// A file mapped into memory could not be renamed while the run still
// reads it: every file is read into a string.
void FileText::unmap() {}

bool read_file_text(const std::string& path, FileText* text) {
  std::string contents;
  if (!read_text_file(path, &contents)) return false;
  text->hold(std::move(contents));
  return true;
}

namespace {

// Writes `text` with CR LF line ends into the opened `file` and closes it.
bool write_crlf_and_close(FILE* file, std::string_view text) {
  std::string crlf;
  crlf.reserve(text.size() + text.size() / 32);
  for (char c : text) {
    if (c == '\n') crlf.push_back('\r');
    crlf.push_back(c);
  }
  bool ok = fwrite(crlf.data(), 1, crlf.size(), file) == crlf.size();
  if (fclose(file) != 0) ok = false;
  return ok;
}

}  // namespace

bool write_text_file(const std::string& path, std::string_view text) {
  FILE* file = fopen(path.c_str(), "wb");
  if (!file) return false;
  return write_crlf_and_close(file, text);
}

// "r+b" and a seek to the end, not "ab": a file opened for appending is
// created when it does not exist.
bool append_text_file(const std::string& path, std::string_view text) {
  FILE* file = fopen(path.c_str(), "r+b");
  if (!file) return false;
  if (fseek(file, 0, SEEK_END) != 0) {
    fclose(file);
    return false;
  }
  return write_crlf_and_close(file, text);
}

bool remove_file(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

// Without MOVEFILE_REPLACE_EXISTING the move fails when `to` exists.
bool rename_file(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(), 0) != 0;
}

std::vector<std::string> search_path_directories() {
  // The variable's name is matched without regard to case.
  DWORD size = GetEnvironmentVariableA("Path", nullptr, 0);
  if (size == 0) return {};
  std::string value(size, '\0');
  DWORD length = GetEnvironmentVariableA("Path", value.data(), size);
  value.resize(length < size ? length : 0);
  std::vector<std::string> dirs = split_search_path(value, PathStyle::kWindows);
  // A folder whose name ends in a double-byte character with the second
  // byte of '\\' still needs its separator.
  for (std::string& dir : dirs) {
    if (!dir.empty() && last_component_start(dir) != dir.size()) dir += '\\';
  }
  return dirs;
}

std::string program_directory(const char* argv0) {
  std::vector<char> buffer(MAX_PATH);
  while (true) {
    DWORD n = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) break;
    if (n < buffer.size()) return directory_part(std::string(buffer.data(), n));
    buffer.resize(buffer.size() * 2);
  }
  return argv0 ? directory_part(argv0) : std::string();
}

std::string installed_data_directory(const std::string& program_directory) {
  std::string datadir = TOLVAR_INSTALL_DATADIR;
  for (char& c : datadir) {
    if (c == '/') c = '\\';
  }
  const bool absolute = (datadir.size() > 1 && datadir[1] == ':') ||
                        (!datadir.empty() && datadir.front() == '\\');
  if (absolute) return datadir + '\\';
  if (program_directory.empty()) return std::string();
  return program_directory + "..\\" + datadir + '\\';
}

bool run_program(const std::string& program, const std::vector<std::string>& args,
                 std::string* error) {
  std::string application = find_on_search_path(program);
  if (application.empty()) {
    *error = "'" + program +
             "' is not recognized as an internal or external command, operable program or batch file.";
    return false;
  }
  std::string command_line;
  append_quoted(program, &command_line);
  for (const std::string& arg : args) {
    command_line.push_back(' ');
    append_quoted(arg, &command_line);
  }
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(application.c_str(), command_line.data(), nullptr, nullptr, TRUE, 0,
                      nullptr, nullptr, &startup, &process)) {
    *error = program + ": cannot be started (error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

}  // namespace tolvar::platform

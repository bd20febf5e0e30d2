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

bool read_binary_file(const std::string& path, std::string* contents) {
  if (!is_regular_file(path)) return false;
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) return false;
  contents->clear();
  char buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, file)) > 0) contents->append(buffer, n);
  bool ok = !ferror(file);
  fclose(file);
  return ok;
}

bool read_text_file(const std::string& path, std::string* contents) {
  if (!read_binary_file(path, contents)) return false;
  fold_crlf(contents);
  return true;
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

bool read_file_bytes(const std::string& path, FileText* text) {
  std::string contents;
  if (!read_binary_file(path, &contents)) return false;
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

// A hard link on NTFS would need the file closed by every other program;
// a copy serves everywhere.
bool link_backup(const std::string& /*path*/, const std::string& /*backup*/) { return false; }

// Without MOVEFILE_REPLACE_EXISTING the move fails when `to` exists.
bool rename_file(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(), 0) != 0;
}

// Links are not followed on Windows: the path is the file.
bool resolve_links(const std::string& path, std::string* target, std::string* /*error*/) {
  *target = path;
  return true;
}

namespace {

// The system's words for an error code, on one line and without the final
// period, as strerror gives them on POSIX.
std::string system_message(DWORD code) {
  char* buffer = nullptr;
  const DWORD n = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
  std::string text = n > 0 && buffer != nullptr ? std::string(buffer, n) : std::string();
  if (buffer != nullptr) LocalFree(buffer);
  for (char& c : text) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  while (!text.empty() && (text.back() == ' ' || text.back() == '.')) text.pop_back();
  if (text.empty()) text = "error " + std::to_string(code);
  return text;
}

// Creates the temporary file beside `path` exclusively (CREATE_NEW).
// Returns its handle and its name in *name, or INVALID_HANDLE_VALUE with a
// message in *error.
HANDLE create_temporary(const std::string& path, std::string* name, std::string* error) {
  const std::string stem = path + ".tolvar-" + std::to_string(GetCurrentProcessId());
  DWORD code = ERROR_FILE_EXISTS;
  for (int attempt = 0; attempt < 100; ++attempt) {
    *name = stem + (attempt == 0 ? std::string() : "-" + std::to_string(attempt)) + ".tmp";
    HANDLE file = CreateFileA(name->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file != INVALID_HANDLE_VALUE) return file;
    code = GetLastError();
    if (code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS) break;
  }
  *error = "Cannot create " + *name + ": " + system_message(code);
  return INVALID_HANDLE_VALUE;
}

bool write_all(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = bytes.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), chunk, &written, nullptr)) return false;
    if (written == 0) {  // no progress, and no error told
      SetLastError(ERROR_WRITE_FAULT);
      return false;
    }
    bytes.remove_prefix(written);
  }
  return true;
}

// A virus scanner or an indexer that has just opened either file holds it
// for a moment: the move is tried again for about half a second.
bool move_over(const std::string& from, const std::string& to, DWORD* code) {
  for (int attempt = 0;; ++attempt) {
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    *code = GetLastError();
    const bool held = *code == ERROR_SHARING_VIOLATION || *code == ERROR_LOCK_VIOLATION ||
                      *code == ERROR_ACCESS_DENIED;
    if (!held || attempt == 10) return false;
    Sleep(50);
  }
}

// The steps of replace_file and write_file_safely: `bytes` into a new
// temporary file beside `path`, flushed, and moved over `path`.
bool write_through_temporary(const std::string& path, std::string_view bytes, std::string* error) {
  std::string temporary;
  HANDLE file = create_temporary(path, &temporary, error);
  if (file == INVALID_HANDLE_VALUE) return false;
  std::string failed;
  if (!write_all(file, bytes)) failed = "Cannot write " + temporary + ": " + system_message(GetLastError());
  else if (!FlushFileBuffers(file))
    failed = "Cannot flush " + temporary + " to disk: " + system_message(GetLastError());
  if (!CloseHandle(file) && failed.empty())
    failed = "Cannot write " + temporary + ": " + system_message(GetLastError());
  DWORD code = 0;
  if (failed.empty() && !move_over(temporary, path, &code))
    failed = "Cannot rename " + temporary + " to " + path + ": " + system_message(code);
  if (!failed.empty()) {
    DeleteFileA(temporary.c_str());
    *error = failed;
    return false;
  }
  return true;
}

}  // namespace

bool replace_file(const std::string& path, std::string_view bytes, std::string* error) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    *error = "Cannot replace " + path + ": " + system_message(GetLastError());
    return false;
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    *error = "Cannot replace " + path + ": It is a folder";
    return false;
  }
  if (attributes & FILE_ATTRIBUTE_READONLY) {
    *error = "Cannot replace " + path + ": The file is read-only";
    return false;
  }
  return write_through_temporary(path, bytes, error);
}

// A folder is not refused here but by the move, which fails for it.
bool write_file_safely(const std::string& path, std::string_view bytes, std::string* error,
                       const std::string& /*mode_of*/) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) &&
      (attributes & FILE_ATTRIBUTE_READONLY)) {
    *error = "Cannot replace " + path + ": The file is read-only";
    return false;
  }
  return write_through_temporary(path, bytes, error);
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

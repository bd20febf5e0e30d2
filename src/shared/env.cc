#include "shared/env.h"

#include "platform/platform.h"

namespace tolvar {

namespace {

class RealEnv : public Env {
 public:
  bool file_exists(const std::string& path) override { return platform::file_exists(path); }
  bool read_text_file(const std::string& path, std::string* contents) override {
    return platform::read_text_file(path, contents);
  }
  bool read_file_text(const std::string& path, platform::FileText* text) override {
    return platform::read_file_text(path, text);
  }
  bool write_text_file(const std::string& path, std::string_view text) override {
    return platform::write_text_file(path, text);
  }
  bool append_text_file(const std::string& path, std::string_view text) override {
    return platform::append_text_file(path, text);
  }
  bool read_binary_file(const std::string& path, std::string* contents) override {
    return platform::read_binary_file(path, contents);
  }
  bool read_file_bytes(const std::string& path, platform::FileText* text) override {
    return platform::read_file_bytes(path, text);
  }
  bool resolve_links(const std::string& path, std::string* target, std::string* error) override {
    return platform::resolve_links(path, target, error);
  }
  bool replace_file(const std::string& path, std::string_view bytes, std::string* error) override {
    return platform::replace_file(path, bytes, error);
  }
  bool write_file_safely(const std::string& path, std::string_view bytes, std::string* error,
                         const std::string& mode_of) override {
    return platform::write_file_safely(path, bytes, error, mode_of);
  }
  bool link_backup(const std::string& path, const std::string& backup) override {
    return platform::link_backup(path, backup);
  }
  bool remove_file(const std::string& path) override { return platform::remove_file(path); }
  bool rename_file(const std::string& from, const std::string& to) override {
    return platform::rename_file(from, to);
  }
  bool run_program(const std::string& program, const std::vector<std::string>& args,
                   std::string* error) override {
    return platform::run_program(program, args, error);
  }
};

}  // namespace

Env& real_env() {
  static RealEnv env;
  return env;
}

}  // namespace tolvar

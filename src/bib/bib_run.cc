#include "bib/bib_run.h"

#include <new>
#include <string_view>
#include <vector>

#include "bib/bib_key.h"
#include "bib/bib_keys.h"
#include "bib/bib_sources.h"
#include "platform/platform.h"
#include "shared/char_model.h"
#include "shared/name_reading.h"
#include "shared/pinyin_dictionary.h"

namespace tolvar {
namespace {

// A field name BibTeX and biber read as one: no blanks and none of the
// bytes that end a name.
bool is_field_name(std::string_view name) {
  if (name.empty()) return false;
  for (char c : name) {
    const auto b = static_cast<unsigned char>(c);
    if (b <= ' ' || b >= 0x7F || std::string_view("\"#%'(),={}").find(c) != std::string_view::npos) {
      return false;
    }
  }
  return true;
}

class KeysRun {
 public:
  KeysRun(const Settings& settings, const SearchPlaces& places, Env& env, std::ostream& out, std::ostream& err)
      : settings_(settings), places_(places), env_(env), out_(out), err_(err) {}

  int execute(const std::string& argument);

 private:
  void progress(const std::string& text);
  void report(const std::string& messages);
  bool set_up_context();
  bool document_bib_files(const std::string& argument, std::vector<std::string>* files);
  bool locate(const std::string& name, const std::string& document_directory, std::string* path);
  bool key_file(const std::string& path);
  bool write_keyed_file(const std::string& path, const std::string& target, std::string_view old_bytes,
                        std::string_view new_bytes);

  const Settings& settings_;
  const SearchPlaces& places_;
  Env& env_;
  std::ostream& out_;
  std::ostream& err_;
  PinyinDictionary dictionary_;
  CompoundIndex compounds_;
  HomophoneRanks ranks_;
  BibKeyContext context_;
};

void KeysRun::progress(const std::string& text) {
  if (!settings_.silent) out_ << text;
}

void KeysRun::report(const std::string& messages) {
  if (messages.empty()) return;
  out_.flush();
  err_ << messages;
  err_.flush();
}

bool KeysRun::set_up_context() {
  context_.mode = settings_.keys_mode;
  context_.model = CharModel(settings_.encoding);
  if (context_.mode != SortMode::kPinyin) return true;
  std::string messages;
  const int loaded = load_pinyin_dictionary(places_, &dictionary_, &messages);
  report(messages);
  if (loaded < 0) return false;
  build_compound_index(dictionary_, &compounds_);
  build_homophone_ranks(dictionary_, &ranks_);
  context_.dictionary = &dictionary_;
  context_.compounds = &compounds_;
  context_.ranks = &ranks_;
  return true;
}

// The .bib files of the document `argument` names, as its .bcf or else its
// .aux lists them, each found as the backend would find it. False when the
// document has neither.
bool KeysRun::document_bib_files(const std::string& argument, std::vector<std::string>* files) {
  const std::string base = document_base(argument);
  const std::string directory = base.substr(0, platform::last_component_start(base));
  std::string text;
  std::vector<std::string> names;
  std::string source;
  if (env_.read_text_file(base + ".bcf", &text)) {
    source = base + ".bcf";
    names = bcf_bib_files(text);
  } else if (env_.read_text_file(base + ".aux", &text)) {
    source = base + ".aux";
    names = aux_bib_files(text);
  } else {
    report("tolvar: found neither " + base + ".bcf nor " + base +
           ".aux; run LaTeX first, or name the .bib file\n");
    return false;
  }
  if (names.empty()) progress("tolvar: " + source + " names no .bib file\n");
  for (const std::string& name : names) {
    std::string path;
    if (locate(name, directory, &path)) {
      files->push_back(path);
    } else {
      // The backend may find it in a TeX tree (a shared library in
      // ~/texmf), which is no file to key, or say itself that it is
      // missing: the build goes on.
      report("tolvar: cannot find " + name + " (named in " + source + ")\n");
    }
  }
  return true;
}

// A data source is looked for as given (relative to the current folder),
// then beside the document.
bool KeysRun::locate(const std::string& name, const std::string& document_directory, std::string* path) {
  std::string contents;
  if (env_.read_binary_file(name, &contents)) {
    *path = name;
    return true;
  }
  const bool relative = platform::last_component_start(name) == 0 ||
                        (name[0] != '/' && name[0] != '\\' && name.find(':') == std::string::npos);
  if (document_directory.empty() || !relative) return false;
  const std::string beside = document_directory + name;
  if (!env_.read_binary_file(beside, &contents)) return false;
  *path = beside;
  return true;
}

bool KeysRun::write_keyed_file(const std::string& path, const std::string& target, std::string_view old_bytes,
                               std::string_view new_bytes) {
  std::string error;
  // The backup is the file itself under a second name where the system
  // allows it (the replacement gets a new file), else a copy.
  const std::string backup = target + ".bak";
  if (!(env_.link_backup(target, backup) || env_.write_file_safely(backup, old_bytes, &error, target)) ||
      !env_.replace_file(target, new_bytes, &error)) {
    report("tolvar: " + error + "; " + path + " is left as it was\n");
    return false;
  }
  return true;
}

bool KeysRun::key_file(const std::string& path) {
  std::string error;
  std::string target;
  if (!env_.resolve_links(path, &target, &error)) {
    report("tolvar: " + error + "\n");
    return false;
  }
  if (is_in_tex_tree(target)) {
    progress("tolvar: " + path + " is in a TeX tree; left as it is\n");
    return true;
  }
  platform::FileText file;
  if (!env_.read_file_bytes(target, &file)) {
    report("Failed to open " + path + " for reading!\n");
    return false;
  }
  const std::string_view bytes = file.view();
  // Keys read from UTF-8 as if it were GBK would be wrong, and they would
  // go into the user's own file: it is left alone.
  if (settings_.encoding == Encoding::kGbk && looks_like_utf8(bytes)) {
    report("tolvar: " + path + " looks like UTF-8; use -utf8 for XeLaTeX/LuaLaTeX documents\n");
    return false;
  }
  BibKeysOptions options;
  options.field = settings_.key_field;
  options.replace = settings_.replace_keys;
  options.english_first = settings_.english_first;
  BibKeysResult result;
  std::string messages;
  add_bib_keys(context_, options, bytes, path, &result, &messages);
  report(messages);
  if (result.changed && !write_keyed_file(path, target, bytes, result.text)) return false;
  std::string summary = std::to_string(result.added) + (result.added == 1 ? " key" : " keys") + " added";
  if (settings_.replace_keys) summary += ", " + std::to_string(result.replaced) + " replaced";
  summary += ", " + std::to_string(result.kept) + " kept";
  progress("tolvar " + path + " is finished! " + summary + (result.changed ? "" : ", file unchanged") + "\n");
  return true;
}

int KeysRun::execute(const std::string& argument) {
  if (settings_.keys_mode == SortMode::kNone) {
    report("tolvar: unknown order in -keys= (py, pinyin, bs, bishun, bhs, bihuashu, uni or unicode)\n");
    return 1;
  }
  if (!is_field_name(settings_.key_field)) {
    report("tolvar: -keyfield= needs a field name: letters, digits and no blank\n");
    return 1;
  }
  std::vector<std::string> files;
  bool ok = true;
  if (names_bib_file(argument)) {
    files.push_back(argument);
  } else {
    ok = document_bib_files(argument, &files);
  }
  if (files.empty()) return ok ? 0 : 1;
  if (!set_up_context()) return 1;
  for (const std::string& path : files) ok = key_file(path) && ok;
  return ok ? 0 : 1;
}

}  // namespace

int run_bib_keys(const Settings& settings, const std::string& argument, const SearchPlaces& places, Env& env,
                 std::ostream& out, std::ostream& err) {
  KeysRun run(settings, places, env, out, err);
  try {
    return run.execute(argument);
  } catch (const std::bad_alloc&) {
    err << "Memory allocation error!\n";
    return 1;
  }
}

}  // namespace tolvar

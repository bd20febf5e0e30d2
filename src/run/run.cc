#include "run/run.h"

#include <new>
#include <optional>
#include <string_view>
#include <vector>

#include "bib/bib_run.h"
#include "convert/convert.h"
#include "run/file_names.h"
#include "run/options.h"
#include "shared/settings.h"
#include "shared/char_model.h"
#include "shared/pinyin_dictionary.h"
#include "sort/sort_bibitems.h"

namespace tolvar {

namespace {

class Run {
 public:
  Run(const SearchPlaces& places, Env& env, std::ostream& out, std::ostream& err)
      : places_(places), env_(env), out_(out), err_(err) {}

  int execute(const std::vector<std::string>& args);

 private:
  void progress(const std::string& text);
  void report(const std::string& messages);
  void read_configuration();
  int process_file();
  void run_bibtex();
  bool ensure_and_read(bool forced, platform::FileText* text);
  bool read_unprocessed_bbl(platform::FileText* text);
  bool create_temporary_file();
  bool write_pieces_to_temporary_file(const std::vector<std::string_view>& pieces);
  bool rotate_files();
  bool sort_step(platform::FileText* text);

  const SearchPlaces& places_;
  Env& env_;
  std::ostream& out_;
  std::ostream& err_;
  Settings settings_;
  RunFileNames names_;
  bool temporary_file_exists_ = false;
};

void Run::progress(const std::string& text) {
  if (!settings_.silent) out_ << text;
}

void Run::report(const std::string& messages) {
  if (messages.empty()) return;
  // Keep the order in which both streams were written on a shared console.
  out_.flush();
  err_ << messages;
  err_.flush();
}

void Run::read_configuration() {
  for (const std::string& name : data_file_candidates("tolvar.cfg", places_)) {
    std::string text;
    if (env_.read_text_file(name, &text)) {
      apply_configuration(text, &settings_.words);
      return;
    }
  }
}

int Run::execute(const std::vector<std::string>& args) {
  read_configuration();
  CommandLine command_line = parse_command_line(args, &settings_);
  switch (command_line.action) {
    case CommandAction::kShowCjk:
      out_ << banner() << cjk_support_commands();
      return 1;
    case CommandAction::kShowStrings:
      out_ << strings_help();
      return 1;
    case CommandAction::kShowHelp:
      out_ << help_text();
      return 0;
    case CommandAction::kShowVersion:
      out_ << banner();
      return 0;
    case CommandAction::kRun:
      break;
  }
  std::string messages;
  finish_keyword_strings(&settings_, &messages);
  report(messages);
  // An empty argument names no file (it would make bibtex look for ".aux").
  if (!command_line.file_name || command_line.file_name->empty()) {
    out_ << usage_text();
    return 1;
  }
  progress(banner());
  if (settings_.keys) return run_bib_keys(settings_, *command_line.file_name, places_, env_, out_, err_);
  names_ = derive_file_names(*command_line.file_name);
  int code;
  try {
    code = process_file();
  } catch (const std::bad_alloc&) {
    report("Memory allocation error!\n");
    code = 1;
  }
  if (code != 0 && temporary_file_exists_) env_.remove_file(names_.tmp);
  return code;
}

int Run::process_file() {
  platform::FileText bbl;
  if (!read_unprocessed_bbl(&bbl)) return 1;
  // Advice only: the GBK run goes on and its output is what it always was.
  if (settings_.encoding == Encoding::kGbk && looks_like_utf8(bbl.view())) {
    report("tolvar: " + names_.bbl + " looks like UTF-8; use -utf8 for XeLaTeX/LuaLaTeX documents\n");
  }
  if (!create_temporary_file()) return 1;
  if ((settings_.sort_mode != SortMode::kNone || settings_.english_first) && !sort_step(&bbl)) return 1;
  // The converted text goes to the temporary file piece by piece, which
  // spares the memory of a whole copy.
  std::string messages;
  const bool written = convert_lines_to(
      settings_, bbl.view(),
      [this](std::string_view piece) { return env_.append_text_file(names_.tmp, piece); }, &messages);
  report(messages);
  if (!written) {
    report("Failed to write " + names_.tmp + "!\n");
    return 1;
  }
  if (!rotate_files()) return 1;
  progress("tolvar " + names_.bbl + " is finished!\n");
  return 0;
}

void Run::run_bibtex() {
  const std::string command = "bibtex " + names_.base;
  progress(">>>" + command + "...\n");
  out_.flush();  // bibtex writes to the same console
  std::string error;
  if (!env_.run_program("bibtex", {names_.base}, &error)) report(error + "\n");
  progress("<<<" + command + " is finished!\n");
}

// Reads the .bbl into *text, first running bibtex when `forced` or when the
// file does not exist. False when there is still no .bbl to read.
bool Run::ensure_and_read(bool forced, platform::FileText* text) {
  if (forced || !env_.file_exists(names_.bbl)) {
    // The text read before (a mapped file, maybe) is let go before bibtex
    // writes the file anew.
    text->hold(std::string());
    run_bibtex();
    if (!env_.file_exists(names_.bbl)) return false;
  }
  if (!env_.read_file_text(names_.bbl, text)) {
    report("Failed to open " + names_.bbl + " for reading!\n");
    return false;
  }
  return true;
}

// An empty .bbl is written anew by bibtex; so is one that an earlier run
// has processed, whose regenerated text is then taken as it is.
bool Run::read_unprocessed_bbl(platform::FileText* text) {
  if (!ensure_and_read(false, text)) return false;
  if (text->view().empty()) {
    if (!ensure_and_read(true, text) || text->view().empty()) return false;
  }
  if (text->view().starts_with(kProcessedMarker)) return ensure_and_read(true, text);
  return true;
}

// The temporary file is created before any work, so that a folder where it
// cannot be written is found at once.
bool Run::create_temporary_file() {
  if (!env_.write_text_file(names_.tmp, "")) {
    report("Cannot open " + names_.tmp + " for writing!\n");
    return false;
  }
  temporary_file_exists_ = true;
  return true;
}

// Appends `pieces` to the (empty) temporary file, a few large writes at a
// time.
bool Run::write_pieces_to_temporary_file(const std::vector<std::string_view>& pieces) {
  std::string buffer;
  buffer.reserve(kOutputPieceBytes + 4096);
  bool written = true;
  for (size_t k = 0; k < pieces.size() && written; ++k) {
    buffer += pieces[k];
    if (buffer.size() >= kOutputPieceBytes || k + 1 == pieces.size()) {
      written = env_.append_text_file(names_.tmp, buffer);
      buffer.clear();
    }
  }
  if (!written) report("Failed to write " + names_.tmp + "!\n");
  return written;
}

// The old backup goes, the .bbl becomes the backup and the temporary file
// the .bbl. Only the last step is checked: a rename never replaces a file,
// so when the backup could not be cleared the .bbl stays as it was. When
// the last step fails, the result exists only under the temporary name,
// which is therefore kept.
bool Run::rotate_files() {
  env_.remove_file(names_.bak);
  env_.rename_file(names_.bbl, names_.bak);
  temporary_file_exists_ = false;
  if (!env_.rename_file(names_.tmp, names_.bbl)) {
    report("Cannot rename " + names_.tmp + " to " + names_.bbl + "!\n");
    return false;
  }
  return true;
}

// Reorders the entries, makes the sorted text the .bbl (the text it came
// from becomes the backup) and puts in *text the sorted .bbl as reading it
// gives it. A file without entries is left alone.
bool Run::sort_step(platform::FileText* text) {
  std::string messages;
  PinyinDictionary dictionary;
  const bool pinyin = settings_.sort_mode == SortMode::kPinyin;
  if (pinyin && load_pinyin_dictionary(places_, &dictionary, &messages) < 0) {
    report(messages);
    return false;
  }
  // The sorted text is written from the stretches of the .bbl it is made
  // of, which spares the memory of a whole copy.
  std::vector<std::string_view> pieces;
  size_t entry_count = 0;
  const bool sorted_ok = sort_bibitems_pieces(settings_, pinyin ? &dictionary : nullptr, text->view(),
                                              &pieces, &messages, &entry_count);
  report(messages);
  if (!sorted_ok) return false;
  // With nothing to reorder the files stay as they are: a rewrite would
  // fold the line ends of the file a second time.
  if (entry_count == 0) return true;
  if (!write_pieces_to_temporary_file(pieces) || !rotate_files()) return false;
  if (!env_.read_file_text(names_.bbl, text)) {
    report("Failed to open " + names_.bbl + " for reading!\n");
    return false;
  }
  return create_temporary_file();
}

}  // namespace

int run_tolvar(const std::vector<std::string>& args, const SearchPlaces& places, Env& env,
               std::ostream& out, std::ostream& err) {
  Run run(places, env, out, err);
  return run.execute(args);
}

}  // namespace tolvar

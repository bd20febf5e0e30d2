// The command line, the configuration file tolvar.cfg and the texts the
// program prints about itself.
#ifndef TOLVAR_RUN_OPTIONS_H_
#define TOLVAR_RUN_OPTIONS_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "shared/settings.h"

namespace tolvar {

// What the command line asks for once it has been read.
enum class CommandAction {
  kRun,          // process the file (or print the usage when there is none)
  kShowStrings,  // -strings: print the strings help, exit 1
  kShowCjk,      // -dispcjk: print the banner and CJK support commands, exit 1
  kShowHelp,     // --help: print the usage text and the newer options, exit 0
  kShowVersion,  // --version: print the banner, exit 0
};

struct CommandLine {
  CommandAction action = CommandAction::kRun;
  std::optional<std::string> file_name;  // the last argument that is no option
};

// Parses `args` (without the program's own path) in order into *settings.
// Option names and -sort= values are matched without regard to ASCII case;
// values and the file name keep their bytes. Stops at -strings, -dispcjk, --help or --version.
CommandLine parse_command_line(const std::vector<std::string>& args, Settings* settings);

// The sort mode a -sort= value selects; kNone for an unknown value.
SortMode sort_mode_from_value(std::string_view value);

// Applies the text of a configuration file (CR LF already folded) to
// *words: "key=value" lines, '%' in the first column for comments, keys
// matched without regard to ASCII case, unknown lines ignored.
void apply_configuration(std::string_view text, KeywordStrings* words);

std::string banner();
std::string usage_text();
// The usage text followed by the options it does not list (--help).
std::string help_text();
std::string strings_help();
std::string cjk_support_commands();  // without the banner before it

}  // namespace tolvar

#endif  // TOLVAR_RUN_OPTIONS_H_

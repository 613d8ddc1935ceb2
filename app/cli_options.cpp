#include "app/cli_options.h"

#include <string_view>

#include "engine/messages.h"
#include "platform/program_info.h"

namespace veldra {
namespace {

// A folder path without its trailing separators ("/" itself stays).
std::string WithoutTrailingSeparator(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

}  // namespace

CliParse ParseCliOptions(const std::vector<std::string>& args) {
  CliParse parse;
  bool help = false;
  bool version = false;
  bool list_sets = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "-h" || arg == "--help") {
      help = true;
      continue;
    }
    if (arg == "--version") {
      version = true;
      continue;
    }
    if (arg == "--quiet") {
      parse.options.quiet = true;
      continue;
    }
    if (arg == "--progress") {
      parse.options.progress = true;
      continue;
    }
    if (arg == "--no-cache") {
      parse.options.no_cache = true;
      continue;
    }
    if (arg == "--list-sets") {
      list_sets = true;
      continue;
    }
    const size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    std::string* target = nullptr;
    std::string pause_point;
    std::string settle;
    std::optional<std::string>* optional_target = nullptr;
    if (name == "--program-folder") {
      target = &parse.options.program_folder;
    } else if (name == "--set") {
      target = &parse.options.set_name;
    } else if (name == "--root") {
      optional_target = &parse.options.root;
    } else if (name == "--url") {
      optional_target = &parse.options.url;
    } else if (name == "--test-pause") {
      target = &pause_point;
    } else if (name == "--test-cache-settle") {
      target = &settle;
    } else if (parse.error.empty()) {
      parse.error = arg.starts_with("-") ? "unknown option '" + arg + "'"
                                         : "unexpected argument '" + arg + "'";
      continue;
    } else {
      continue;
    }
    std::string value;
    if (equals != std::string::npos) {
      value = arg.substr(equals + 1);
    } else if (i + 1 < args.size()) {
      value = args[++i];
    } else {
      if (parse.error.empty()) parse.error = "option '" + name + "' needs a value";
      continue;
    }
    if (target != nullptr) {
      *target = std::move(value);
    } else if (optional_target != nullptr) {
      *optional_target = std::move(value);
    }
    if (target == &pause_point) parse.options.test_pause_points.push_back(pause_point);
    if (target == &settle) {
      if (settle.empty() || settle.size() > 6 ||
          settle.find_first_not_of("0123456789") != std::string::npos) {
        if (parse.error.empty()) parse.error = "option '" + name + "' needs a number of seconds";
      } else {
        parse.options.test_cache_settle = std::stoi(settle);
      }
    }
  }
  parse.options.program_folder = WithoutTrailingSeparator(parse.options.program_folder);
  if (help) {
    parse.action = CliAction::kHelp;
  } else if (version) {
    parse.action = CliAction::kVersion;
  } else if (!parse.error.empty()) {
    parse.action = CliAction::kUsageError;
  } else if (list_sets) {
    parse.action = CliAction::kListSets;
  }
  return parse;
}

void ApplyCliOptions(const CliOptions& options, EnvironmentSet& set) {
  if (options.root) set.RootFolder = *options.root;
  if (options.url) set.RootUrl = *options.url;
}

std::string CliUsageText() {
  return R"(Usage: VELDRA-cli [--program-folder DIR] [--set NAME] [--root FOLDER] [--url URL]
                  [--quiet | --progress] [--no-cache]
       VELDRA-cli [--program-folder DIR] --list-sets

Runs one environment set as the window's Start button does, for scheduled publishing: writes
the page (and, with change marks on, the snapshot) of every folder below the root folder,
gathers the pages into the output folder when the set names an output folder and URL, and
saves the set. The closing notice goes to standard output (UTF-8), progress and input errors
to standard error. Progress is a bar when standard error is a terminal, else nothing unless
--progress asks for plain lines.

Options:
  --program-folder DIR  folder of the set files (NAME.ini) and the header and footer templates
                        (default: ~/.config/veldra for a program under /usr or in a folder it
                        cannot write to, else the folder of this program)
  --set NAME            environment set to run (default: VELDRA, the window program's set)
  --root FOLDER         root folder to publish, as if typed into the window
                        (default: the set's last root folder)
  --url URL             URL the root folder is served under (default: the set's last root URL)
  --quiet               print no progress
  --progress            print progress as plain lines even when standard error is no terminal
  --no-cache            neither use nor update the tag cache (~/.cache/veldra, or under
                        $XDG_CACHE_HOME): every file's tags are read from the file
  --list-sets           print the names of the sets in the program folder, one a line, and exit
  -h, --help            print this help and exit
  --version             print the version and exit
Values may also follow an "=" (--set=NAME).

Exit status:
  0    every folder got its page (and every page was gathered)
  1    some folder got no page, or the root folder cannot be listed
  2    input error: root folder, root URL or set name empty, or a set name that cannot be a file name,
       or a set file that exists but cannot be read (nothing is written, the file is kept)
  64   bad usage: unknown option or missing value
  75   another run of the same set holds its lock
  130  stopped by SIGINT (143: by SIGTERM): the run stopped between folders, pages already
       written stay whole (with an output folder set, pages are gathered only by a run that was
       not stopped before gathering), and the set was saved
)";
}

std::string CliVersionText() {
  return "VELDRA-cli (" + std::string(text::kProgramTitle) + ") " +
         std::to_string(kProgramVersion.major) + "." + std::to_string(kProgramVersion.minor) + "." +
         std::to_string(kProgramVersion.revision) + "\n";
}

}  // namespace veldra

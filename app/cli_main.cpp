// VELDRA-cli: runs one environment set as the Start button would, for scheduled publishing.

#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "app/cli_options.h"
#include "app/cli_progress.h"
#include "app/cli_signals.h"
#include "engine/display_text.h"
#include "engine/messages.h"
#include "engine/run.h"
#include "engine/run_control.h"
#include "engine/run_lock.h"
#include "platform/local_time.h"
#include "platform/program_info.h"
#include "platform/text_compare.h"
#include "settings/set_file.h"
#include "settings/set_list.h"

namespace veldra {
namespace {

// Everything the runner prints, terminal or not (cron mail is read on one too): names from the
// tree and arguments pass through DisplayText, so no control character but the line feed is
// written.
void Print(std::FILE* stream, const std::string& text) {
  const std::string shown = DisplayText(text);
  std::fwrite(shown.data(), 1, shown.size(), stream);
}

int Run(const CliOptions& options) {
  ProgramPlace place = RunningProgramPlace(kDefaultSetName, options.program_folder);
  if (options.no_cache) place.cache_folder.clear();
  EnvironmentSet set;
  set.SetName = options.set_name;
  // A refused name is reported by PrepareRunInput below; an unreadable set file ends the run
  // here, before an empty set is taken for its content.
  const SetLoad load = LoadEnvironmentSet(place, set);
  if (load.state == SetFileState::kUnreadable) {
    Print(stderr, "VELDRA-cli: " + std::string(text::kSetUnreadable) + load.ini_path + " (" +
                      load.detail + ")\n");
    return kExitInputError;
  }
  ApplyCliOptions(options, set);

  std::vector<std::string> set_list = ListEnvironmentSets(place);
  const InputError error = PrepareRunInput(set, set_list);
  if (error != InputError::kNone) {
    Print(stderr, std::string(text::kInputErrorTitle) + ": " +
                      InputErrorMessage(error, set.CodePage) + "\n");
    return kExitInputError;
  }

  SystemClock clock;
  // Held until the notice is printed; refused at once when another run holds it.
  RunLock lock;
  if (lock.Take(set, place, clock.NowUtcSeconds()) == RunLock::Outcome::kHeld) {
    Print(stderr, "VELDRA-cli: " + RunLockedMessage(lock.holder()) + "\n");
    return kExitLocked;
  }
  ProgressPrinter progress(
      ChooseProgressStyle(options.quiet, options.progress, isatty(fileno(stderr)) == 1), stderr);
  RunControl control;
  if (options.test_cache_settle) control.tag_cache_settle_seconds = *options.test_cache_settle;
  if (!options.test_pause_points.empty()) {
    control.pause_hook = [&options](std::string_view point) {
      for (const std::string& wanted : options.test_pause_points) {
        if (wanted != point) continue;
        Print(stderr, "VELDRA-cli: paused at " + wanted + "\n");
        std::fflush(stderr);
        char line[64];
        if (std::fgets(line, sizeof line, stdin) == nullptr) return;
      }
    };
  }
  StopOnSignals(control);
  const RunResult result = ExecuteRun(set, place, clock, &progress, &control);
  progress.Finish();
  Print(stdout, FormatRunNotice(result.report) + "\n");
  switch (StopSignalReceived()) {
    case SIGINT:
      return kExitInterrupted;
    case SIGTERM:
      return kExitTerminated;
    default:
      return result.report.AllWritten() ? kExitAllWritten : kExitSomeFailed;
  }
}

// The set names of the program folder, one a line, for shell completion and scripts. A file
// name no set can have (a control character would break the lines) is left out.
int ListSets(const CliOptions& options) {
  const ProgramPlace place = RunningProgramPlace(kDefaultSetName, options.program_folder);
  std::vector<std::string> names = ListEnvironmentSets(place);
  const NameCollator collator;
  std::stable_sort(names.begin() + 1, names.end(), [&collator](const auto& a, const auto& b) {
    return collator.Compare(a, b) < 0;
  });
  for (const std::string& name : names) {
    if (IsValidSetName(name)) Print(stdout, name + "\n");
  }
  return kExitAllWritten;
}

}  // namespace
}  // namespace veldra

int main(int argc, char** argv) {
  using namespace veldra;
  const CliParse parse = ParseCliOptions(std::vector<std::string>(argv + 1, argv + argc));
  switch (parse.action) {
    case CliAction::kHelp:
      Print(stdout, CliUsageText());
      return kExitAllWritten;
    case CliAction::kVersion:
      Print(stdout, CliVersionText());
      return kExitAllWritten;
    case CliAction::kUsageError:
      Print(stderr, "VELDRA-cli: " + parse.error + "\nTry 'VELDRA-cli --help'.\n");
      return kExitUsage;
    case CliAction::kListSets:
      return ListSets(parse.options);
    case CliAction::kRun:
      break;
  }
  return Run(parse.options);
}

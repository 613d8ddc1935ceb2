// VELDRA-cli: runs one environment set as the Start button would, for scheduled publishing.

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "app/cli_options.h"
#include "app/cli_signals.h"
#include "engine/messages.h"
#include "engine/run.h"
#include "engine/run_control.h"
#include "platform/local_time.h"
#include "platform/program_info.h"
#include "settings/set_file.h"
#include "settings/set_list.h"

namespace veldra {
namespace {

// One line per hundred pages: a tree of ten thousand folders gives a hundred lines.
class ProgressPrinter final : public RunObserver {
 public:
  void PageWritten(const std::string& /*folder*/, size_t pages_written) override {
    if (pages_written % 100 == 0)
      std::fprintf(stderr, "VELDRA-cli: %zu pages written\n", pages_written);
  }
};

void Print(std::FILE* stream, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stream);
}

int Run(const CliOptions& options) {
  const ProgramPlace place{options.program_folder.empty() ? ProgramFolder()
                                                          : options.program_folder,
                           kDefaultSetName};
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
                      std::string(InputErrorMessage(error)) + "\n");
    return kExitInputError;
  }

  SystemClock clock;
  ProgressPrinter progress;
  RunControl control;
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
  const RunResult result =
      ExecuteRun(set, place, clock, options.quiet ? nullptr : &progress, &control);
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
    case CliAction::kRun:
      break;
  }
  return Run(parse.options);
}

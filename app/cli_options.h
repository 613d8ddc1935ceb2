#pragma once
// Command line of the batch runner VELDRA-cli, parsed without running anything.

#include <optional>
#include <string>
#include <vector>

#include "settings/environment_set.h"

namespace veldra {

// Exit statuses of VELDRA-cli.
inline constexpr int kExitAllWritten = 0;
inline constexpr int kExitSomeFailed = 1;  // a folder got no page (a missing root included)
inline constexpr int kExitInputError = 2;  // root folder, root URL or set name refused,
                                           // or the set file unreadable
inline constexpr int kExitUsage = 64;      // unknown option, missing value
inline constexpr int kExitLocked = 75;     // another run of the set holds its lock
// Stopped by SIGINT or SIGTERM (128 + the signal's number).
inline constexpr int kExitInterrupted = 130;
inline constexpr int kExitTerminated = 143;

// The set a batch run uses when none is named: the one named after the window program.
inline constexpr const char* kDefaultSetName = "VELDRA";

struct CliOptions {
  std::string program_folder;  // "" for the folder of the executable; no trailing separator
  std::string set_name = kDefaultSetName;
  std::optional<std::string> root;  // replaces the set's root folder text when given
  std::optional<std::string> url;   // replaces the set's root URL text when given
  bool quiet = false;
  bool progress = false;  // plain progress lines even when standard error is not a terminal
  bool no_cache = false;  // this run neither reads nor writes the tag cache
  // Test-only, not in --help: at each named pause point the run says "paused at POINT" on
  // standard error and waits for a line on standard input ("--test-pause POINT", repeatable).
  std::vector<std::string> test_pause_points;
  // Test-only, not in --help: "--test-cache-settle SECONDS", how long before the run a file must
  // have changed to be kept in the tag cache (tests make their files just before they run).
  std::optional<int> test_cache_settle;
};

enum class CliAction { kRun, kHelp, kVersion, kListSets, kUsageError };

struct CliParse {
  CliAction action = CliAction::kRun;
  CliOptions options;
  std::string error;  // for kUsageError: what was wrong, one line
};

// Parses the arguments after the program name. Options take their value as the next argument or
// after "=" ("--set NAME", "--set=NAME"); a repeated option keeps its last value. --help or -h
// wins over everything else, then --version, then --list-sets.
CliParse ParseCliOptions(const std::vector<std::string>& args);

// Puts --root and --url into the set's root folder and URL texts, as if typed into the window.
void ApplyCliOptions(const CliOptions& options, EnvironmentSet& set);

// The --help text (every option and the exit statuses) and the --version line.
std::string CliUsageText();
std::string CliVersionText();

}  // namespace veldra

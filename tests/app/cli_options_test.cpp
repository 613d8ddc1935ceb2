#include "app/cli_options.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "platform/program_version.h"
#include "tests/support/temp_dir.h"

namespace veldra {
namespace {

CliParse Parse(std::vector<std::string> args) { return ParseCliOptions(args); }

TEST(CliOptions, DefaultsRunTheWindowProgramsSet) {
  const CliParse p = Parse({});
  EXPECT_EQ(p.action, CliAction::kRun);
  EXPECT_EQ(p.options.set_name, "VELDRA");
  EXPECT_EQ(p.options.program_folder, "");
  EXPECT_FALSE(p.options.root.has_value());
  EXPECT_FALSE(p.options.url.has_value());
  EXPECT_FALSE(p.options.quiet);
}

TEST(CliOptions, ValuesFollowAsNextArgumentOrAfterEquals) {
  const CliParse p = Parse({"--program-folder", "/opt/v/", "--set=Music", "--root", "/srv/m",
                            "--url=/m/?a=b", "--quiet"});
  ASSERT_EQ(p.action, CliAction::kRun) << p.error;
  EXPECT_EQ(p.options.program_folder, "/opt/v");
  EXPECT_EQ(p.options.set_name, "Music");
  EXPECT_EQ(p.options.root, "/srv/m");
  EXPECT_EQ(p.options.url, "/m/?a=b");  // only the first "=" separates
  EXPECT_TRUE(p.options.quiet);
}

TEST(CliOptions, EmptyAndDashValuesAreTakenAsGiven) {
  const CliParse p = Parse({"--root", "", "--url", "--quiet", "--set="});
  ASSERT_EQ(p.action, CliAction::kRun) << p.error;
  EXPECT_EQ(p.options.root, "");
  EXPECT_EQ(p.options.url, "--quiet");
  EXPECT_FALSE(p.options.quiet);
  EXPECT_EQ(p.options.set_name, "");  // the run refuses it as an input error, not bad usage
}

TEST(CliOptions, RepeatedOptionKeepsLastValue) {
  EXPECT_EQ(Parse({"--set", "a", "--set", "b"}).options.set_name, "b");
  EXPECT_EQ(Parse({"--program-folder", "/"}).options.program_folder, "/");
}

TEST(CliOptions, BadUsage) {
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"--bogus"},
                                             {"-q"},
                                             {"--set"},
                                             {"--quiet", "--root"},
                                             {"/srv/music"},
                                             {"--quiet=yes"}}) {
    const CliParse p = Parse(args);
    EXPECT_EQ(p.action, CliAction::kUsageError) << args.back();
    EXPECT_FALSE(p.error.empty());
  }
  EXPECT_NE(Parse({"--set"}).error.find("--set"), std::string::npos);
  EXPECT_NE(Parse({"--frob"}).error.find("--frob"), std::string::npos);
}

TEST(CliOptions, HelpWinsThenVersionThenListSets) {
  EXPECT_EQ(Parse({"--bogus", "-h"}).action, CliAction::kHelp);
  EXPECT_EQ(Parse({"--version", "--help"}).action, CliAction::kHelp);
  EXPECT_EQ(Parse({"--set", "x", "--version"}).action, CliAction::kVersion);
  EXPECT_EQ(Parse({"--list-sets", "--version"}).action, CliAction::kVersion);
  EXPECT_EQ(Parse({"--list-sets", "--bogus"}).action, CliAction::kUsageError);
  const CliParse list = Parse({"--program-folder", "/p/", "--list-sets"});
  EXPECT_EQ(list.action, CliAction::kListSets);
  EXPECT_EQ(list.options.program_folder, "/p");
}

TEST(CliOptions, ProgressAndQuietAreFlags) {
  EXPECT_FALSE(Parse({}).options.progress);
  const CliParse both = Parse({"--progress", "--quiet"});
  EXPECT_EQ(both.action, CliAction::kRun);
  EXPECT_TRUE(both.options.progress);
  EXPECT_TRUE(both.options.quiet);
  EXPECT_EQ(Parse({"--progress=yes"}).action, CliAction::kUsageError);
}

TEST(CliOptions, NoCacheFlagAndTheHiddenSettleTime) {
  EXPECT_FALSE(Parse({}).options.no_cache);
  EXPECT_FALSE(Parse({}).options.test_cache_settle.has_value());
  const CliParse off = Parse({"--no-cache", "--test-cache-settle", "0"});
  EXPECT_EQ(off.action, CliAction::kRun);
  EXPECT_TRUE(off.options.no_cache);
  EXPECT_EQ(off.options.test_cache_settle, 0);
  EXPECT_EQ(Parse({"--test-cache-settle=5"}).options.test_cache_settle, 5);
  for (const char* bad : {"-1", "", "2s", "99999999"})
    EXPECT_EQ(Parse({"--test-cache-settle", bad}).action, CliAction::kUsageError) << bad;
  EXPECT_EQ(Parse({"--no-cache=yes"}).action, CliAction::kUsageError);
  EXPECT_NE(CliUsageText().find("--no-cache"), std::string::npos);
  EXPECT_EQ(CliUsageText().find("--test-cache-settle"), std::string::npos);
}

// Every option and exit status of --help is in the manual page, and the other way round.
TEST(CliOptions, HelpAndManualPageAgree) {
  const std::string help = CliUsageText();
  const std::string page = test::ReadFile(VELDRA_CLI_MAN_SOURCE);
  ASSERT_FALSE(page.empty());
  const std::regex option("--[a-z][a-z-]*");
  std::set<std::string> in_help, in_page;
  for (auto it = std::sregex_iterator(help.begin(), help.end(), option);
       it != std::sregex_iterator(); ++it)
    in_help.insert(it->str());
  for (auto it = std::sregex_iterator(page.begin(), page.end(), option);
       it != std::sregex_iterator(); ++it) {
    // Options of other commands in the examples (systemctl, journalctl) are not the runner's.
    if (help.find(it->str()) != std::string::npos ||
        page.find("*" + it->str()) != std::string::npos)
      in_page.insert(it->str());
  }
  EXPECT_EQ(in_help, in_page);
  for (const char* status : {"0", "1", "2", "64", "75", "130", "143"}) {
    EXPECT_NE(page.find(std::string("*") + status + "*"), std::string::npos) << status;
    EXPECT_TRUE(
        std::regex_search(help, std::regex(std::string("\\n  ") + status + " |\\(" + status + ":")))
        << status;
  }
}

TEST(CliOptions, HelpDocumentsEveryOptionAndStatus) {
  const std::string help = CliUsageText();
  for (const char* word : {"--program-folder", "--set", "--root", "--url", "--quiet", "--help",
                           "-h,", "--version", "VELDRA", "64"})
    EXPECT_NE(help.find(word), std::string::npos) << word;
  EXPECT_NE(CliVersionText().find(kProgramVersionText), std::string::npos);
}

TEST(CliOptions, RootAndUrlReplaceTheSetsTextsOnlyWhenGiven) {
  EnvironmentSet set;
  set.RootFolder = "/old/";
  set.RootUrl = "/old-url/";
  CliOptions options;
  ApplyCliOptions(options, set);
  EXPECT_EQ(set.RootFolder, "/old/");
  EXPECT_EQ(set.RootUrl, "/old-url/");
  options.root = "  /new ";
  options.url = "";
  ApplyCliOptions(options, set);
  EXPECT_EQ(set.RootFolder, "  /new ");  // trimmed later, by the run's own checks
  EXPECT_EQ(set.RootUrl, "");
}

TEST(CliOptions, TestPausePointsAreCollectedInOrder) {
  const CliParse parse =
      ParseCliOptions({"--test-pause", "walk-done", "--test-pause=run-done", "--set", "A"});
  ASSERT_EQ(parse.action, CliAction::kRun);
  EXPECT_EQ(parse.options.test_pause_points, (std::vector<std::string>{"walk-done", "run-done"}));
  EXPECT_EQ(parse.options.set_name, "A");
}

}  // namespace
}  // namespace veldra

#include "engine/run.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "engine/messages.h"
#include "engine/run_context.h"
#include "engine/run_control.h"
#include "tests/engine/engine_test_util.h"
#include "tests/support/temp_dir.h"

namespace veldra {
namespace {

using test::FileLines;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;
using Lines = std::vector<std::string>;

TEST(PrepareRunInput, TrimsAppendsTheSeparatorAndUpdatesHistories) {
  EnvironmentSet set;
  set.RootFolder = "  /srv/www  ";
  set.RootUrl = " /A/ ";
  set.SetName = " music ";
  set.RootFolderHistory = {"/old/", "/SRV/WWW/"};
  set.RootUrlHistory = {"/b/", "/a/"};
  Lines set_list = {"VELDRA", "music"};
  EXPECT_EQ(PrepareRunInput(set, set_list), InputError::kNone);
  EXPECT_EQ(set.RootFolder, "/srv/www/");
  EXPECT_EQ(set.RootUrl, "/A/");
  EXPECT_EQ(set.SetName, "music");
  EXPECT_EQ(set.RootFolderHistory, (Lines{"/srv/www/", "/old/"}));
  EXPECT_EQ(set.RootUrlHistory, (Lines{"/A/", "/b/"}));
  EXPECT_EQ(set_list, (Lines{"music", "VELDRA"}));

  // A new value only grows a history; only blanks are trimmed.
  set.RootFolder = "\t/x/";
  set.RootUrlHistory = {"x"};
  set.RootUrl = "y";
  EXPECT_EQ(PrepareRunInput(set, set_list), InputError::kNone);
  EXPECT_EQ(set.RootFolder, "\t/x/");
  EXPECT_EQ(set.RootUrlHistory, (Lines{"y", "x"}));
}

TEST(PrepareRunInput, ChecksInOrderAndChangesOnlyTheTexts) {
  EnvironmentSet set;
  set.RootFolder = "   ";
  set.RootUrl = "";
  set.SetName = "";
  set.RootFolderHistory = {"/h/"};
  Lines set_list = {"VELDRA"};
  EXPECT_EQ(PrepareRunInput(set, set_list), InputError::kRootFolderEmpty);
  EXPECT_EQ(set.RootFolder, "");

  set.RootFolder = "/data";
  EXPECT_EQ(PrepareRunInput(set, set_list), InputError::kRootUrlEmpty);
  EXPECT_EQ(set.RootFolder, "/data/");  // the separator stays although the run stopped

  set.RootUrl = " / ";
  EXPECT_EQ(PrepareRunInput(set, set_list), InputError::kSetNameEmpty);
  EXPECT_EQ(set.RootUrl, "/");

  for (const char* bad : {"../evil", "a/b", "x\ny", "..", "."}) {
    set.SetName = bad;
    EXPECT_EQ(PrepareRunInput(set, set_list), InputError::kSetNameInvalid) << bad;
  }
  EXPECT_EQ(set.RootFolderHistory, Lines{"/h/"});
  EXPECT_EQ(set_list, Lines{"VELDRA"});
  EXPECT_TRUE(set.RootUrlHistory.empty());

  EXPECT_EQ(InputErrorMessage(InputError::kRootFolderEmpty), text::kRootFolderEmpty);
  EXPECT_EQ(InputErrorMessage(InputError::kRootUrlEmpty), text::kRootUrlEmpty);
  EXPECT_EQ(InputErrorMessage(InputError::kSetNameEmpty), text::kSetNameEmpty);
  EXPECT_EQ(InputErrorMessage(InputError::kSetNameInvalid), text::kSetNameInvalid);
  EXPECT_EQ(InputErrorMessage(InputError::kNone), "");

  // With FEED the root's page cannot be named like the new-arrivals page; without it, it can.
  set.SetName = "VELDRA";
  set.RootUrl = "http://h/";
  set.OutputFileName = " WhatsNew.htm";
  EXPECT_EQ(PrepareRunInput(set, set_list), InputError::kNone);
  set.RootFolderHistory.clear();
  set.RootUrlHistory.clear();
  set.Feed = true;
  EXPECT_EQ(PrepareRunInput(set, set_list), InputError::kFeedPageNameTaken);
  EXPECT_TRUE(set.RootUrlHistory.empty());
  EXPECT_EQ(InputErrorMessage(InputError::kFeedPageNameTaken), text::kFeedPageNameTaken);
  set.OutputFileName = "whatsnew.html";
  EXPECT_EQ(PrepareRunInput(set, set_list), InputError::kNone);
}

TEST(BuildRunContext, ValuesFromTheSettings) {
  EnvironmentSet set = test::DefaultSet(" /r ", "  /u  ");
  set.ThExtra = "  bgcolor=red ";
  set.TdExtra = "";
  set.FolderMarkText = "   ";
  set.FileMarkText = " ♪ ";
  set.OutputFileName = " index.htm";
  set.ShowUpdateMark = true;
  set.HeaderFileName = "h.txt";
  const RunContext run = BuildRunContext(set, ProgramPlace{"/prog", "VELDRA"});
  EXPECT_EQ(run.RootPath, "/r/");
  EXPECT_EQ(run.RootUrl, "/u");
  EXPECT_EQ(run.ThAttributes, " bgcolor=red");
  EXPECT_EQ(run.TdAttributes, "");
  EXPECT_EQ(run.FolderMark, "<BR>");
  EXPECT_EQ(run.FileMark, "♪");
  EXPECT_EQ(run.OutputFileName, " index.htm");
  EXPECT_TRUE(run.MarksWanted);
  EXPECT_EQ(run.HeaderPath, "/prog/h.txt");
  EXPECT_EQ(run.FooterPath, "/prog/VELDRA-Foot-htm.txt");
}

class RunTest : public ::testing::Test {
 protected:
  RunResult Run() { return test::RunAt(set, test::PlaceIn(program.path())); }
  TempDir program;
  TempDir tree;
  EnvironmentSet set = test::DefaultSet(tree.path(), "/files/");
};

TEST_F(RunTest, CreatesMissingTemplatesAndSavesTheSet) {
  const RunResult result = Run();
  EXPECT_EQ(FileLines(program / "VELDRA-Head-htm.txt"), DefaultHeaderLines());
  EXPECT_EQ(ReadFile(program / "VELDRA-Foot-htm.txt"), "<HR>\r\n</BODY>\r\n</HTML>\r\n");
  EXPECT_EQ(result.context.HeaderLines, DefaultHeaderLines());
  EXPECT_EQ(result.context.FooterLines, DefaultFooterLines());
  EXPECT_EQ(result.ini_path, program / "VELDRA.ini");
  EXPECT_EQ(result.context.IniPath, result.ini_path);
  EXPECT_TRUE(FileExists(program / "VELDRA.ini"));
  EXPECT_EQ(result.work_list, Lines{tree.path()});
  EXPECT_TRUE(result.report.problems.empty());
  EXPECT_EQ(FormatRunNotice(result.report), std::string(text::kRunFinished) + "\n" +
                                                std::string(text::kNoticePagesWritten) + "1件");
}

TEST_F(RunTest, ExistingTemplatesAreReadNotOverwritten) {
  WriteFile(program / "VELDRA-Head-htm.txt",
            EncodeCp932("<HTML>\r\n<BODY>ヘッダ", Cp932Escape::kHtml));
  WriteFile(program / "VELDRA-Foot-htm.txt", "");
  const RunResult result = Run();
  EXPECT_EQ(result.context.HeaderLines, (Lines{"<HTML>", "<BODY>ヘッダ"}));
  EXPECT_TRUE(result.context.FooterLines.empty());
  EXPECT_EQ(ReadFile(program / "VELDRA-Foot-htm.txt"), "");
}

TEST_F(RunTest, TemplateThatCannotBeMadeIsReportedAndTheRunGoesOn) {
  set.HeaderFileName = "";  // the path names the program folder itself
  set.FooterFileName = "no-such-folder/foot.txt";
  const RunResult result = Run();
  EXPECT_TRUE(result.context.HeaderLines.empty());
  EXPECT_TRUE(result.context.FooterLines.empty());
  ASSERT_EQ(result.report.problems.size(), 2u);
  EXPECT_EQ(result.report.problems[0].kind, ProblemKind::kHeaderNotCreated);
  EXPECT_EQ(result.report.problems[1],
            (RunProblem{ProblemKind::kFooterNotCreated, program / "no-such-folder/foot.txt",
                        "No such file or directory"}));
  EXPECT_EQ(result.report.pages_written, 1u);
  EXPECT_TRUE(result.report.AllWritten());
  EXPECT_NE(FormatRunNotice(result.report).find(text::kNoticeProblems), std::string::npos);
}

TEST_F(RunTest, MissingRootStillSavesAndSaysSo) {
  set.RootFolder = tree / "missing/";
  const RunResult result = Run();
  EXPECT_FALSE(result.report.root_found);
  EXPECT_FALSE(result.report.AllWritten());
  EXPECT_TRUE(FileExists(program / "VELDRA.ini"));
  const std::string notice = FormatRunNotice(result.report);
  EXPECT_TRUE(notice.starts_with(text::kRunFinished));
  EXPECT_NE(notice.find(std::string(text::kNoticeRootNotListed) + " (No such file or directory)"),
            std::string::npos);
}

TEST_F(RunTest, GatheringRunsOnlyWithBothOutputSettings) {
  TempDir out;
  set.OutputFolder = out.path();
  const RunResult without_url = Run();
  EXPECT_FALSE(without_url.report.gathering);
  EXPECT_TRUE(FileExists(tree / "index.htm"));

  set.OutputUrl = "/pages/";
  const RunResult gathered = Run();
  EXPECT_TRUE(gathered.report.gathering);
  EXPECT_EQ(gathered.report.pages_gathered, 1u);
  EXPECT_TRUE(FileExists(out / "index00000.htm"));
}

// A stop asked for at a pause point, between folders.
class StopTest : public RunTest {
 protected:
  static constexpr int kLeaves = 40;
  StopTest() {
    for (int i = 0; i < kLeaves; ++i)
      WriteFile(tree / ("d" + std::to_string(100 + i) + "/f.txt"), "f");
  }
  RunResult RunStoppingAt(std::string_view point, RunObserver* observer = nullptr) {
    RunControl control;
    control.pause_hook = [&control, point](std::string_view at) {
      if (at == point) control.RequestStop();
    };
    const test::FixedClock clock(test::kNow);
    return ExecuteRun(set, test::PlaceIn(program.path()), clock, observer, &control);
  }
  // Every file below a folder, by path relative to it, with its bytes.
  static std::map<std::string, std::string> Files(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
      if (entry.is_regular_file())
        files[entry.path().string().substr(folder.size())] = ReadFile(entry.path().string());
    return files;
  }
  // The pages below the tree are whole (end with the footer) and no temporary file is left.
  void ExpectWholePagesOnly() {
    for (const auto& [name, bytes] : Files(tree.path())) {
      EXPECT_EQ(name.find(".tmp-"), std::string::npos) << name;
      if (name.ends_with("index.htm")) {
        EXPECT_TRUE(bytes.ends_with("</HTML>\r\n")) << name;
      }
    }
  }
};

TEST_F(StopTest, StopBetweenFoldersKeepsWrittenPagesWholeAndSavesTheSet) {
  const RunResult result = RunStoppingAt(pause_point::kFolderWritten);
  EXPECT_TRUE(result.report.stopped);
  EXPECT_TRUE(result.report.folders_left);
  EXPECT_GE(result.report.pages_written, 1u);
  EXPECT_LT(result.report.pages_written, size_t{kLeaves});
  EXPECT_EQ(result.work_list.size(), result.report.pages_written);
  // The root's page comes last: a stopped walk never writes it.
  EXPECT_FALSE(FileExists(tree / "index.htm"));
  ExpectWholePagesOnly();
  EXPECT_TRUE(FileExists(program / "VELDRA.ini"));
  const std::string notice = FormatRunNotice(result.report);
  EXPECT_TRUE(notice.starts_with(std::string(text::kRunFinished) + "\n" +
                                 std::string(text::kNoticeStopped)))
      << notice;
  EXPECT_NE(notice.find(text::kNoticeFoldersLeft), std::string::npos);
  EXPECT_EQ(notice.find(text::kNoticeGatheringSkipped), std::string::npos);
}

TEST_F(StopTest, StopInTheWalkOfAGatheringRunLeavesTheOutputFolderAsItWas) {
  TempDir out;
  set.OutputFolder = out.path();
  set.OutputUrl = "/pages/";
  const RunResult full = Run();
  ASSERT_EQ(full.report.pages_gathered, size_t{kLeaves + 1});
  const auto gathered_before = Files(out.path());

  const RunResult result = RunStoppingAt(pause_point::kFolderWritten);
  EXPECT_TRUE(result.report.stopped);
  EXPECT_TRUE(result.report.gathering_skipped);
  EXPECT_FALSE(result.report.gathering);
  EXPECT_EQ(Files(out.path()), gathered_before);
  // This run's pages stay whole in their folders for the next full run to gather.
  EXPECT_GE(result.report.pages_written, 1u);
  ExpectWholePagesOnly();
  EXPECT_NE(FormatRunNotice(result.report).find(text::kNoticeGatheringSkipped), std::string::npos);
}

TEST_F(StopTest, StopDuringGatheringTakesEffectAfterThePass) {
  TempDir out;
  set.OutputFolder = out.path();
  set.OutputUrl = "/pages/";
  // Asks for the stop when the gathering pass reports its first page.
  struct Progress final : RunObserver {
    RunControl control;
    size_t found = 0, done = 0, gathered = 0, total = 0;
    void WalkProgress(size_t f, size_t d) override { found = f, done = d; }
    void GatherProgress(size_t g, size_t t) override {
      control.RequestStop();
      gathered = g, total = t;
    }
  } progress;
  const test::FixedClock clock(test::kNow);
  const RunResult result =
      ExecuteRun(set, test::PlaceIn(program.path()), clock, &progress, &progress.control);
  EXPECT_TRUE(result.report.stopped);
  EXPECT_FALSE(result.report.folders_left);
  EXPECT_FALSE(result.report.gathering_skipped);
  EXPECT_TRUE(result.report.gathering);
  EXPECT_EQ(result.report.pages_gathered, size_t{kLeaves + 1});
  EXPECT_TRUE(FileExists(out / "index00040.htm"));
  EXPECT_NE(FormatRunNotice(result.report).find(text::kNoticeStoppedAfterAll), std::string::npos);
  EXPECT_EQ(progress.found, size_t{kLeaves + 1});
  EXPECT_EQ(progress.done, size_t{kLeaves + 1});
  EXPECT_EQ(progress.gathered, size_t{kLeaves + 1});
  EXPECT_EQ(progress.total, size_t{kLeaves + 1});
}

TEST_F(StopTest, StopBeforeGatheringSkipsIt) {
  TempDir out;
  set.OutputFolder = out.path();
  set.OutputUrl = "/pages/";
  const RunResult result = RunStoppingAt(pause_point::kWalkDone);
  EXPECT_TRUE(result.report.stopped);
  EXPECT_FALSE(result.report.folders_left);
  EXPECT_TRUE(result.report.gathering_skipped);
  EXPECT_EQ(result.report.pages_written, size_t{kLeaves + 1});
  EXPECT_TRUE(Files(out.path()).empty());
}

// Folders the run's user may not write or open: each problem comes with its kind and the
// system's reason. Root passes every permission check, so as root the run is made as nobody in a
// child process, on a tree nobody owns but for the two locked folders.
TEST_F(RunTest, ProblemsOfLockedFoldersSayWhichAndWhy) {
  test::MakeFolders(tree / "locked");
  test::MakeFolders(tree / "shut");
  WriteFile(tree / "locked/song.mp3", "x");
  const bool as_root = geteuid() == 0;
  const passwd* nobody = as_root ? getpwnam("nobody") : nullptr;
  if (as_root && nobody == nullptr) GTEST_SKIP() << "no user nobody to run as";
  if (as_root) {
    for (const std::string& path : {program.path(), tree.path()}) {
      ASSERT_EQ(chown(path.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
      ASSERT_EQ(chmod(path.c_str(), 0755), 0);
    }
  }
  ASSERT_EQ(chmod((tree / "locked").c_str(), 0555), 0);  // listed, but no page can go in
  ASSERT_EQ(chmod((tree / "shut").c_str(), 0), 0);       // not even listed

  // One line per problem: kind, path, reason; sorted, as pages are written beside the walk.
  const auto problems = [&] {
    Lines lines;
    for (const RunProblem& p : Run().report.problems)
      lines.push_back(std::to_string(static_cast<int>(p.kind)) + " " + p.path + " " + p.detail);
    std::sort(lines.begin(), lines.end());
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
  };
  std::string got;
  if (!as_root) {
    got = problems();
  } else {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      if (setgroups(0, nullptr) != 0 || setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0)
        _exit(20);
      WriteFile(program / "problems.txt", problems());
      _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    got = ReadFile(program / "problems.txt");
  }
  ASSERT_EQ(chmod((tree / "shut").c_str(), 0755), 0);
  ASSERT_EQ(chmod((tree / "locked").c_str(), 0755), 0);
  const auto line = [](ProblemKind kind, const std::string& path, const std::string& detail) {
    return std::to_string(static_cast<int>(kind)) + " " + path + " " + detail + "\n";
  };
  EXPECT_EQ(got, line(ProblemKind::kFolderNotListed, tree / "shut/", "Permission denied") +
                     line(ProblemKind::kPageNotWritten, tree / "locked/", "Permission denied"));
  EXPECT_FALSE(FileExists(tree / "locked/index.htm"));
}

TEST(FormatRunNotice, ListsAtMostTenOfEachKind) {
  RunReport report;
  report.pages_written = 5;
  for (int i = 0; i < 12; ++i)
    report.problems.push_back({ProblemKind::kFolderNotListed, "/r/" + std::to_string(i) + "/", ""});
  report.problems.push_back({ProblemKind::kSetNotSaved, "/p/VELDRA.ini", "Read-only file system"});
  report.problems.push_back({ProblemKind::kPageNotWritten, "/r/p/", "Permission denied"});
  report.gathering = true;
  report.pages_gathered = 4;
  report.problems.push_back({ProblemKind::kPageNotGathered, "/r/q/", ""});
  report.problems.push_back(
      {ProblemKind::kOutputNotWritten, "/out/", "cannot replace x: No space left on device", 3});
  const std::string notice = FormatRunNotice(report);
  const std::string indent(text::kNoticeListIndent);
  std::string expected = std::string(text::kRunFinished) + "\n" +
                         std::string(text::kNoticePagesWritten) + "5件\n" +
                         std::string(text::kNoticeFoldersNotListed) + "12件\n";
  for (int i = 0; i < 10; ++i) expected += indent + "/r/" + std::to_string(i) + "/\n";
  expected += indent + "…ほか2件\n" + std::string(text::kNoticePagesNotWritten) + "1件\n" + indent +
              "/r/p/ (Permission denied)\n" + std::string(text::kNoticePagesGathered) + "4件\n" +
              std::string(text::kNoticePagesNotGathered) + "1件\n" + indent + "/r/q/\n" +
              std::string(text::kNoticeProblems) + "\n" + indent +
              std::string(text::kProblemSetNotSaved) + "/p/VELDRA.ini (Read-only file system)\n" +
              indent + std::string(text::kProblemOutputNotWritten) +
              "3件 /out/ (cannot replace x: No space left on device)";
  EXPECT_EQ(notice, expected);
  EXPECT_FALSE(report.AllWritten());
}

// With SKIPSAME the counts of pages written and left alone stand apart, in place and gathered.
TEST(FormatRunNotice, SkipSameCountsPagesWrittenAndLeftAlone) {
  RunReport report;
  report.skip_same = true;
  report.pages_written = 7;
  report.pages_left_alone = 5;
  report.gathering = true;
  report.pages_gathered = 7;
  report.gathered_left_alone = 6;
  EXPECT_EQ(FormatRunNotice(report), std::string(text::kRunFinished) + "\n" +
                                         std::string(text::kNoticePagesWritten) + "2件\n" +
                                         std::string(text::kNoticePagesLeftAlone) + "5件\n" +
                                         std::string(text::kNoticePagesGathered) + "1件\n" +
                                         std::string(text::kNoticeGatheredLeftAlone) + "6件");
}

TEST(RunReport, AllWritten) {
  RunReport report;
  EXPECT_TRUE(report.AllWritten());
  report.problems = {{ProblemKind::kHeaderUnreadable, "/p/head.txt", "Permission denied"},
                     {ProblemKind::kLinkRefused, "/r/link", ""}};
  EXPECT_TRUE(report.AllWritten());
  report.gathering = true;
  report.problems.push_back({ProblemKind::kPageNotGathered, "/r/", ""});
  EXPECT_FALSE(report.AllWritten());
  report.gathering = false;
  EXPECT_TRUE(report.AllWritten());
}

}  // namespace
}  // namespace veldra

// The write path's failure branches, reached on purpose through the FolderAccess seam: in an
// in-memory tree for the page writer and the gathering pass, and through whole runs on disk with
// one operation made to fail. Each says what failed and why, and claims nothing it did not do.

#include <errno.h>
#include <gtest/gtest.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/folder_page_write.h"
#include "engine/link_fixup.h"
#include "engine/run.h"
#include "platform/folder_tree.h"
#include "tests/engine/engine_test_util.h"
#include "tests/support/memory_folders.h"
#include "tests/support/temp_dir.h"

namespace veldra {
namespace {

using test::FaultyFolders;
using test::FolderOp;
using test::MemoryFolders;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// A folder's page and snapshot ready to write into /music/ of an in-memory tree.
class PageWriteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folders.AddFile("/music/index.htm", "old page");
    folders.AddFile("/music/index.htm.csv", "old snapshot");
    folders.AddFolder("/music/a");
    folders.SetTime("/music", FileTime{1000, 5});
    files.folder = "/music/";
    files.tree = &tree;
    files.index = tree.AddRoot("/music/");
    files.page_name = "index.htm";
    files.snapshot_name = "index.htm.csv";
    files.page = "new page";
    files.snapshot = "new snapshot";
    files.marks_wanted = true;
  }

  MemoryFolders folders;
  FolderTree tree{folders};
  FolderPageFiles files;
};

TEST_F(PageWriteTest, SnapshotFailingAfterThePageKeepsTheOldSnapshotAndSaysWhy) {
  folders.faults().Fail(FolderOp::kReplace, "index.htm.csv", EACCES);
  SetAsideFiles aside;
  const FolderPageResult result = WriteFolderPageFiles(files, &aside);
  EXPECT_TRUE(result.page_written);
  EXPECT_FALSE(result.snapshot_written);
  EXPECT_EQ(result.error, EACCES);
  EXPECT_EQ(folders.Bytes("/music/index.htm"), "new page");
  EXPECT_EQ(folders.Bytes("/music/index.htm.csv"), "old snapshot");
  // The old page was set aside for the remover, and the folder's time comes back after it.
  ASSERT_EQ(aside.paths.size(), 1u);
  EXPECT_EQ(folders.Bytes("/music/" + aside.paths[0]), "old page");
  EXPECT_EQ(folders.Time("/music"), (FileTime{1000, 5}));
  RemoveSetAside(aside);
  EXPECT_FALSE(folders.Exists("/music/" + aside.paths[0]));
  EXPECT_EQ(folders.Time("/music"), (FileTime{1000, 5}));
  tree.CloseAll();
  EXPECT_EQ(folders.open_handles(), 0u);
}

TEST_F(PageWriteTest, PageFailingLeavesPageAndSnapshotAsTheyWere) {
  folders.faults().Fail(FolderOp::kReplace, "index.htm", ENOSPC);
  const FolderPageResult result = WriteFolderPageFiles(files);
  EXPECT_FALSE(result.page_written);
  EXPECT_FALSE(result.snapshot_written);
  EXPECT_EQ(result.error, ENOSPC);
  EXPECT_EQ(folders.Bytes("/music/index.htm"), "old page");
  EXPECT_EQ(folders.Bytes("/music/index.htm.csv"), "old snapshot");
  EXPECT_EQ(folders.Time("/music"), (FileTime{1000, 5}));
}

TEST_F(PageWriteTest, OldSnapshotThatCannotBeRemovedIsAFailure) {
  files.marks_wanted = false;
  folders.faults().Fail(FolderOp::kRemove, "index.htm.csv", EPERM);
  const FolderPageResult result = WriteFolderPageFiles(files);
  EXPECT_TRUE(result.page_written);
  EXPECT_FALSE(result.snapshot_written);
  EXPECT_EQ(result.error, EPERM);
}

TEST_F(PageWriteTest, FolderSwappedAfterItWasListedGetsNothing) {
  std::vector<DirEntry> listed;
  {
    const FolderHandle dir = tree.OpenHandle(files.index);
    ASSERT_TRUE(folders.List(dir.get(), listed, nullptr));
  }
  const auto a = std::find_if(listed.begin(), listed.end(),
                              [](const DirEntry& entry) { return entry.name == "a"; });
  ASSERT_NE(a, listed.end());
  files.folder = "/music/a/";
  files.index = tree.Add(files.index, "a", a->id, false);
  // Between the listing and the write, the folder is swapped for a link to where it went...
  folders.Move("/music/a", "/elsewhere");
  folders.AddLink("/music/a", "/elsewhere");
  FolderPageResult result = WriteFolderPageFiles(files);
  EXPECT_TRUE(result.folder_gone);
  EXPECT_FALSE(result.page_written);
  EXPECT_EQ(result.error, ENOTDIR);
  EXPECT_TRUE(folders.Names("/elsewhere").empty());
  // ... or for another folder of the same name.
  folders.Move("/music/a", "/link");
  folders.AddFolder("/music/a");
  result = WriteFolderPageFiles(files);
  EXPECT_TRUE(result.folder_gone);
  EXPECT_EQ(result.error, ESTALE);
  EXPECT_TRUE(folders.Names("/music/a").empty());
  tree.CloseAll();
  EXPECT_EQ(folders.open_handles(), 0u);
}

// Gathering two pages of an in-memory tree into /out/.
class GatherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    context.OutputFileName = "index.htm";
    context.RootPath = "/tree/";
    context.RootUrl = "/files/";
    for (const std::string& folder : work_list)
      folders.AddFile(folder + "index.htm",
                      "<HTML>\r\n<!--AA_TAG_START-->\r\n<!--AA_TAG_END-->\r\n"
                      "<!--AA_TAG_DIRtoFILE-->\r\n</HTML>\r\n");
    folders.AddFolder("/out");
    folders.SetTime("/tree", FileTime{2000, 0});
    folders.SetTime("/out", FileTime{3000, 0});
  }

  FixUpResult Gather() {
    return FixUpLinks(context, "/out/", "/pages/", work_list, nullptr, nullptr, nullptr, &folders);
  }

  MemoryFolders folders;
  RunContext context;
  const std::vector<std::string> work_list = {"/tree/", "/tree/sub/"};
};

TEST_F(GatherTest, PageThatCannotBeDeletedIsGatheredAndReported) {
  folders.faults().Fail(FolderOp::kRemove, "index.htm", EBUSY, 1);
  const FixUpResult result = Gather();
  EXPECT_EQ(result.pages_gathered, 2u);
  EXPECT_TRUE(result.pages_not_gathered.empty());
  EXPECT_EQ(result.problems, (std::vector<RunProblem>{{ProblemKind::kPageNotDeleted,
                                                       "/tree/index.htm", strerror(EBUSY)}}));
  EXPECT_TRUE(folders.IsFile("/tree/index.htm"));
  EXPECT_FALSE(folders.Exists("/tree/sub/index.htm"));
  EXPECT_TRUE(folders.IsFile("/out/index00000.htm"));
  EXPECT_TRUE(folders.IsFile("/out/index00001.htm"));
  EXPECT_EQ(folders.Time("/tree"), (FileTime{2000, 0}));
  EXPECT_EQ(folders.Time("/out"), (FileTime{3000, 0}));
  EXPECT_EQ(folders.open_handles(), 0u);
}

TEST_F(GatherTest, GatheredPageThatCannotBeWrittenKeepsThePageInItsFolder) {
  folders.faults().Fail(FolderOp::kReplace, "index00001.htm", EDQUOT);
  const FixUpResult result = Gather();
  EXPECT_EQ(result.pages_gathered, 1u);
  EXPECT_EQ(result.pages_not_gathered, std::vector<std::string>{"/tree/sub/"});
  ASSERT_EQ(result.problems.size(), 1u);
  EXPECT_EQ(result.problems[0].kind, ProblemKind::kOutputNotWritten);
  EXPECT_EQ(result.problems[0].path, "/out/");
  EXPECT_NE(result.problems[0].detail.find(strerror(EDQUOT)), std::string::npos);
  EXPECT_TRUE(folders.IsFile("/tree/sub/index.htm"));
  EXPECT_FALSE(folders.Exists("/out/index00001.htm"));
}

TEST_F(GatherTest, OutputFolderThatCannotBeOpenedKeepsEveryPage) {
  folders.faults().Fail(FolderOp::kOpen, "/out/", EACCES);
  const FixUpResult result = Gather();
  EXPECT_EQ(result.pages_gathered, 0u);
  EXPECT_EQ(result.pages_not_gathered, work_list);
  EXPECT_EQ(result.problems,
            (std::vector<RunProblem>{{ProblemKind::kNoOutputFolder, "/out/", strerror(EACCES)}}));
  EXPECT_TRUE(folders.IsFile("/tree/index.htm"));
}

// Whole runs on disk, with one operation of the seam failing.
class RunFailureTest : public ::testing::Test {
 protected:
  RunResult Run() {
    const test::FixedClock clock(test::kNow);
    return ExecuteRun(set, test::PlaceIn(program.path()), clock, nullptr, nullptr, RunTuning{},
                      &folders);
  }
  TempDir program;
  TempDir tree;
  EnvironmentSet set = test::DefaultSet(tree.path(), "/files/");
  FaultyFolders folders;
};

TEST_F(RunFailureTest, SnapshotThatCannotBeWrittenIsAProblemOfItsFolder) {
  set.ShowNewMark = true;  // marks need the snapshot
  WriteFile(tree / "index.htm.csv", "old snapshot");
  folders.faults().Fail(FolderOp::kReplace, "index.htm.csv", EACCES);
  const RunResult result = Run();
  EXPECT_EQ(
      result.report.problems,
      (std::vector<RunProblem>{{ProblemKind::kPageNotWritten, tree.path(), strerror(EACCES)}}));
  EXPECT_FALSE(result.report.AllWritten());
  EXPECT_EQ(ReadFile(tree / "index.htm.csv"), "old snapshot");
  EXPECT_NE(ReadFile(tree / "index.htm"), "");
  EXPECT_TRUE(result.set_saved);
}

TEST_F(RunFailureTest, GatheredPageThatCannotBeDeletedStaysAndIsReported) {
  TempDir out;
  set.OutputFolder = out.path();
  set.OutputUrl = "/pages/";
  folders.faults().Fail(FolderOp::kUnlink, "index.htm", EBUSY);
  const RunResult result = Run();
  EXPECT_TRUE(result.report.gathering);
  EXPECT_EQ(result.report.pages_gathered, 1u);
  EXPECT_EQ(result.report.problems,
            (std::vector<RunProblem>{
                {ProblemKind::kPageNotDeleted, tree / "index.htm", strerror(EBUSY)}}));
  EXPECT_NE(ReadFile(tree / "index.htm"), "");
  EXPECT_NE(ReadFile(out / "index00000.htm"), "");
}

TEST_F(RunFailureTest, SetThatCannotBeSavedIsReportedAndTheOldFileStays) {
  WriteFile(program / "VELDRA.ini", "[MAIN]\r\nKEEP=1\r\n");
  folders.faults().Fail(FolderOp::kReplaceFile, program / "VELDRA.ini", ENOSPC);
  const RunResult result = Run();
  EXPECT_FALSE(result.set_saved);
  EXPECT_EQ(result.report.problems,
            (std::vector<RunProblem>{
                {ProblemKind::kSetNotSaved, program / "VELDRA.ini", strerror(ENOSPC)}}));
  EXPECT_EQ(result.report.pages_written, 1u);
  EXPECT_EQ(ReadFile(program / "VELDRA.ini"), "[MAIN]\r\nKEEP=1\r\n");
  const std::string notice = FormatRunNotice(result.report);
  EXPECT_NE(notice.find(strerror(ENOSPC)), std::string::npos) << notice;
}

}  // namespace
}  // namespace veldra

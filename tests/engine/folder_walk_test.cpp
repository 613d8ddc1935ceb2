#include "engine/folder_walk.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <filesystem>

#include "engine/run_context.h"
#include "tests/engine/engine_test_util.h"
#include "tests/support/temp_dir.h"

namespace veldra {
namespace {

using test::MakeFolders;
using test::TempDir;
using test::WriteFile;
using Lines = std::vector<std::string>;

// Walks a tree with the default set and empty templates.
struct Walk {
  explicit Walk(const std::string& root, RunObserver* observer = nullptr) {
    EnvironmentSet set = test::DefaultSet(root, "/");
    set.ProcessId3 = false;
    run = BuildRunContext(set, ProgramPlace{"/nowhere", "VELDRA"});
    const test::FixedClock clock;
    const NameCollator collator;
    WalkFolder(PageContext{run, set, clock}, collator, observer, report, work_list);
  }
  RunContext run;
  RunReport report;
  Lines work_list;
};

TEST(WalkFolder, PagesDeepestFirstAndWorkListSorted) {
  TempDir tree;
  MakeFolders(tree / "A/A1");
  MakeFolders(tree / "B");
  test::RecordingObserver observer;
  const Walk walk(tree.path(), &observer);
  // Sub-folders are walked in listing order, which the file system chooses.
  const bool a_first = observer.started[1] == tree / "A/";
  const Lines expected_pages = a_first
                                   ? Lines{tree / "A/A1/", tree / "A/", tree / "B/", tree.path()}
                                   : Lines{tree / "B/", tree / "A/A1/", tree / "A/", tree.path()};
  EXPECT_EQ(observer.written, expected_pages);
  EXPECT_EQ(observer.counts, (std::vector<size_t>{1, 2, 3, 4}));
  EXPECT_EQ(observer.started.size(), 4u);
  EXPECT_EQ(walk.work_list, (Lines{tree.path(), tree / "A/", tree / "A/A1/", tree / "B/"}));
  EXPECT_EQ(walk.report.pages_written, 4u);
  EXPECT_TRUE(walk.report.AllWritten());
}

TEST(WalkFolder, WorkListPutsAFolderBeforeItsSubFolders) {
  TempDir tree;
  MakeFolders(tree / "a/x");
  MakeFolders(tree / "a b");
  MakeFolders(tree / "a-b");
  MakeFolders(tree / "A.");
  const Walk walk(tree.path());
  ASSERT_EQ(walk.work_list.size(), 6u);
  EXPECT_EQ(walk.work_list[0], tree.path());
  const auto at = [&](const std::string& path) {
    return std::find(walk.work_list.begin(), walk.work_list.end(), path) - walk.work_list.begin();
  };
  EXPECT_LT(at(tree / "a/"), at(tree / "a/x/"));
}

TEST(WalkFolder, PageAndSnapshotNamesAreNotListed) {
  TempDir tree;
  for (const char* name : {"index.htm", "INDEX.HTM", "index.htm.csv", "Index.Htm.Csv",
                           "index.htm.bak", "index.html", "ｉｎｄｅｘ.htm"})
    WriteFile(tree / name, "x");
  Walk walk(tree.path());
  const std::string page = DecodeCp932(test::ReadFile(tree / "index.htm"), Cp932Escape::kHtml);
  EXPECT_NE(page.find("[ Dir = 0 / Files = 3 ]"), std::string::npos) << page;
  EXPECT_NE(page.find(">index.htm.bak</A>"), std::string::npos);
  EXPECT_NE(page.find(">index.html</A>"), std::string::npos);
  // Case folding does not fold width: the full-width name is another name.
  EXPECT_NE(page.find(">ｉｎｄｅｘ.htm</A>"), std::string::npos);
}

TEST(WalkFolder, TemporaryFilesOfAKilledRunAreRemovedNotListed) {
  TempDir tree;
  WriteFile(tree / ".index.htm.tmp-abcd1234", "half a page");
  WriteFile(tree / ".index.htm.csv.tmp-0000zzzz", "half a snapshot");
  WriteFile(tree / ".index.htm.tmp-short", "a file of the user's");
  test::SetTime(tree.path(), test::TokyoTime(10, 10, 10));
  Walk walk(tree.path());
  EXPECT_FALSE(FileExists(tree / ".index.htm.tmp-abcd1234"));
  EXPECT_FALSE(FileExists(tree / ".index.htm.csv.tmp-0000zzzz"));
  EXPECT_TRUE(FileExists(tree / ".index.htm.tmp-short"));
  EXPECT_NE(test::ReadFile(tree / "index.htm").find("[ Dir = 0 / Files = 1 ]"), std::string::npos);
  FolderId id;
  FileTime modified;
  ASSERT_TRUE(StatFolder(tree.path(), id, modified));
  EXPECT_EQ(modified.seconds, test::TokyoTime(10, 10, 10));
}

TEST(WalkFolder, AFolderThatCannotBeListedIsARowWithoutAPage) {
  TempDir tree;
  MakeFolders(tree / "one");
  MakeFolders(tree / "two");
  // Whichever sub-folder is entered first, the other vanishes before its turn.
  struct Remover : RunObserver {
    std::string root;
    std::string removed;
    void FolderStarted(const std::string& folder) override {
      if (folder == root || !removed.empty()) return;
      removed = root + (folder == root + "one/" ? "two" : "one");
      std::filesystem::remove(removed);
    }
  } remover;
  remover.root = tree.path();
  const Walk walk(tree.path(), &remover);
  EXPECT_EQ(walk.report.problems,
            (std::vector<RunProblem>{{ProblemKind::kFolderNotListed, remover.removed + "/",
                                      "No such file or directory"}}));
  EXPECT_FALSE(walk.report.AllWritten());
  EXPECT_EQ(walk.work_list.size(), 2u);
  const std::string name = remover.removed.substr(tree.path().size());
  EXPECT_NE(test::ReadFile(tree / "index.htm").find(">" + name + "</A>"), std::string::npos);
}

TEST(WalkFolder, MissingRoot) {
  TempDir tree;
  const Walk walk(tree / "nothing/");
  EXPECT_FALSE(walk.report.root_found);
  EXPECT_EQ(walk.report.problems,
            (std::vector<RunProblem>{
                {ProblemKind::kRootNotListed, tree / "nothing/", "No such file or directory"}}));
  EXPECT_TRUE(walk.work_list.empty());
  EXPECT_FALSE(walk.report.AllWritten());
}

TEST(WalkFolder, LinkBackUpTheTreeIsARowNotACycle) {
  TempDir tree;
  MakeFolders(tree / "a/b");
  std::filesystem::create_directory_symlink(tree.path(), tree / "a/b/up");
  std::filesystem::create_directory_symlink(tree / "a", tree / "a/self");
  MakeFolders(tree / "c");
  // Not on the path, but c/ is walked as itself: a folder gets one page, whatever the order.
  std::filesystem::create_directory_symlink(tree / "c", tree / "a/to-c");
  const Walk walk(tree.path());
  EXPECT_EQ(walk.work_list, (Lines{tree.path(), tree / "a/", tree / "a/b/", tree / "c/"}));
  EXPECT_NE(test::ReadFile(tree / "a/index.htm").find(">to-c</A>"), std::string::npos);
  EXPECT_NE(test::ReadFile(tree / "a/b/index.htm").find(">up</A>"), std::string::npos);
  EXPECT_NE(test::ReadFile(tree / "a/index.htm").find(">self</A>"), std::string::npos);
  EXPECT_TRUE(walk.report.AllWritten());
}

// A walk that kept one folder handle open per level would run out of handles here: the tree is
// deeper than the handles the process may open.
TEST(WalkFolder, DeeperThanTheOpenFileLimit) {
  constexpr int kDepth = 400;
  TempDir tree;
  std::string path = tree.path();
  for (int i = 0; i < kDepth; ++i) path += "d/";
  MakeFolders(path);
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
  rlimit lowered = saved;
  lowered.rlim_cur = 128;
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &lowered), 0);
  const Walk walk(tree.path());
  setrlimit(RLIMIT_NOFILE, &saved);
  EXPECT_EQ(walk.report.pages_written, kDepth + 1u);
  EXPECT_TRUE(walk.report.AllWritten());
  EXPECT_EQ(walk.work_list.back(), path);
  // The deepest page links back to every enclosing folder.
  EXPECT_EQ(test::FileLines(path + "index.htm").size(), 10u + kDepth);
}

}  // namespace
}  // namespace veldra

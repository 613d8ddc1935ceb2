// The run lock: what makes two runs the same, and that it never waits.

#include "engine/run_lock.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "tests/support/temp_dir.h"

namespace veldra {
namespace {

using test::TempDir;

class RunLockTest : public ::testing::Test {
 protected:
  RunLockTest() {
    test::MakeFolders(program);
    test::MakeFolders(root);
    test::MakeFolders(dir / "out/");
    std::filesystem::create_directory_symlink(root, dir / "link");
  }
  EnvironmentSet Set(const std::string& name, const std::string& folder,
                     const std::string& output = "") {
    EnvironmentSet set;
    set.SetName = name;
    set.RootFolder = folder;
    set.OutputFolder = output;
    return set;
  }

  TempDir dir;
  std::string program = dir / "program/";
  std::string root = dir / "tree/";
  ProgramPlace place{dir / "program", "VELDRA"};
};

TEST_F(RunLockTest, SameSetAndRealFoldersShareOneLock) {
  RunLock first;
  ASSERT_EQ(first.Take(Set("Music", root), place, 0), RunLock::Outcome::kTaken);
  // The set name in other capitals, the root through a link or with "./": the same run.
  for (const EnvironmentSet& same :
       {Set("MUSIC", root), Set("Music", dir / "link/"), Set("Music", root + "./")}) {
    RunLock second;
    EXPECT_EQ(second.Take(same, place, 0), RunLock::Outcome::kHeld) << same.RootFolder;
    EXPECT_EQ(second.holder().rfind("pid " + std::to_string(getpid()) + " (開始 ", 0), 0u)
        << second.holder();
  }
  // Another set, root or output folder is another lock.
  for (const EnvironmentSet& other :
       {Set("Other", root), Set("Music", dir / "out/"), Set("Music", root, dir / "out/")}) {
    RunLock second;
    EXPECT_EQ(second.Take(other, place, 0), RunLock::Outcome::kTaken) << other.RootFolder;
  }
  first.Release();
  RunLock again;
  EXPECT_EQ(again.Take(Set("music", root), place, 0), RunLock::Outcome::kTaken);
  EXPECT_EQ(RunLock::LockPath(Set("music", root), place).rfind(dir / "program/veldra-run-", 0), 0u);
}

TEST_F(RunLockTest, NoProgramFolderMeansNoLockButNoRefusal) {
  RunLock lock;
  const ProgramPlace nowhere{dir / "missing", "VELDRA"};
  EXPECT_EQ(lock.Take(Set("Music", root), nowhere, 0), RunLock::Outcome::kUnavailable);
  EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
}

}  // namespace
}  // namespace veldra

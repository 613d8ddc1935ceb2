// The in-memory folder tree against the file system: the same calls on the same tree of regular
// files, folders, links and a FIFO give the same results and errors, so that tests run on the
// fake hold for the real thing.

#include "platform/folder_access.h"

#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/memory_folders.h"
#include "tests/support/temp_dir.h"

namespace veldra {
namespace {

using test::FolderOp;
using test::MemoryFolders;
using test::TempDir;

// One outcome of a call: its result and, when it failed, errno.
struct Outcome {
  int result;
  int error;
  bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Outcome& o) {
  return out << "{" << o.result << ", " << o.error << "}";
}

// The same tree on disk and in memory, and a handle on its folder in each.
class FolderAccessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::WriteFile(disk / "file", "abc");
    test::WriteFile(disk / "folder/inner", "x");
    ASSERT_EQ(symlink((disk / "file").c_str(), (disk / "link").c_str()), 0);
    ASSERT_EQ(symlink((disk / "folder").c_str(), (disk / "folder_link").c_str()), 0);
    ASSERT_EQ(symlink((disk / "missing").c_str(), (disk / "dangling").c_str()), 0);
    ASSERT_EQ(mkfifo((disk / "fifo").c_str(), 0600), 0);
    memory.AddFile("/t/file", "abc");
    memory.AddFile("/t/folder/inner", "x");
    memory.AddLink("/t/link", "/t/file");
    memory.AddLink("/t/folder_link", "/t/folder");
    memory.AddLink("/t/dangling", "/t/missing");
    memory.AddFifo("/t/fifo");
    real_dir = FolderHandle(RealFolderAccess(), RealFolderAccess().OpenFolder(disk.path()));
    memory_dir = FolderHandle(memory, memory.OpenFolder("/t/"));
    ASSERT_TRUE(real_dir.ok() && memory_dir.ok());
  }

  // Calls f on both and expects the same outcome.
  template <typename F>
  void Same(const std::string& what, F f) {
    errno = 0;
    const int real_result = f(real_dir);
    const Outcome real{real_result, real_result > 0 ? 0 : errno};
    errno = 0;
    const int memory_result = f(memory_dir);
    const Outcome fake{memory_result, memory_result > 0 ? 0 : errno};
    EXPECT_EQ(fake, real) << what;
  }

  // The entries of both folders: name, kind as listed, size, and how many hidden names.
  void SameListing(const std::string& what) {
    const auto listing = [](const FolderHandle& dir) {
      std::vector<DirEntry> entries;
      dir.access().List(dir.get(), entries, nullptr);
      std::vector<std::string> rows;
      size_t hidden = 0;
      for (const DirEntry& e : entries) {
        if (e.name.starts_with(".")) {
          ++hidden;
          continue;
        }
        rows.push_back(e.name + (e.is_folder ? " folder" : "") + (e.is_regular ? " regular" : "") +
                       (e.is_link ? " link" : "") + (e.dangling ? " dangling" : "") + " " +
                       std::to_string(e.size));
      }
      std::sort(rows.begin(), rows.end());
      rows.push_back(std::to_string(hidden) + " hidden");
      return rows;
    };
    EXPECT_EQ(listing(memory_dir), listing(real_dir)) << what;
  }

  TempDir disk;
  MemoryFolders memory;
  FolderHandle real_dir;
  FolderHandle memory_dir;
  const std::vector<std::string> names = {"file",     "link", "folder", "folder_link",
                                          "dangling", "fifo", "missing"};
};

TEST_F(FolderAccessTest, ReadsStatsAndOpensAlike) {
  SameListing("listing");
  for (const std::string& name : names) {
    Same("read " + name, [&](const FolderHandle& dir) {
      std::string bytes;
      return 1 +
             static_cast<int>(
                 dir.access().ReadRegularAt(dir.get(), name, 2, bytes, nullptr, nullptr)) +
             10 * static_cast<int>(bytes.size());
    });
    Same("stat " + name, [&](const FolderHandle& dir) {
      EntryStat st;
      return dir.access().StatAt(dir.get(), name, st) ? 1 + static_cast<int>(st.type) : 0;
    });
    for (const bool follow : {false, true}) {
      Same("open " + name + (follow ? " following" : ""), [&](const FolderHandle& dir) {
        const FolderHandle child(dir.access(), dir.access().OpenChild(dir.get(), name, follow));
        return child.ok() ? 1 : 0;
      });
    }
  }
}

TEST_F(FolderAccessTest, ReplacesEntriesWithoutWritingThroughThem) {
  for (const std::string& name : names) {
    Same("replace " + name, [&](const FolderHandle& dir) {
      std::string aside;
      FileIdentity written;
      const bool ok = dir.access().ReplaceAt(dir.get(), name, "new", &aside, &written, nullptr);
      return ok ? 1 + (aside.empty() ? 0 : 10) + (written.size == 3 ? 100 : 0) : 0;
    });
  }
  SameListing("after replacing");
  EXPECT_EQ(test::ReadFile(disk / "folder/inner"), "x");
  EXPECT_EQ(memory.Bytes("/t/folder/inner"), "x");
}

TEST_F(FolderAccessTest, RemovesCreatesAndUnlinksAlike) {
  Same("create over a file", [&](const FolderHandle& dir) {
    return dir.access().CreateAt(dir.get(), "file", "x", nullptr) ? 1 : 0;
  });
  Same("create over a dangling link", [&](const FolderHandle& dir) {
    return dir.access().CreateAt(dir.get(), "dangling", "x", nullptr) ? 1 : 0;
  });
  Same("create", [&](const FolderHandle& dir) {
    return dir.access().CreateAt(dir.get(), "new", "xy", nullptr) ? 1 : 0;
  });
  Same("unlink a folder",
       [&](const FolderHandle& dir) { return dir.access().UnlinkAt(dir.get(), "folder") ? 1 : 0; });
  Same("unlink nothing", [&](const FolderHandle& dir) {
    return dir.access().UnlinkAt(dir.get(), "missing") ? 1 : 0;
  });
  for (const std::string& name : names) {
    Same("remove " + name, [&](const FolderHandle& dir) {
      std::string aside;
      const bool ok = dir.access().RemoveAt(dir.get(), name, &aside);
      return ok ? 1 + (aside.empty() ? 0 : 10) : 0;
    });
  }
  SameListing("after removing");
}

TEST(MemoryFolders, HandlesAreNoDescriptorsAndFailuresAreInjectedByName) {
  MemoryFolders folders;
  folders.AddFile("/a/page", "p");
  const int dir = folders.OpenFolder("/a");
  ASSERT_GE(dir, 0);
  EXPECT_EQ(fcntl(dir, F_GETFD), -1);  // no descriptor of the process
  folders.faults().Fail(FolderOp::kReplace, "page", EROFS, 1);
  std::string err;
  EXPECT_FALSE(folders.ReplaceAt(dir, "page", "q", nullptr, nullptr, &err));
  EXPECT_EQ(errno, EROFS);
  EXPECT_NE(err.find(strerror(EROFS)), std::string::npos);
  EXPECT_TRUE(folders.ReplaceAt(dir, "page", "q", nullptr, nullptr, nullptr));  // once only
  EXPECT_EQ(folders.Bytes("/a/page"), "q");
  EXPECT_EQ(folders.faults().failures(), 1u);
  folders.Close(dir);
  EXPECT_EQ(folders.open_handles(), 0u);
}

}  // namespace
}  // namespace veldra

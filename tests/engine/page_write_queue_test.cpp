#include "engine/page_write_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <new>

#include "tests/engine/engine_test_util.h"
#include "tests/support/temp_dir.h"

namespace veldra {
namespace {

using test::MakeFolders;
using test::ReadFile;
using test::TempDir;

// Pages are written through handles on their folders; a folder that does not exist has none.
FolderTree& Folders() {
  static FolderTree tree(8);
  return tree;
}

FolderPageFiles Page(const std::string& folder, bool marks) {
  FolderPageFiles files;
  files.folder = folder;
  files.tree = &Folders();
  files.index = Folders().AddRoot(folder);
  files.page_name = "index.htm";
  files.snapshot_name = "index.htm.csv";
  files.page = "page of " + folder;
  files.snapshot = marks ? "snapshot" : "";
  files.marks_wanted = marks;
  return files;
}

// As many writers as removers, no readers.
RunTuning Writers(size_t threads, size_t max_queued) {
  return test::Threads(threads, threads, 0, max_queued);
}

// Writes 40 pages, every fifth into a folder that does not exist, with the given writers.
void WriteMany(size_t threads, size_t max_queued) {
  TempDir dir;
  std::vector<std::string> reported;
  std::vector<bool> written;
  {
    PageWriteQueue queue(Writers(threads, max_queued),
                         [&](const FolderPageFiles& files, const FolderPageResult& result) {
                           reported.push_back(files.folder);
                           written.push_back(result.page_written && result.snapshot_written);
                         });
    for (int i = 0; i < 40; ++i) {
      const std::string folder = dir / (std::to_string(i) + "/");
      if (i % 5 != 0) MakeFolders(folder);
      queue.Submit(Page(folder, i % 2 == 0));
    }
    queue.Finish();
    EXPECT_EQ(reported.size(), 40u);
  }
  ASSERT_EQ(reported.size(), 40u);
  for (int i = 0; i < 40; ++i) {
    const std::string folder = dir / (std::to_string(i) + "/");
    EXPECT_EQ(reported[i], folder);  // in submission order, whoever finished first
    EXPECT_EQ(written[i], i % 5 != 0) << i;
    if (i % 5 != 0) {
      EXPECT_EQ(ReadFile(folder + "index.htm"), "page of " + folder);
      EXPECT_EQ(FileExists(folder + "index.htm.csv"), i % 2 == 0);
    }
  }
}

TEST(PageWriteQueue, ReportsEveryPageInSubmissionOrder) {
  WriteMany(2, 16);
  WriteMany(4, 1);
  WriteMany(0, 16);  // no writers: written at once
}

// Pages built by the writers: each built once, written with what was built, reported in order.
TEST(PageWriteQueue, BuildsSubmittedPagesOnTheWriters) {
  for (size_t threads : {0, 2}) {
    TempDir dir;
    std::vector<std::string> reported;
    std::atomic<int> built{0};
    {
      PageWriteQueue queue(Writers(threads, 3),
                           [&](const FolderPageFiles& files, const FolderPageResult&) {
                             reported.push_back(files.folder);
                           });
      for (int i = 0; i < 20; ++i) {
        const std::string folder = dir / (std::to_string(i) + "/");
        MakeFolders(folder);
        queue.Submit([folder, &built] {
          ++built;
          return Page(folder, true);
        });
      }
    }
    EXPECT_EQ(built.load(), 20);
    ASSERT_EQ(reported.size(), 20u);
    for (int i = 0; i < 20; ++i) {
      const std::string folder = dir / (std::to_string(i) + "/");
      EXPECT_EQ(reported[i], folder);
      EXPECT_EQ(ReadFile(folder + "index.htm"), "page of " + folder);
      EXPECT_EQ(ReadFile(folder + "index.htm.csv"), "snapshot");
    }
  }
}

TEST(PageWriteQueue, DestructionWaitsForQueuedPages) {
  TempDir dir;
  size_t reported = 0;
  {
    PageWriteQueue queue(Writers(2, 8),
                         [&](const FolderPageFiles&, const FolderPageResult&) { ++reported; });
    for (int i = 0; i < 8; ++i) {
      MakeFolders(dir / (std::to_string(i) + "/"));
      queue.Submit(Page(dir / (std::to_string(i) + "/"), false));
    }
  }
  EXPECT_EQ(reported, 8u);
}

// Running out of memory while building one page fails that folder only.
TEST(PageWriteQueue, AFolderThatRunsOutOfMemoryFailsAlone) {
  for (size_t threads : {0, 2}) {
    TempDir dir;
    std::vector<std::pair<std::string, bool>> reported;
    {
      PageWriteQueue queue(Writers(threads, 4),
                           [&](const FolderPageFiles& files, const FolderPageResult& result) {
                             reported.emplace_back(files.folder, result.page_written);
                           });
      for (int i = 0; i < 6; ++i) {
        const std::string folder = dir / (std::to_string(i) + "/");
        MakeFolders(folder);
        queue.Submit(
            [folder, i]() -> FolderPageFiles {
              if (i == 2) throw std::bad_alloc();
              return Page(folder, false);
            },
            folder);
      }
      queue.Finish();
    }
    ASSERT_EQ(reported.size(), 6u);
    for (int i = 0; i < 6; ++i) {
      EXPECT_EQ(reported[i], std::make_pair(dir / (std::to_string(i) + "/"), i != 2)) << i;
    }
    EXPECT_FALSE(FileExists(dir / "2/index.htm"));
  }
}

}  // namespace
}  // namespace veldra

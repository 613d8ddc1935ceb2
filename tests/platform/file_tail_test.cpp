#include "platform/file_tail.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "tests/support/temp_dir.h"

namespace veldra {
namespace {

using test::TempDir;
using test::WriteFile;

std::string Tail(const std::vector<uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

TEST(ReadFileTail, ReadsTheLastBytesOfRegularFilesOnly) {
  TempDir dir;
  WriteFile(dir / "a", "0123456789");
  WriteFile(dir / "short", "12");
  std::filesystem::create_directory(dir / "folder");
  ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);  // no writer: open must not block
  uint8_t buffer[4] = {'k', 'e', 'p', 't'};
  ASSERT_EQ(ReadFileTail(dir / "a", 4, buffer), TailReadResult::kRead);
  EXPECT_EQ(std::string(buffer, buffer + 4), "6789");
  buffer[0] = 'k';
  EXPECT_EQ(ReadFileTail(dir / "short", 4, buffer), TailReadResult::kTooShort);
  EXPECT_EQ(ReadFileTail(dir / "missing", 4, buffer), TailReadResult::kUnreadable);
  EXPECT_EQ(ReadFileTail(dir / "folder", 4, buffer), TailReadResult::kUnreadable);
  EXPECT_EQ(ReadFileTail(dir / "pipe", 4, buffer), TailReadResult::kUnreadable);
  EXPECT_EQ(buffer[0], 'k');  // untouched unless read
}

// More files than one batch opens at once, every kind mixed in, each result in its own place.
TEST(ReadFileTails, GivesWhatReadFileTailGivesForEveryFileOfLargeBatches) {
  TempDir dir;
  std::filesystem::create_directory(dir / "folder");
  ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
  std::vector<FileTail> files;
  for (size_t i = 0; i < kTailBatch * 2 + 5; ++i) {
    FileTail tail;
    tail.bytes = {9, 9};  // stale bytes a reused record may carry
    switch (i % 5) {
      case 0:
        tail.path = dir / "folder";
        break;
      case 1:
        tail.path = dir / "pipe";
        break;
      case 2:
        tail.path = dir / ("missing" + std::to_string(i));
        break;
      default:
        tail.path = dir / ("f" + std::to_string(i));
        WriteFile(tail.path,
                  std::string(i % 5 == 3 ? 2 : 100, 'x') + "tail" + std::to_string(i % 10));
    }
    files.push_back(std::move(tail));
  }
  ReadFileTails(files, 5);
  for (size_t i = 0; i < files.size(); ++i) {
    uint8_t buffer[5];
    const TailReadResult alone = ReadFileTail(files[i].path, 5, buffer);
    ASSERT_EQ(files[i].result, alone) << i;
    if (alone == TailReadResult::kRead) {
      EXPECT_EQ(Tail(files[i].bytes), std::string(buffer, buffer + 5)) << i;
      EXPECT_EQ(Tail(files[i].bytes), "tail" + std::to_string(i % 10)) << i;
    } else {
      EXPECT_TRUE(files[i].bytes.empty()) << i;
    }
  }
  EXPECT_EQ(files[3].result, TailReadResult::kRead);
  EXPECT_EQ(files[4].result, TailReadResult::kRead);
}

// Files pushed out of the cache are read by the reader threads: every tail still in its place.
TEST(ReadFileTails, ReadsTailsTheCacheDoesNotHold) {
  TempDir dir;
  std::vector<FileTail> files;
  for (int i = 0; i < 150; ++i) {
    const std::string path = dir / ("f" + std::to_string(i));
    WriteFile(path, std::string(5000 + i, 'x') + "end" + std::to_string(i % 10));
    const int fd = open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    fsync(fd);  // clean pages can be dropped
    posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    close(fd);
    files.push_back(FileTail{path, {}, {}});
  }
  files.push_back(FileTail{dir / "missing", {}, {}});
  ReadFileTails(files, 4);
  for (int i = 0; i < 150; ++i) {
    ASSERT_EQ(files[i].result, TailReadResult::kRead) << i;
    EXPECT_EQ(Tail(files[i].bytes), "end" + std::to_string(i % 10)) << i;
  }
  EXPECT_EQ(files.back().result, TailReadResult::kUnreadable);
}

}  // namespace
}  // namespace veldra

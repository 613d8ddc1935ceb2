#include "platform/file_tail.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/read_pool.h"
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

// More files than one batch opens at once, every kind mixed in, each result in its own place;
// given as paths, and as names within the folder with the sizes a listing gives.
TEST(ReadFileTails, GivesWhatReadFileTailGivesForEveryFileOfLargeBatches) {
  TempDir dir;
  std::filesystem::create_directory(dir / "folder");
  ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
  std::vector<std::string> names;
  for (size_t i = 0; i < kTailBatch * 2 + 5; ++i) {
    switch (i % 5) {
      case 0:
        names.push_back("folder");
        break;
      case 1:
        names.push_back("pipe");
        break;
      case 2:
        names.push_back("missing" + std::to_string(i));
        break;
      default:
        names.push_back("f" + std::to_string(i));
        WriteFile(dir / names.back(),
                  std::string(i % 5 == 3 ? 2 : 100, 'x') + "tail" + std::to_string(i % 10));
    }
  }
  for (const bool listed : {false, true}) {
    std::vector<FileTail> files;
    for (const std::string& name : names) {
      FileTail tail;
      tail.bytes = {9, 9};  // stale bytes a reused record may carry
      tail.name = listed ? name : dir / name;
      struct stat st;
      // A listing gives folders and FIFOs size 0; a file gone since was listed all the same.
      if (listed)
        tail.listed_size = stat((dir / name).c_str(), &st) == 0 && S_ISREG(st.st_mode)
                               ? st.st_size
                               : (name.starts_with("missing") ? 500 : 0);
      files.push_back(std::move(tail));
    }
    ReadFileTails(listed ? dir.path() : "", files, 5);
    for (size_t i = 0; i < files.size(); ++i) {
      uint8_t buffer[5];
      TailReadResult alone = ReadFileTail(dir / names[i], 5, buffer);
      // Without opening it, a listed folder or FIFO is as short as its listed size.
      if (listed && (i % 5 == 0 || i % 5 == 1)) alone = TailReadResult::kTooShort;
      ASSERT_EQ(files[i].result, alone) << i << " listed " << listed;
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
}

// A file that shrank since it was listed is unreadable, never read at the wrong place.
TEST(ReadFileTails, AFileShorterThanListedIsUnreadable) {
  TempDir dir;
  WriteFile(dir / "a", "0123456789");
  std::vector<FileTail> files = {FileTail{"a", 20, {}, {}}, FileTail{"a", 10, {}, {}}};
  ReadFileTails(dir.path(), files, 4);
  EXPECT_EQ(files[0].result, TailReadResult::kUnreadable);
  EXPECT_TRUE(files[0].bytes.empty());
  ASSERT_EQ(files[1].result, TailReadResult::kRead);
  EXPECT_EQ(Tail(files[1].bytes), "6789");
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
    files.push_back(FileTail{path, -1, {}, {}});
  }
  files.push_back(FileTail{dir / "missing", -1, {}, {}});
  ReadPool pool(4);
  ReadFileTails("", files, 4, &pool);
  for (int i = 0; i < 150; ++i) {
    ASSERT_EQ(files[i].result, TailReadResult::kRead) << i;
    EXPECT_EQ(Tail(files[i].bytes), "end" + std::to_string(i % 10)) << i;
  }
  EXPECT_EQ(files.back().result, TailReadResult::kUnreadable);
}

// Within a folder of the tree a name is read through a link only when the walk allowed the link,
// and then only when it still leads to the file listed.
TEST(ReadFileTailsAt, FollowsOnlyAllowedLinksToTheListedFile) {
  TempDir dir;
  WriteFile(dir / "secret", "0123456789");
  WriteFile(dir / "tree/own.mp3", "abcdefghij");
  std::filesystem::create_symlink(dir / "secret", dir / "tree/link.mp3");
  struct stat st;
  ASSERT_EQ(stat((dir / "secret").c_str(), &st), 0);
  const uint64_t dev = st.st_dev, ino = st.st_ino;
  const int fd = open((dir / "tree").c_str(), O_RDONLY | O_DIRECTORY);
  std::vector<FileTail> files = {
      {"own.mp3", 10, {}, {}, false, 0, 0},           // a file: read
      {"link.mp3", 10, {}, {}, false, 0, 0},          // a link not allowed (or swapped in)
      {"link.mp3", 10, {}, {}, true, dev, ino},       // an allowed link to the listed file
      {"link.mp3", 10, {}, {}, true, dev, ino + 1}};  // an allowed link, now elsewhere
  ReadFileTailsAt(fd, files, 4);
  close(fd);
  EXPECT_EQ(files[0].result, TailReadResult::kRead);
  EXPECT_EQ(Tail(files[0].bytes), "ghij");
  EXPECT_EQ(files[1].result, TailReadResult::kUnreadable);
  EXPECT_EQ(files[2].result, TailReadResult::kRead);
  EXPECT_EQ(Tail(files[2].bytes), "6789");
  EXPECT_EQ(files[3].result, TailReadResult::kUnreadable);
}

}  // namespace
}  // namespace veldra

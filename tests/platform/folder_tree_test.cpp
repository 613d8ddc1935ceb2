// Writes within a folder handle: nothing leaves the folder the walk listed, whatever is swapped
// in under our names or in place of the folder itself.
#include "platform/folder_tree.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/file_system.h"
#include "platform/text_file.h"
#include "tests/support/temp_dir.h"

namespace veldra {
namespace {

using test::MakeFolders;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

FolderId IdOf(const std::string& path) {
  struct stat st;
  EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
  return FolderId{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

mode_t LinkMode(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 ? st.st_mode : 0;
}

TEST(FolderTree, ReopensFromTheNearestAncestorAndRefusesASwappedFolder) {
  TempDir dir;
  MakeFolders(dir / "root/a/b/c");
  MakeFolders(dir / "elsewhere/b/c");
  FolderTree tree(2);  // so every Open below has to reopen a chain
  const size_t root = tree.AddRoot(dir / "root/");
  const size_t a = tree.Add(root, "a", IdOf(dir / "root/a"), false);
  const size_t b = tree.Add(a, "b", IdOf(dir / "root/a/b"), false);
  const size_t c = tree.Add(b, "c", IdOf(dir / "root/a/b/c"), false);
  {
    const ScopedFd fd(tree.Open(c));
    ASSERT_TRUE(fd.ok());
    ASSERT_TRUE(ReplaceFileAt(fd.get(), "index.htm", "page"));
  }
  EXPECT_EQ(ReadFile(dir / "root/a/b/c/index.htm"), "page");
  tree.CloseAll();

  // b swapped for a link to a look-alike: c is no longer reachable as listed.
  std::filesystem::rename(dir / "root/a/b", dir / "root/a/b-old");
  std::filesystem::create_directory_symlink(dir / "elsewhere/b", dir / "root/a/b");
  EXPECT_LT(tree.Open(c), 0);
  EXPECT_LT(tree.Open(b), 0);
  // Even a real folder put in its place is not the one listed.
  std::filesystem::remove(dir / "root/a/b");
  MakeFolders(dir / "root/a/b/c");
  EXPECT_LT(tree.Open(c), 0);
  const ScopedFd still_a(tree.Open(a));
  EXPECT_TRUE(still_a.ok());
  EXPECT_FALSE(std::filesystem::exists(dir / "elsewhere/b/c/index.htm"));
}

TEST(FolderTree, FollowsOnlyTheLinksTheWalkFollowed) {
  TempDir dir;
  MakeFolders(dir / "root");
  MakeFolders(dir / "disk2/music");
  std::filesystem::create_directory_symlink(dir / "disk2/music", dir / "root/music");
  FolderTree tree(2);
  const size_t root = tree.AddRoot(dir / "root/");
  const FolderId id = IdOf(dir / "disk2/music");
  const size_t as_link = tree.Add(root, "music", id, true);
  const size_t as_folder = tree.Add(root, "music", id, false);
  const ScopedFd linked(tree.Open(as_link));
  EXPECT_TRUE(linked.ok());
  EXPECT_LT(tree.Open(as_folder), 0);
}

TEST(ReplaceFileAt, ReplacesALinkItselfNeverItsTarget) {
  TempDir dir;
  MakeFolders(dir / "tree");
  WriteFile(dir / "authorized_keys", "keys");
  chmod((dir / "authorized_keys").c_str(), 0600);
  std::filesystem::create_symlink(dir / "authorized_keys", dir / "tree/index.htm");
  mkfifo((dir / "tree/index.htm.csv").c_str(), 0644);
  const ScopedFd fd(open((dir / "tree").c_str(), O_RDONLY | O_DIRECTORY));
  std::string aside;
  FileIdentity written;
  ASSERT_TRUE(ReplaceFileAt(fd.get(), "index.htm", "page", &aside, &written));
  EXPECT_TRUE(aside.empty());  // only a regular file is set aside
  ASSERT_TRUE(ReplaceFileAt(fd.get(), "index.htm.csv", "snapshot"));
  EXPECT_EQ(ReadFile(dir / "authorized_keys"), "keys");
  EXPECT_TRUE(S_ISREG(LinkMode(dir / "tree/index.htm")));
  EXPECT_TRUE(S_ISREG(LinkMode(dir / "tree/index.htm.csv")));
  EXPECT_EQ(ReadFile(dir / "tree/index.htm"), "page");
  struct stat st;
  ASSERT_EQ(stat((dir / "tree/index.htm").c_str(), &st), 0);
  EXPECT_EQ(written,
            (FileIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino), 4,
                          FileTime{st.st_mtim.tv_sec, static_cast<int32_t>(st.st_mtim.tv_nsec)}}));
}

TEST(ReplaceFileAt, NewModeEveryTimeAndAFolderIsNeverReplaced) {
  TempDir dir;
  WriteFile(dir / "index.htm", "planted");
  chmod((dir / "index.htm").c_str(), 0);
  MakeFolders(dir / "index.htm.csv/inner");
  const mode_t mask = umask(022);
  const ScopedFd fd(open(dir.path().c_str(), O_RDONLY | O_DIRECTORY));
  EXPECT_TRUE(ReplaceFileAt(fd.get(), "index.htm", "page"));
  std::string err;
  EXPECT_FALSE(ReplaceFileAt(fd.get(), "index.htm.csv", "snap", nullptr, nullptr, &err));
  EXPECT_TRUE(RemoveFileAt(fd.get(), "index.htm.csv"));  // no file there; the folder stays
  umask(mask);
  EXPECT_EQ(LinkMode(dir / "index.htm") & 07777, 0644u);
  EXPECT_TRUE(std::filesystem::is_directory(dir / "index.htm.csv/inner"));
  // Nothing but the page and the folder: no temporary file stays behind.
  size_t entries = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++entries;
  EXPECT_EQ(entries, 2u);
}

TEST(RemoveFileAt, RemovesALinkNotWhatItLeadsTo) {
  TempDir dir;
  WriteFile(dir / "target", "keep");
  MakeFolders(dir / "tree");
  std::filesystem::create_symlink(dir / "target", dir / "tree/index.htm.csv");
  const ScopedFd fd(open((dir / "tree").c_str(), O_RDONLY | O_DIRECTORY));
  std::string aside;
  EXPECT_TRUE(RemoveFileAt(fd.get(), "index.htm.csv", &aside));
  EXPECT_TRUE(aside.empty());
  EXPECT_EQ(ReadFile(dir / "target"), "keep");
  EXPECT_FALSE(
      std::filesystem::exists(std::filesystem::symlink_status(dir / "tree/index.htm.csv")));
}

TEST(ReadRegularFileAt, NeverFollowsBlocksOrReadsPastTheCap) {
  TempDir dir;
  WriteFile(dir / "target", "secret");
  std::filesystem::create_symlink(dir / "target", dir / "link");
  std::filesystem::create_symlink("/dev/zero", dir / "zero");
  mkfifo((dir / "fifo").c_str(), 0644);
  WriteFile(dir / "big", std::string(100, 'x'));
  const ScopedFd fd(open(dir.path().c_str(), O_RDONLY | O_DIRECTORY));
  std::string bytes;
  EXPECT_EQ(ReadRegularFileAt(fd.get(), "link", 1000, bytes), RegularReadResult::kNotRegular);
  EXPECT_EQ(ReadRegularFileAt(fd.get(), "zero", 1000, bytes), RegularReadResult::kNotRegular);
  EXPECT_EQ(ReadRegularFileAt(fd.get(), "fifo", 1000, bytes), RegularReadResult::kNotRegular);
  EXPECT_EQ(ReadRegularFileAt(fd.get(), "none", 1000, bytes), RegularReadResult::kMissing);
  bool truncated = false;
  EXPECT_EQ(ReadRegularFileAt(fd.get(), "big", 40, bytes, &truncated), RegularReadResult::kRead);
  EXPECT_EQ(bytes, std::string(40, 'x'));
  EXPECT_TRUE(truncated);
  // A file that is not the one expected (here: another size) is not read.
  FileIdentity other;
  ASSERT_EQ(ReadRegularFileAt(fd.get(), "target", 1000, bytes), RegularReadResult::kRead);
  EXPECT_EQ(ReadRegularFileAt(fd.get(), "target", 1000, bytes, nullptr, &other),
            RegularReadResult::kNotRegular);
}

// Only a regular file of ours with a replace's mode and the same bytes counts as the same; the
// ignored span may hold another text of its line, never a line break or more than the cap.
TEST(HoldsSameBytesAt, ComparesEveryByteButTheIgnoredSpan) {
  TempDir dir;
  const ScopedFd fd(open(dir.path().c_str(), O_RDONLY | O_DIRECTORY));
  const std::string page = "head\r\ndate = 2026/12/07 10:00 [ n ]\r\nrows\r\n";
  const size_t at = page.find("2026");
  const ByteSpan date{at, at + 16};
  const auto plant = [&](const std::string& name, const std::string& bytes) {
    ASSERT_TRUE(ReplaceFileAt(fd.get(), name, bytes));
  };
  plant("same", page);
  FileIdentity id;
  EXPECT_TRUE(HoldsSameBytesAt(fd.get(), "same", page, {}, &id));
  EXPECT_EQ(id, IdentityOf(ScopedFd(openat(fd.get(), "same", O_RDONLY)).get()));
  plant("other_date", "head\r\ndate = 1999/1/2 3:04 [ n ]\r\nrows\r\n");
  EXPECT_FALSE(HoldsSameBytesAt(fd.get(), "other_date", page));
  EXPECT_TRUE(HoldsSameBytesAt(fd.get(), "other_date", page, date));
  // A byte outside the span, a line break or an overlong text inside it: not the same.
  plant("other_count", "head\r\ndate = 2026/12/07 10:00 [ m ]\r\nrows\r\n");
  EXPECT_FALSE(HoldsSameBytesAt(fd.get(), "other_count", page, date));
  plant("break", "head\r\ndate = 2026/12/07\r\n10:00 [ n ]\r\nrows\r\n");
  EXPECT_FALSE(HoldsSameBytesAt(fd.get(), "break", page, date));
  plant("long", "head\r\ndate = " + std::string(kIgnoredSpanMax + 1, '9') + " [ n ]\r\nrows\r\n");
  EXPECT_FALSE(HoldsSameBytesAt(fd.get(), "long", page, date));
  plant("short", "head\r\n");
  EXPECT_FALSE(HoldsSameBytesAt(fd.get(), "short", page, date));
  EXPECT_FALSE(HoldsSameBytesAt(fd.get(), "missing", page, date));

  // The same bytes, but not plainly ours: another mode, a link, a FIFO.
  plant("mode", page);
  ASSERT_EQ(fchmodat(fd.get(), "mode", 0600, 0), 0);
  EXPECT_FALSE(HoldsSameBytesAt(fd.get(), "mode", page));
  std::filesystem::create_symlink(dir / "same", dir / "link");
  EXPECT_FALSE(HoldsSameBytesAt(fd.get(), "link", page));
  mkfifo((dir / "fifo").c_str(), 0666 & ~umask(umask(0)));
  EXPECT_FALSE(HoldsSameBytesAt(fd.get(), "fifo", page));
}

TEST(TemporaryName, ExactFormOnly) {
  EXPECT_TRUE(IsTemporaryNameOf(".index.htm.tmp-abcd1234", "index.htm"));
  EXPECT_TRUE(IsTemporaryNameOf(".index.htm.csv.tmp-0z9y8x7w", "index.htm.csv"));
  EXPECT_FALSE(IsTemporaryNameOf(".index.htm.tmp-ABCD1234", "index.htm"));
  EXPECT_FALSE(IsTemporaryNameOf(".index.htm.tmp-abcd123", "index.htm"));
  EXPECT_FALSE(IsTemporaryNameOf(".index.htm.tmp-abcd-234", "index.htm"));
  EXPECT_FALSE(IsTemporaryNameOf(".index.htm.tmp-abcd1234", "index.htm.csv"));
  const std::string long_name(250, 'n');
  EXPECT_TRUE(IsTemporaryNameOf("." + long_name.substr(0, 200) + ".tmp-00000000", long_name));
  EXPECT_FALSE(IsTemporaryNameOf("..tmp-abcd1234", ""));
}

// Every name a replace makes is recognised as made for its target, and gives it back (cut).
TEST(TemporaryName, MadeNamesAreRecognised) {
  const std::string long_name(250, 'n');
  for (const std::string& target :
       std::vector<std::string>{"index.htm", "index.htm.tmp-abcd1234", "a", long_name}) {
    for (const uint64_t draw : {uint64_t{0}, uint64_t{35}, ~uint64_t{0}}) {
      const std::string name = TemporaryNameOf(target, draw);
      EXPECT_TRUE(IsTemporaryNameOf(name, target)) << name;
      EXPECT_EQ(TemporaryNameTarget(name), std::string_view(target).substr(0, 200)) << name;
      EXPECT_FALSE(IsTemporaryNameOf(name, "x" + target)) << name;
    }
  }
  EXPECT_EQ(TemporaryNameOf("p", 1), ".p.tmp-10000000");
  EXPECT_EQ(TemporaryNameTarget("index.htm"), "");
  EXPECT_EQ(TemporaryNameTarget(".tmp-abcd1234"), "");
}

}  // namespace
}  // namespace veldra

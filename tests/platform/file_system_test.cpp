#include "platform/file_system.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "tests/support/temp_dir.h"

namespace veldra {
namespace {

using test::MakeFolders;
using test::TempDir;
using test::WriteFile;

const DirEntry* Find(const std::vector<DirEntry>& entries, const std::string& name) {
  for (const DirEntry& e : entries)
    if (e.name == name) return &e;
  return nullptr;
}

std::vector<std::string> Sorted(std::vector<std::string> names) {
  std::sort(names.begin(), names.end());
  return names;
}

TEST(ListFolder, GivesFolderFlagSizeAndTime) {
  TempDir dir;
  WriteFile(dir / "song.mp3", "12345");
  WriteFile(dir / ".hidden", "");
  MakeFolders(dir / "sub/");
  WriteFile(dir / "name\xFF.txt", "x");  // not valid UTF-8: listed as its bytes
  const std::string song = dir / "song.mp3";
  struct timespec times[2] = {{0, UTIME_OMIT}, {946749845, 123456789}};
  ASSERT_EQ(utimensat(AT_FDCWD, song.c_str(), times, 0), 0);

  std::vector<DirEntry> entries;
  ASSERT_TRUE(ListFolder(dir.path(), entries));
  ASSERT_EQ(entries.size(), 4u);
  const DirEntry* e = Find(entries, "song.mp3");
  ASSERT_NE(e, nullptr);
  EXPECT_FALSE(e->is_folder);
  EXPECT_EQ(e->size, 5);
  EXPECT_EQ(e->modified, (FileTime{946749845, 123456789}));
  ASSERT_NE(Find(entries, ".hidden"), nullptr);
  ASSERT_NE(Find(entries, "name\xFF.txt"), nullptr);
  e = Find(entries, "sub");
  ASSERT_NE(e, nullptr);
  EXPECT_TRUE(e->is_folder);
  EXPECT_EQ(e->size, 0);

  FolderId id;
  FileTime modified;
  ASSERT_TRUE(StatFolder(dir / "sub/", id, modified));
  EXPECT_EQ(id, e->id);
  EXPECT_EQ(modified, e->modified);
  EXPECT_FALSE(StatFolder(song, id, modified));
}

TEST(ListFolder, SizesBeyondFourGibibytes) {
  TempDir dir;
  const std::string big = dir / "big.bin";
  const int fd = open(big.c_str(), O_CREAT | O_WRONLY, 0644);
  ASSERT_GE(fd, 0);
  const int64_t size = (int64_t{5} << 30) + 7;  // sparse: takes no disk space
  const bool grown = ftruncate(fd, size) == 0;
  close(fd);
  if (!grown) GTEST_SKIP() << "file system refuses a 5 GiB file";
  std::vector<DirEntry> entries;
  ASSERT_TRUE(ListFolder(dir.path(), entries));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].size, size);
}

TEST(ListFolder, FollowsLinksAndListsBrokenOnes) {
  TempDir dir;
  MakeFolders(dir / "real/");
  WriteFile(dir / "real/f.txt", "abc");
  ASSERT_EQ(symlink("real", (dir / "to_folder").c_str()), 0);
  ASSERT_EQ(symlink("real/f.txt", (dir / "to_file").c_str()), 0);
  ASSERT_EQ(symlink("nowhere/at/all", (dir / "dangling").c_str()), 0);
  ASSERT_EQ(symlink("loop_b", (dir / "loop_a").c_str()), 0);
  ASSERT_EQ(symlink("loop_a", (dir / "loop_b").c_str()), 0);
  ASSERT_EQ(symlink("..", (dir / "real/up").c_str()), 0);  // leads back up the tree

  std::vector<DirEntry> entries;
  ASSERT_TRUE(ListFolder(dir.path(), entries));
  EXPECT_EQ(entries.size(), 6u);
  const DirEntry* real = Find(entries, "real");
  const DirEntry* link = Find(entries, "to_folder");
  ASSERT_TRUE(real && link);
  EXPECT_TRUE(link->is_folder);
  EXPECT_EQ(link->id, real->id);  // the target's identity, so a walk can spot a folder seen before
  const DirEntry* file = Find(entries, "to_file");
  ASSERT_NE(file, nullptr);
  EXPECT_FALSE(file->is_folder);
  EXPECT_EQ(file->size, 3);
  for (const char* name : {"dangling", "loop_a", "loop_b"}) {
    const DirEntry* e = Find(entries, name);
    ASSERT_NE(e, nullptr) << name;
    EXPECT_FALSE(e->is_folder) << name;
    EXPECT_EQ(e->size, 0) << name;  // not the length of the link's text
    EXPECT_GT(e->modified.seconds, 0) << name;
  }

  ASSERT_TRUE(ListFolder(dir / "real/", entries));
  const DirEntry* up = Find(entries, "up");
  ASSERT_NE(up, nullptr);
  EXPECT_TRUE(up->is_folder);
  FolderId top;
  FileTime modified;
  ASSERT_TRUE(StatFolder(dir.path(), top, modified));
  EXPECT_EQ(up->id, top);
}

TEST(ListFolder, FailsOnMissingFolderOrFile) {
  TempDir dir;
  WriteFile(dir / "file", "x");
  std::vector<DirEntry> entries{DirEntry{}};
  std::string err;
  EXPECT_FALSE(ListFolder(dir / "missing/", entries, &err));
  EXPECT_TRUE(entries.empty());
  EXPECT_NE(err.find("missing"), std::string::npos);
  EXPECT_FALSE(ListFolder(dir / "file", entries));
}

TEST(ListFolder, ManyLevelsDoNotKeepFoldersOpen) {
  // Listing closes each folder before returning, so a deep walk holds no handles.
  TempDir dir;
  std::string path = dir.path();
  for (int i = 0; i < 50; ++i) path += "d/";
  MakeFolders(path);
  std::string folder = dir.path();
  const int before = dup(0);
  close(before);
  std::vector<DirEntry> entries;
  for (int i = 0; i < 50; ++i) {
    ASSERT_TRUE(ListFolder(folder, entries));
    ASSERT_EQ(entries.size(), 1u);
    folder += "d/";
  }
  const int after = dup(0);
  close(after);
  EXPECT_EQ(after, before);
}

TEST(FileOps, ExistenceDeletionAndTimes) {
  TempDir dir;
  WriteFile(dir / "f.txt", "x");
  MakeFolders(dir / "sub/");
  ASSERT_EQ(symlink("f.txt", (dir / "link").c_str()), 0);
  EXPECT_TRUE(FileExists(dir / "f.txt"));
  EXPECT_TRUE(FileExists(dir / "link"));
  EXPECT_FALSE(FileExists(dir / "sub"));
  EXPECT_FALSE(FileExists(dir / "nothing"));
  EXPECT_TRUE(FolderExists(dir / "sub/"));
  EXPECT_FALSE(FolderExists(dir / "f.txt"));

  const FileTime old{1000000000, 500};
  ASSERT_TRUE(RestoreModifiedTime(dir / "sub/", old));
  FolderId id;
  FileTime modified;
  ASSERT_TRUE(StatFolder(dir / "sub/", id, modified));
  EXPECT_EQ(modified, old);
  EXPECT_FALSE(RestoreModifiedTime(dir / "nothing", old));

  EXPECT_TRUE(DeleteFile(dir / "f.txt"));
  EXPECT_FALSE(FileExists(dir / "f.txt"));
  EXPECT_FALSE(DeleteFile(dir / "f.txt"));
  EXPECT_FALSE(DeleteFile(dir / "sub"));
  EXPECT_TRUE(FolderExists(dir / "sub"));
}

TEST(Wildcard, MatchesWithoutRegardToCase) {
  EXPECT_TRUE(WildcardMatch("index00001.htm", "index*.htm"));
  EXPECT_TRUE(WildcardMatch("INDEX.HTM", "index*.htm"));
  EXPECT_TRUE(WildcardMatch("Index.Htm", "INDEX*.HTM"));
  EXPECT_FALSE(WildcardMatch("index.html", "index*.htm"));
  EXPECT_FALSE(WildcardMatch("myindex.htm", "index*.htm"));
  EXPECT_TRUE(WildcardMatch("a.b.c", "*.c"));
  EXPECT_TRUE(WildcardMatch("abcabd", "*abd"));  // the "*" must give back what it took
  EXPECT_TRUE(WildcardMatch("", "*"));
  EXPECT_FALSE(WildcardMatch("", "?"));
  EXPECT_TRUE(WildcardMatch("x", "**?**"));
  // "?" takes one character, not one byte; full-width letters fold too.
  EXPECT_TRUE(WildcardMatch("曲.ini", "?.ini"));
  EXPECT_FALSE(WildcardMatch("曲曲.ini", "?.ini"));
  EXPECT_TRUE(WildcardMatch("ＡＢＣ.ini", "ａｂｃ.*"));
  EXPECT_TRUE(WildcardMatch("a\xFF.ini", "a?.ini"));  // a byte that is not UTF-8 is one unit
}

TEST(Wildcard, ListsOnlyMatchingOrdinaryFiles) {
  TempDir dir;
  WriteFile(dir / "VELDRA.ini", "");
  WriteFile(dir / "other.INI", "");
  WriteFile(dir / "notes.txt", "");
  WriteFile(dir / "ini", "");
  MakeFolders(dir / "folder.ini/");
  ASSERT_EQ(symlink("VELDRA.ini", (dir / "linked.ini").c_str()), 0);
  ASSERT_EQ(symlink("gone", (dir / "dangling.ini").c_str()), 0);
  EXPECT_EQ(Sorted(ListMatchingFiles(dir.path(), "*.ini")),
            (std::vector<std::string>{"VELDRA.ini", "linked.ini", "other.INI"}));
  EXPECT_TRUE(ListMatchingFiles(dir / "missing/", "*").empty());
}

}  // namespace
}  // namespace veldra

#include "platform/text_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "tests/support/temp_dir.h"

namespace veldra {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

mode_t ModeOf(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

std::vector<std::string> FolderNames(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(SplitLines, LineEnds) {
  using Lines = std::vector<std::string>;
  EXPECT_EQ(SplitLines(""), Lines{});
  EXPECT_EQ(SplitLines("a"), Lines{"a"});
  EXPECT_EQ(SplitLines("a\r\nb\nc"), (Lines{"a", "b", "c"}));
  EXPECT_EQ(SplitLines("a\r\n"), Lines{"a"});
  EXPECT_EQ(SplitLines("\n\r\n"), (Lines{"", ""}));
  // A lone CR is no line end, and only the CR just before LF belongs to the end.
  EXPECT_EQ(SplitLines("a\rb\r\r\n"), Lines{"a\rb\r"});
}

TEST(TextFile, ReadsCp932LinesAndWritesCrLf) {
  TempDir dir;
  WriteFile(dir / "t.txt", "\x93\xFA\x96\x7B\r\ncaf&#233;\nlast");
  std::vector<std::string> lines;
  ASSERT_TRUE(ReadTextLines(dir / "t.txt", Cp932Escape::kRoundTrip, lines));
  EXPECT_EQ(lines, (std::vector<std::string>{"日本", "café", "last"}));

  std::string err;
  EXPECT_FALSE(ReadTextLines(dir / "missing.txt", Cp932Escape::kHtml, lines, &err));
  EXPECT_TRUE(lines.empty());
  EXPECT_NE(err.find("missing.txt"), std::string::npos);

  std::string out;
  AppendCp932Line(out, "日本", Cp932Escape::kHtml);
  AppendCp932Line(out, "", Cp932Escape::kHtml);
  EXPECT_EQ(out, "\x93\xFA\x96\x7B\r\n\r\n");
}

TEST(TextFile, ReadFileBytesKeepsEveryByte) {
  TempDir dir;
  std::string all;
  for (int i = 0; i < 200000; ++i) all += static_cast<char>(i * 7 % 256);
  WriteFile(dir / "bin", all);
  std::string bytes;
  ASSERT_TRUE(ReadFileBytes(dir / "bin", bytes));
  EXPECT_EQ(bytes, all);
  EXPECT_FALSE(ReadFileBytes(dir.path(), bytes));  // a folder is no file
}

TEST(CreateNewFile, NeverTouchesAnExistingFile) {
  TempDir dir;
  ASSERT_TRUE(CreateNewFile(dir / "new.txt", "one"));
  EXPECT_EQ(ReadFile(dir / "new.txt"), "one");
  const mode_t mask = umask(0);
  umask(mask);
  EXPECT_EQ(ModeOf(dir / "new.txt"), 0666 & ~mask);
  std::string err;
  EXPECT_FALSE(CreateNewFile(dir / "new.txt", "two", &err));
  EXPECT_EQ(ReadFile(dir / "new.txt"), "one");
  EXPECT_FALSE(err.empty());
}

TEST(ReplaceFile, ReplacesContentAndKeepsTheOldMode) {
  TempDir dir;
  const std::string page = dir / "index.htm";
  WriteFile(page, "old content that is longer");
  ASSERT_EQ(chmod(page.c_str(), 0644), 0);
  ASSERT_TRUE(ReplaceFile(page, "new"));
  EXPECT_EQ(ReadFile(page), "new");
  EXPECT_EQ(ModeOf(page), 0644u);

  ASSERT_EQ(chmod(page.c_str(), 0604), 0);
  ASSERT_TRUE(ReplaceFile(page, "newer"));
  EXPECT_EQ(ModeOf(page), 0604u);
  EXPECT_EQ(FolderNames(dir.path()), std::vector<std::string>{"index.htm"});
}

TEST(ReplaceFile, NewFileGetsDefaultModeLessUmask) {
  TempDir dir;
  const mode_t mask = umask(0);
  umask(mask);
  ASSERT_TRUE(ReplaceFile(dir / "fresh.htm", "x"));
  // Never the temporary file's 0600: the page must stay readable by the web server.
  EXPECT_EQ(ModeOf(dir / "fresh.htm"), 0666 & ~mask);
  EXPECT_EQ(ReadFile(dir / "fresh.htm"), "x");
}

TEST(ReplaceFile, FailureLeavesNoTemporaryFile) {
  TempDir dir;
  test::MakeFolders(dir / "sub/");
  WriteFile(dir / "sub/keep", "k");
  std::string err;
  // The target is a folder: the rename fails and the folder is left as it was.
  EXPECT_FALSE(ReplaceFile(dir / "sub", "data", &err));
  EXPECT_FALSE(err.empty());
  EXPECT_EQ(FolderNames(dir.path()), std::vector<std::string>{"sub"});
  EXPECT_EQ(FolderNames(dir / "sub"), std::vector<std::string>{"keep"});
  // A folder that does not exist.
  EXPECT_FALSE(ReplaceFile(dir / "none/page.htm", "data"));
  EXPECT_FALSE(ReplaceFile(dir.path(), "data"));
}

TEST(ReplaceFile, FailureInReadOnlyFolderKeepsOldContent) {
  if (geteuid() == 0) GTEST_SKIP() << "root ignores folder permissions";
  TempDir dir;
  const std::string page = dir / "ro/index.htm";
  WriteFile(page, "old");
  ASSERT_EQ(chmod((dir / "ro").c_str(), 0555), 0);
  EXPECT_FALSE(ReplaceFile(page, "new"));
  EXPECT_EQ(ReadFile(page), "old");
  EXPECT_EQ(FolderNames(dir / "ro"), std::vector<std::string>{"index.htm"});
}

TEST(ReplaceFile, LinkToAFileStaysALink) {
  TempDir dir;
  WriteFile(dir / "real/set.ini", "old");
  ASSERT_EQ(chmod((dir / "real/set.ini").c_str(), 0640), 0);
  test::MakeFolders(dir / "program/");
  ASSERT_EQ(symlink("../real/set.ini", (dir / "program/set.ini").c_str()), 0);
  ASSERT_TRUE(ReplaceFile(dir / "program/set.ini", "new"));
  struct stat st;
  ASSERT_EQ(lstat((dir / "program/set.ini").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(ReadFile(dir / "real/set.ini"), "new");
  EXPECT_EQ(ModeOf(dir / "real/set.ini"), 0640u);
  EXPECT_EQ(FolderNames(dir / "real"), std::vector<std::string>{"set.ini"});
  // A dangling link is replaced by the new file itself.
  ASSERT_EQ(symlink("gone", (dir / "program/dangling").c_str()), 0);
  ASSERT_TRUE(ReplaceFile(dir / "program/dangling", "d"));
  ASSERT_EQ(lstat((dir / "program/dangling").c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
}

TEST(ReplaceFile, LongNameStillGetsATemporaryFile) {
  TempDir dir;
  const std::string name(250, 'n');
  ASSERT_TRUE(ReplaceFile(dir / name, "long"));
  EXPECT_EQ(ReadFile(dir / name), "long");
  EXPECT_EQ(FolderNames(dir.path()), std::vector<std::string>{name});
}

}  // namespace
}  // namespace veldra

namespace veldra {
namespace {

// The old file stays whole under its hidden name until the caller deletes it.
TEST(ReplaceFileAt, KeepsTheOldFileUnderAHiddenName) {
  TempDir dir;
  WriteFile(dir / "page.htm", "old");
  const int fd = open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
  std::string aside;
  ASSERT_TRUE(ReplaceFileAt(fd, "page.htm", "new", &aside));
  EXPECT_EQ(ReadFile(dir / "page.htm"), "new");
  EXPECT_TRUE(IsTemporaryNameOf(aside, "page.htm")) << aside;
  EXPECT_EQ(ReadFile(dir / aside), "old");
  EXPECT_EQ(FolderNames(dir.path()).size(), 2u);  // no temporary file besides
  // No old file: nothing set aside.
  ASSERT_TRUE(ReplaceFileAt(fd, "new.htm", "n", &aside));
  EXPECT_EQ(aside, "");
  // A failed replace leaves neither a temporary nor an aside name.
  test::MakeFolders(dir / "sub/");
  EXPECT_FALSE(ReplaceFileAt(fd, "sub", "data", &aside));
  EXPECT_EQ(aside, "");
  EXPECT_EQ(FolderNames(dir.path()).size(), 4u);
  close(fd);
}

TEST(RemoveFileAt, SetsOrdinaryFilesAsideAndLeavesFolders) {
  TempDir dir;
  WriteFile(dir / "page.htm.csv", "old");
  const int fd = open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
  std::string aside;
  ASSERT_TRUE(RemoveFileAt(fd, "page.htm.csv", &aside));
  EXPECT_EQ(FolderNames(dir.path()), std::vector<std::string>{aside});
  EXPECT_EQ(ReadFile(dir / aside), "old");
  EXPECT_TRUE(RemoveFileAt(fd, "page.htm.csv", &aside));  // gone now: nothing to do
  EXPECT_EQ(aside, "");
  test::MakeFolders(dir / "sub/inner");
  EXPECT_TRUE(RemoveFileAt(fd, "sub", &aside));  // no file holds the name; the folder stays
  EXPECT_TRUE(std::filesystem::is_directory(dir / "sub/inner"));
  close(fd);
}

}  // namespace
}  // namespace veldra

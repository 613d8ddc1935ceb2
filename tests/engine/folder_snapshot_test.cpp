#include "engine/folder_snapshot.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/cp932.h"
#include "tests/support/temp_dir.h"

namespace veldra {

void PrintTo(const SnapshotRecord& r, std::ostream* os) {
  *os << "{" << r.kind << "," << r.name << "," << r.time_text << "," << r.size_text << "}";
}

namespace {

Entry Folder(const std::string& name, const std::string& time) {
  return Entry{name, time, "", 0, {}};
}
Entry File(const std::string& name, const std::string& time, const std::string& size) {
  return Entry{name, time, size, std::stoll(size), {}};
}

TEST(FormatSnapshot, FoldersThenFilesQuotedWithCrLf) {
  const std::string bytes = FormatSnapshot({Folder("live", "1999/12/31 23:59")},
                                           {File("a.mp3", "2000/01/02 03:04", "600")});
  EXPECT_EQ(bytes,
            "\"D\",\"live\",\"1999/12/31 23:59\",\"\"\r\n"
            "\"F\",\"a.mp3\",\"2000/01/02 03:04\",\"600\"\r\n");
  EXPECT_EQ(FormatSnapshot({}, {}), "");
}

TEST(FormatSnapshot, NamesWithQuotesCommasAndLineBreaksRoundTrip) {
  const EntryTable folders = {Folder("say \"hi\", then\r\nleave", "2000/01/01 00:00")};
  const EntryTable files = {
      File("\"", "2000/01/01 00:01", "1"),
      File("曲,名.mp3", "2000/01/01 00:02", "2"),
      File("다운로드 ♪ 𝄞.mp3", "2000/01/01 00:03", "3"),  // not in CP932
      File("bad\xFF\xFE.mp3", "2000/01/01 00:04", "4"),   // not UTF-8
      File("&#12354; literal", "2000/01/01 00:05", "5"),
      File("trailing\n", "2000/01/01 00:06", "6"),
  };
  const std::string bytes = FormatSnapshot(folders, files);
  EXPECT_NE(bytes.find("\"say \"\"hi\"\", then\r\nleave\""), std::string::npos);
  const FolderSnapshot read = ParseSnapshot(bytes);
  ASSERT_EQ(read.size(), 7u);
  EXPECT_EQ(read[0], (SnapshotRecord{"D", folders[0].name, "2000/01/01 00:00", ""}));
  for (size_t i = 0; i < files.size(); ++i) {
    EXPECT_EQ(read[i + 1],
              (SnapshotRecord{"F", files[i].name, files[i].time_text, files[i].size_text}));
  }
}

TEST(ParseSnapshot, ReferencesInNamesWrittenElsewhereStayLiteral) {
  // A snapshot written on Windows holds names raw: "&#60;" or "&#10;" in a name is part of it,
  // so the file is not listed as new on the next run.
  const FolderSnapshot read = ParseSnapshot(
      "\"F\",\"&#60;b&#62;&#10;.mp3\",\"2000/01/01 00:00\",\"1\"\r\n"
      "\"F\",\"caf&#233;&#38;#.mp3\",\"2000/01/01 00:00\",\"2\"\r\n");
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(read[0].name, "&#60;b&#62;&#10;.mp3");
  EXPECT_EQ(read[1].name, "café&#.mp3");  // ours: a character CP932 lacks, an escaped "&#"
}

TEST(ParseSnapshot, OldSnapshotsReadAsBefore) {
  // As earlier versions wrote them: CP932, no escaping, nothing after the last line end, or an
  // LF-only file edited by hand.
  const std::string old = EncodeCp932(
      "\"D\",\"ソ表ライブ\",\"1999/12/31 23:59\",\"\"\r\n\"F\",\"曲.mp3\",\"2000/01/02 "
      "03:04\",\"600\"\r\n",
      Cp932Escape::kHtml);
  const FolderSnapshot expected = {{"D", "ソ表ライブ", "1999/12/31 23:59", ""},
                                   {"F", "曲.mp3", "2000/01/02 03:04", "600"}};
  EXPECT_EQ(ParseSnapshot(old), expected);
  const std::string lf_only = EncodeCp932(
      "\"D\",\"ソ表ライブ\",\"1999/12/31 23:59\",\"\"\n\n\"F\",\"曲.mp3\",\"2000/01/02 "
      "03:04\",\"600\"",
      Cp932Escape::kHtml);
  EXPECT_EQ(ParseSnapshot(lf_only), expected);
}

TEST(ParseSnapshot, DamageKeepsTheRecordsBeforeIt) {
  const std::string good = "\"F\",\"a\",\"2000/01/01 00:00\",\"1\"\r\n";
  const FolderSnapshot one = {{"F", "a", "2000/01/01 00:00", "1"}};
  // A truncated record, a quote never closed, text after a closing quote, an unquoted field.
  EXPECT_EQ(ParseSnapshot(good + "\"F\",\"b\",\"2000/01"), one);
  EXPECT_EQ(ParseSnapshot(good + "\"F\",\"b" + std::string(10 << 20, 'x')), one);
  EXPECT_EQ(ParseSnapshot(good + "\"F\"x,\"b\",\"t\",\"1\"\r\n" + good), one);
  EXPECT_EQ(ParseSnapshot(good + "F,b,t,1\r\n" + good), one);
  EXPECT_EQ(ParseSnapshot(std::string("\x00\x01\xFF garbage", 12)), FolderSnapshot());
  EXPECT_EQ(ParseSnapshot(""), FolderSnapshot());
}

TEST(ParseSnapshot, RecordsOfOtherThanFourFieldsAreDropped) {
  const std::string bytes =
      "\"F\",\"short\",\"2000/01/01 00:00\"\r\n"
      "\"F\",\"a\",\"2000/01/01 00:00\",\"1\"\r\n"
      "\"F\",\"long\",\"2000/01/01 00:00\",\"1\",\"extra\"\r\n"
      "\"D\",\"b\",\"2000/01/01 00:01\",\"\"\r\n";
  EXPECT_EQ(ParseSnapshot(bytes), (FolderSnapshot{{"F", "a", "2000/01/01 00:00", "1"},
                                                  {"D", "b", "2000/01/01 00:01", ""}}));
}

TEST(ParseSnapshot, HugeWellFormedLineIsRead) {
  const std::string name(10 << 20, 'n');
  const FolderSnapshot read = ParseSnapshot(FormatSnapshot({}, {File(name, "t", "1")}));
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(read[0].name.size(), name.size());
}

TEST(ReadSnapshotAt, MissingFileOrAFolderIsEmpty) {
  test::TempDir dir;
  test::MakeFolders(dir / "sub/");
  const int fd = open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
  EXPECT_TRUE(ReadSnapshotAt(fd, "index.htm.csv", 0).empty());
  EXPECT_TRUE(ReadSnapshotAt(fd, "sub", 0).empty());  // a folder, not a file
  close(fd);
}

// The cap is max(16 MiB, 2 KiB per entry); the records before it are kept, as for damage.
TEST(ReadSnapshotAt, ReadsUpToTheCapAndKeepsTheRecordsBeforeIt) {
  EXPECT_EQ(SnapshotReadCap(0), size_t{16} << 20);
  EXPECT_EQ(SnapshotReadCap(8192), size_t{16} << 20);
  EXPECT_EQ(SnapshotReadCap(100000), size_t{2048} * 100000);
  test::TempDir dir;
  const std::string record =
      "\"F\",\"" + std::string(1000, 'n') + "\",\"2000/01/01 00:00\",\"1\"\r\n";
  std::string bytes;
  while (bytes.size() < (size_t{17} << 20)) bytes += record;
  test::WriteFile(dir / "index.htm.csv", bytes);
  const int fd = open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
  const FolderSnapshot read = ReadSnapshotAt(fd, "index.htm.csv", 1);
  EXPECT_EQ(read.size(), (size_t{16} << 20) / record.size());
  EXPECT_EQ(ReadSnapshotAt(fd, "index.htm.csv", 20000).size(), bytes.size() / record.size());
  close(fd);
}

}  // namespace
}  // namespace veldra

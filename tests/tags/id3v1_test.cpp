#include "tags/id3v1.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "tests/support/temp_dir.h"

namespace veldra {
namespace {

using test::ReadFile;
using test::TempDir;
using test::TestDataPath;
using test::WriteFile;
using Fields = std::vector<std::string>;

std::string Nuls(size_t n) { return std::string(n, '\0'); }
std::string Blanks(size_t n) { return std::string(n, ' '); }

// Marker, title, artist, album, year and comment, then genre and track texts.
Fields All(const Id3Tag& tag) {
  return {tag.Marker,
          tag.Title,
          tag.Artist,
          tag.Album,
          tag.Year,
          tag.Comment,
          std::to_string(tag.Genre),
          TrackText(tag)};
}
const Fields kFresh = {Nuls(3), Nuls(30), Nuls(30), Nuls(30), Nuls(4), Nuls(30), "0", ""};
const Fields kBlank = {Blanks(3), Blanks(30), Blanks(30), Blanks(30),
                       Blanks(4), Blanks(30), "0",        ""};

Id3Tag ReadFixture(const std::string& name, Id3ReadResult expected = Id3ReadResult::kRead) {
  Id3Tag tag;
  EXPECT_EQ(ReadId3Tag(TestDataPath("tags/" + name), tag), expected) << name;
  return tag;
}

TEST(ReadId3Tag, OnlyNamesEndingInMp3AreRead) {
  TempDir dir;
  const std::string bytes = ReadFile(TestDataPath("tags/v11-track7.mp3"));
  for (const char* name : {"a.mp3", "b.MP3", "c.Mp3", "dmp3"}) {
    WriteFile(dir / name, bytes);
    Id3Tag tag;
    EXPECT_EQ(ReadId3Tag(dir / name, tag), Id3ReadResult::kRead) << name;
    EXPECT_EQ(CleanTagField(tag.Title), "Seven") << name;
  }
  for (const char* name : {"a.mp4", "b.mp", "c.mp3.bak", "d.ｍｐ３"}) {
    WriteFile(dir / name, bytes);
    Id3Tag tag;
    EXPECT_EQ(ReadId3Tag(dir / name, tag), Id3ReadResult::kNotMp3) << name;
    EXPECT_EQ(All(tag), kFresh) << name;
  }
}

TEST(ReadId3Tag, TaggedFixtures) {
  // Version 1.0: the comment fills all 30 bytes, so there is no track.
  EXPECT_EQ(All(ReadFixture("v10-comment30.mp3")),
            (Fields{"TAG", "Song Title" + Nuls(20), "The Artist" + Nuls(20), "The Album" + Nuls(21),
                    "1999", "012345678901234567890123456789", "17", ""}));
  // Version 1.1: a zero byte, then the track; the comment cell stops before the zero.
  const Id3Tag seven = ReadFixture("v11-track7.mp3");
  EXPECT_EQ(TrackText(seven), "07");
  EXPECT_EQ(CleanTagField(seven.Comment), "Short note");
  EXPECT_EQ(seven.Genre, 8);
  EXPECT_EQ(TrackText(ReadFixture("v11-track200.mp3")), "200");
  // A lower-case marker is a tag; blank padding stays in the field until it is cleaned.
  const Id3Tag lower = ReadFixture("lower-tag.mp3");
  EXPECT_TRUE(lower.HasTag());
  EXPECT_EQ(lower.Artist, "  Padded Artist               ");
  EXPECT_EQ(CleanTagField(lower.Artist), "Padded Artist");
  EXPECT_EQ(TrackText(lower), "03");
  // A file that is nothing but its tag is read whole.
  EXPECT_EQ(CleanTagField(ReadFixture("only-tag.mp3").Title), "Only a tag");
}

TEST(ReadId3Tag, BlockWithoutMarkerGivesBlankFields) {
  EXPECT_EQ(All(ReadFixture("untagged.mp3")), kBlank);
  // "TAB" is no marker: neither the texts nor the genre byte 5 are taken.
  EXPECT_EQ(All(ReadFixture("not-a-tag.mp3")), kBlank);
  EXPECT_EQ(CleanTagField(Blanks(30)), "");
}

TEST(ReadId3Tag, ShiftJisFieldsAreDecodedOneByOne) {
  Id3Tag tag = ReadFixture("sjis.mp3");
  EXPECT_EQ(tag.Title, "東京の夜" + Nuls(22));
  // The artist ends in a lead byte whose trail would be the album's first byte: it is dropped,
  // and the album still starts with its own first character.
  EXPECT_EQ(tag.Artist, "Aアーティスト名の長い名前です");
  EXPECT_EQ(CleanTagField(tag.Album), "アルバム表示");
  EXPECT_EQ(CleanTagField(tag.Comment), "ソ能");
  EXPECT_EQ(TrackText(tag), "");  // both tail bytes zero

  uint8_t block[128] = {'T', 'A', 'G', 'A', 'b', 0x93, 0, 'x'};
  DecodeId3Block(block, tag);
  EXPECT_EQ(tag.Title, std::string("Ab\0x", 4) + Nuls(25));  // a lead byte before a NUL too
}

TEST(ReadId3Tag, FailuresReportAndLeaveTheRecordAsPassed) {
  TempDir dir;
  WriteFile(dir / "empty.mp3", "");
  std::filesystem::create_directory(dir / "folder.mp3");
  ASSERT_EQ(mkfifo((dir / "pipe.mp3").c_str(), 0600), 0);  // no writer: open must not block
  const std::pair<std::string, Id3ReadResult> cases[] = {
      {TestDataPath("tags/short.mp3"), Id3ReadResult::kTooShort},
      {dir / "empty.mp3", Id3ReadResult::kTooShort},
      {dir / "missing.mp3", Id3ReadResult::kUnreadable},
      {dir / "folder.mp3", Id3ReadResult::kUnreadable},
      {dir / "pipe.mp3", Id3ReadResult::kUnreadable},
  };
  for (const auto& [path, result] : cases) {
    Id3Tag tag;
    tag.Title = "kept";
    tag.Genre = 9;
    EXPECT_EQ(ReadId3Tag(path, tag), result) << path;
    EXPECT_EQ(All(tag), (Fields{Nuls(3), "kept", Nuls(30), Nuls(30), Nuls(4), Nuls(30), "9", ""}));
  }
}

TEST(ReadId3Tag, TagAtTheEndOfAFileBeyondFourGigabytes) {
  TempDir dir;
  const std::string path = dir / "big.mp3";
  const std::uintmax_t size = (std::uintmax_t{1} << 32) + 1000;
  WriteFile(path, "");
  std::filesystem::resize_file(path, size - 128);  // sparse: takes no disk space
  std::ofstream(path, std::ios::binary | std::ios::app)
      << ReadFile(TestDataPath("tags/v11-track7.mp3")).substr(1000);
  ASSERT_EQ(std::filesystem::file_size(path), size);
  Id3Tag tag;
  ASSERT_EQ(ReadId3Tag(path, tag), Id3ReadResult::kRead);
  EXPECT_EQ(CleanTagField(tag.Title), "Seven");
}

// The batch read must give each file exactly the tag and result the single read gives.
TEST(DecodeId3Tail, AgreesWithReadId3TagOnEveryFixture) {
  std::vector<FileTail> tails;
  for (const char* name : {"lower-tag.mp3", "not-a-tag.mp3", "only-tag.mp3", "short.mp3",
                           "sjis.mp3", "untagged.mp3", "v10-comment30.mp3", "v11-track200.mp3",
                           "v11-track7.mp3", "missing.mp3", "v11-track7.mp3.txt"}) {
    tails.push_back(FileTail{name, -1, {}, {}});
  }
  ReadFileTails(TestDataPath("tags/"), tails, 128);
  for (const FileTail& tail : tails) {
    Id3Tag single, batch;
    single.Title = batch.Title = "kept";
    const Id3ReadResult expected = ReadId3Tag(TestDataPath("tags/") + tail.name, single);
    EXPECT_EQ(DecodeId3Tail(tail, batch), expected) << tail.name;
    EXPECT_EQ(All(batch), All(single)) << tail.name;
  }
  EXPECT_EQ(CleanTagField([&] {
              Id3Tag tag;
              DecodeId3Tail(tails[8], tag);
              return tag;
            }()
                              .Title),
            "Seven");
}

TEST(CleanTagField, CutsAtNulTrimsBlanksAndMarksEmpty) {
  EXPECT_EQ(CleanTagField("Abc" + Nuls(27)), "Abc");
  EXPECT_EQ(CleanTagField("  Abc   "), "Abc");
  EXPECT_EQ(CleanTagField(Nuls(1) + "Abc"), "");
  EXPECT_EQ(CleanTagField(std::string(" A B \0 C", 8)), "A B");
  EXPECT_EQ(CleanTagField("\tA\t"), "\tA\t");  // only U+0020 is a blank
  const Id3Tag fresh;
  for (const std::string* field : {&fresh.Marker, &fresh.Title, &fresh.Year, &fresh.Comment}) {
    EXPECT_EQ(CleanTagField(*field), "");
  }
}

}  // namespace
}  // namespace veldra

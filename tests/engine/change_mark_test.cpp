#include "engine/change_mark.h"

#include <gtest/gtest.h>

namespace veldra {
namespace {

const MarkSettings kBoth{true, true, "<NEW>", "<UP>"};

std::string Mark(EntryKind kind, const FolderSnapshot& previous, const std::string& name,
                 const std::string& time, const std::string& size,
                 const MarkSettings& settings = kBoth) {
  const SnapshotIndex index(previous);
  return ChangeMark(kind, index, name, time, size, settings);
}

TEST(ChangeMark, NewUpdatedAndUnchangedFiles) {
  const FolderSnapshot previous = {{"F", "a.mp3", "2000/01/01 00:00", "100"}};
  const auto file = [&](const std::string& name, const std::string& time, const std::string& size,
                        const MarkSettings& settings = kBoth) {
    return Mark(EntryKind::kFile, previous, name, time, size, settings);
  };
  EXPECT_EQ(file("a.mp3", "2000/01/01 00:00", "100"), "");
  EXPECT_EQ(file("A.MP3", "2000/01/01 00:00", "100"), "");  // renamed in case only
  EXPECT_EQ(file("a.mp3", "2000/01/01 00:01", "100"), "<UP>");
  EXPECT_EQ(file("a.mp3", "2000/01/01 00:00", "101"), "<UP>");
  EXPECT_EQ(file("b.mp3", "2000/01/01 00:00", "100"), "<NEW>");
  // Each mark only when shown; a known entry never gets the new mark and a new one never the
  // update mark.
  const MarkSettings only_new{true, false, "<NEW>", "<UP>"};
  const MarkSettings only_update{false, true, "<NEW>", "<UP>"};
  EXPECT_EQ(file("a.mp3", "2000/01/01 00:01", "100", only_new), "");
  EXPECT_EQ(file("b.mp3", "2000/01/01 00:00", "100", only_update), "");
  // Mark texts are used exactly as typed.
  EXPECT_EQ(file("b.mp3", "t", "1", MarkSettings{true, true, " <b>new</b> ", ""}), " <b>new</b> ");
}

TEST(ChangeMark, FolderRecordsCountOnlyBeforeTheFirstOtherRecord) {
  const FolderSnapshot previous = {{"D", "early", "2000/01/01 00:00", ""},
                                   {"d", "lower", "2000/01/01 00:00", ""},
                                   {"F", "song.mp3", "2000/01/01 00:00", "1"},
                                   {"D", "late", "2000/01/01 00:00", ""}};
  EXPECT_EQ(Mark(EntryKind::kFolder, previous, "EARLY", "2000/01/01 00:00", ""), "");
  EXPECT_EQ(Mark(EntryKind::kFolder, previous, "lower", "2000/01/01 00:05", ""), "<UP>");
  EXPECT_EQ(Mark(EntryKind::kFolder, previous, "late", "2000/01/01 00:00", ""), "<NEW>");
  // A file never matches a folder record and the other way round.
  EXPECT_EQ(Mark(EntryKind::kFile, previous, "early", "2000/01/01 00:00", ""), "<NEW>");
  EXPECT_EQ(Mark(EntryKind::kFolder, previous, "song.mp3", "2000/01/01 00:00", ""), "<NEW>");
}

TEST(ChangeMark, FirstMatchingRecordWins) {
  const FolderSnapshot previous = {{"F", "x", "2000/01/01 00:00", "1"},
                                   {"X", "x", "2000/01/01 00:09", "9"},
                                   {"f", "X", "2000/01/01 00:05", "5"}};
  EXPECT_EQ(Mark(EntryKind::kFile, previous, "x", "2000/01/01 00:00", "1"), "");
  EXPECT_EQ(Mark(EntryKind::kFile, previous, "x", "2000/01/01 00:05", "5"), "<UP>");
}

TEST(ChangeMark, NamesOutsideAsciiAndCp932) {
  const FolderSnapshot previous = {{"F", "Ｓｏｎｇ♪.mp3", "t", "1"},
                                   {"F", "raw\xFF.mp3", "t", "1"}};
  EXPECT_EQ(Mark(EntryKind::kFile, previous, "ｓｏｎｇ♪.MP3", "t", "1"), "");
  EXPECT_EQ(Mark(EntryKind::kFile, previous, "RAW\xFF.mp3", "t", "1"), "");
  EXPECT_EQ(Mark(EntryKind::kFile, previous, "raw\xFE.mp3", "t", "1"), "<NEW>");
}

}  // namespace
}  // namespace veldra

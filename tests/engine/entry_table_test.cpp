#include "engine/entry_table.h"

#include <gtest/gtest.h>

#include "tests/engine/engine_test_util.h"

namespace veldra {
namespace {

using test::TokyoTime;

EntryTable Table(std::initializer_list<const char*> names) {
  EntryTable table;
  for (const char* name : names) table.push_back(Entry{name, "", "", 0, {}});
  return table;
}

std::vector<std::string> Names(const EntryTable& table) {
  std::vector<std::string> names;
  for (const Entry& entry : table) names.push_back(entry.name);
  return names;
}

TEST(SortEntries, AscendingWithoutRegardToCase) {
  const NameCollator collator;
  EntryTable table = Table({"b.mp3", "A.mp3", "c.mp3"});
  SortEntries(table, collator);
  EXPECT_EQ(Names(table), (std::vector<std::string>{"A.mp3", "b.mp3", "c.mp3"}));
}

TEST(SortEntries, EqualNamesKeepArrivalOrderWithTheirColumns) {
  const NameCollator collator;
  // Case and width are ignored, so these three tie and must stay as they arrived.
  EntryTable table = Table({"z", "SONG.mp3", "b", "song.mp3", "ｓｏｎｇ.mp3", "a"});
  table[1].size_text = "1";
  table[3].size_text = "3";
  table[4].size_text = "4";
  SortEntries(table, collator);
  EXPECT_EQ(Names(table),
            (std::vector<std::string>{"a", "b", "SONG.mp3", "song.mp3", "ｓｏｎｇ.mp3", "z"}));
  EXPECT_EQ(table[2].size_text, "1");
  EXPECT_EQ(table[3].size_text, "3");
  EXPECT_EQ(table[4].size_text, "4");
}

TEST(SortEntries, ManyEntriesAndOddNames) {
  const NameCollator collator;
  EntryTable table;
  for (int i = 9999; i >= 0; --i) table.push_back(Entry{std::to_string(i), "", "", i, {}});
  table.push_back(Entry{"\xFF\xFE", "", "", 0, {}});  // not UTF-8
  table.push_back(Entry{"", "", "", 0, {}});
  SortEntries(table, collator);
  ASSERT_EQ(table.size(), 10002u);
  for (size_t i = 1; i < table.size(); ++i)
    EXPECT_LE(collator.Compare(table[i - 1].name, table[i].name), 0) << i;
}

TEST(SortTexts, AFolderComesBeforeItsSubFolders) {
  const NameCollator collator;
  std::vector<std::string> paths = {"/r/a/x/",   "/r/a b/", "/r/A/",       "/r/",
                                    "/r/a b/c/", "/r/a-b/", "/r/a/x/y z/", "/r/a/x/y/"};
  SortTexts(paths, collator);
  ASSERT_EQ(paths.front(), "/r/");
  for (size_t i = 0; i < paths.size(); ++i) {
    for (size_t j = 0; j < paths.size(); ++j) {
      const bool i_encloses_j = i != j && paths[j].starts_with(paths[i]);
      if (i_encloses_j) {
        EXPECT_LT(i, j) << paths[i] << " after " << paths[j];
      }
    }
  }
}

// The work list is sorted by comparing, the tables by sort keys: both must give one order, ties
// (case, width) in arrival order.
TEST(SortTexts, SameOrderAsTheTablesSortedByKeys) {
  const NameCollator collator;
  std::vector<std::string> texts = {
      "/r/b/",  "/r/B/",  "/r/ｂ/", "/r/\xFF/", "/r/a/",  "/r/ア/", "/r/あ/",       "/r/a b/",
      "/r/ab/", "/r/Ａ/", "/r/表/", "/r/",      "/r/10/", "/r/9/",  "/r/\xE3\x81/", "/r/a/"};
  EntryTable table;
  for (const std::string& text : texts) table.push_back(Entry{text, "", "", 0, {}});
  SortTexts(texts, collator);
  SortEntries(table, collator);
  EXPECT_EQ(texts, Names(table));
}

TEST(FileTimeText, LocalTimeToTheMinute) {
  // 03:04:05 on 2 January 2000, Tokyo time.
  EXPECT_EQ(FileTimeText(FileTime{TokyoTime(1, 3, 4) + 5, 999999999}), "2000/01/02 03:04");
  EXPECT_EQ(FileTimeText(FileTime{TokyoTime(0, 0, 0) - 60, 0}), "1999/12/31 23:59");
}

TEST(MakeEntry, SizesAreSixtyFourBitAndFoldersHaveNone) {
  DirEntry file{"big.bin", false, int64_t{5} << 30, FileTime{TokyoTime(1, 3, 4), 0}, {1, 2}};
  const Entry big = MakeEntry(file);
  EXPECT_EQ(big.size_text, "5368709120");
  EXPECT_EQ(big.size, int64_t{5} << 30);
  EXPECT_EQ(big.time_text, "2000/01/02 03:04");
  EXPECT_EQ(MakeEntry(DirEntry{"empty", false, 0, {}, {}}).size_text, "0");

  const Entry folder = MakeEntry(DirEntry{"sub", true, 4096, {}, {7, 9}});
  EXPECT_EQ(folder.size_text, "");
  EXPECT_EQ(folder.id, (FolderId{7, 9}));
}

}  // namespace
}  // namespace veldra

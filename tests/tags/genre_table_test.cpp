#include "tags/genre_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "tests/support/temp_dir.h"

namespace veldra {
namespace {

using test::TempDir;
using test::WriteFile;

// Loads into a table that still holds names from before, as the window's table does.
GenreLoadResult Load(const TempDir& dir, GenreTable& table) {
  table.fill("stale");
  return LoadGenres(dir.path().substr(0, dir.path().size() - 1), table);
}

size_t NonEmpty(const GenreTable& table) {
  return std::count_if(table.begin(), table.end(), [](const auto& s) { return !s.empty(); });
}

TEST(LoadGenres, NoFileOrEmptyFileGivesEmptyNames) {
  TempDir dir;
  GenreTable table;
  EXPECT_EQ(Load(dir, table), GenreLoadResult::kMissing);
  EXPECT_EQ(NonEmpty(table), 0u);

  std::filesystem::create_directory(dir / kGenreFileName);  // a folder is no genre file
  EXPECT_EQ(Load(dir, table), GenreLoadResult::kMissing);
  EXPECT_EQ(NonEmpty(table), 0u);

  TempDir other;
  WriteFile(other / kGenreFileName, "");
  EXPECT_EQ(Load(other, table), GenreLoadResult::kLoaded);
  EXPECT_EQ(NonEmpty(table), 0u);
}

TEST(LoadGenres, LinesAreTakenWholeInOrder) {
  TempDir dir;
  // CP932 "ロック", a line of blanks, an empty line, a padded name, LF-only and unended lines.
  WriteFile(dir / kGenreFileName, "Blues\r\n\x83\x8D\x83\x62\x83\x4E\r\n   \r\n\r\n Jazz \nPop");
  GenreTable table;
  ASSERT_EQ(Load(dir, table), GenreLoadResult::kLoaded);
  EXPECT_EQ((std::vector<std::string>(table.begin(), table.begin() + 7)),
            (std::vector<std::string>{"Blues", "ロック", "   ", "", " Jazz ", "Pop", ""}));
  EXPECT_EQ(NonEmpty(table), 5u);
}

TEST(LoadGenres, LinesAfterThe256thAreIgnored) {
  TempDir dir;
  std::string text;
  for (int i = 1; i <= 300; ++i) text += "line" + std::to_string(i) + "\r\n";
  WriteFile(dir / kGenreFileName, text);
  GenreTable table;
  ASSERT_EQ(Load(dir, table), GenreLoadResult::kLoaded);
  EXPECT_EQ(table[0], "line1");
  EXPECT_EQ(table[255], "line256");
}

TEST(LoadGenres, ShippedFileLoads) {
  GenreTable table;
  ASSERT_EQ(LoadGenres(VELDRA_PROGRAM_DIR, table), GenreLoadResult::kLoaded);
  EXPECT_EQ(table[0], "Blues");
  EXPECT_EQ(table[17], "Rock");
}

}  // namespace
}  // namespace veldra

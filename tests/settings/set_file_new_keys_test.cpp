// The keys and columns added after the classic set: TAGS, CODEPAGE, PLAY TIME, BITRATE.

#include <gtest/gtest.h>

#include "settings/column_key.h"
#include "settings/set_file.h"
#include "tests/support/temp_dir.h"

namespace veldra {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;
using Strings = std::vector<std::string>;

class NewKeysTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) { return SetIniPath(place_, name); }
  EnvironmentSet Load(const std::string& name) {
    EnvironmentSet set;
    set.SetName = name;
    LoadEnvironmentSet(place_, set);
    return set;
  }
  // Loads and saves again; returns the file's bytes afterwards.
  std::string RoundTrip(const std::string& name) {
    const EnvironmentSet set = Load(name);
    EXPECT_TRUE(SaveEnvironmentSet(set, Path(name)));
    return ReadFile(Path(name));
  }

  TempDir dir_;
  ProgramPlace place_{dir_.path().substr(0, dir_.path().size() - 1), "VELDRA"};
};

TEST_F(NewKeysTest, SetWithoutNewKeysSavesByteForByteAndLoadsClassicDefaults) {
  const std::string classic =
      "[MAIN]\r\nTEXT1(0)=<TABLE>\r\nCheck2=TRUE\r\n"
      "LIST1=ID3-TRACK@\r\nLIST2=FILE SIZE@TIME STAMP@ID3-TITLE@ID3-ARTIST@ID3-ALBUM@"
      "ID3-COMMENT@ID3-YEAR@ID3-GENRE@\r\n";
  WriteFile(Path("old"), classic);
  const EnvironmentSet set = Load("old");
  EXPECT_FALSE(set.ReadAllTags);
  EXPECT_EQ(set.CodePage, "932");
  EXPECT_EQ(set.HiddenColumns, (Strings{"ID3-TRACK"}));
  const std::string saved = RoundTrip("old");
  EXPECT_EQ(saved.find("TAGS"), std::string::npos);
  EXPECT_EQ(saved.find("CODEPAGE"), std::string::npos);
  EXPECT_EQ(saved.find("PLAY TIME"), std::string::npos);

  // A set saved once and saved again without changes keeps its bytes.
  const std::string first = RoundTrip("old");
  EXPECT_EQ(RoundTrip("old"), first);
}

TEST_F(NewKeysTest, NewKeysAppendAfterList2InOrderAndStayOnceSet) {
  EnvironmentSet set = Load("fresh");
  set.ReadAllTags = true;
  set.CodePage = "1252";
  ASSERT_TRUE(SaveEnvironmentSet(set, Path("fresh")));
  std::string bytes = ReadFile(Path("fresh"));
  const size_t list2 = bytes.find("LIST2=");
  ASSERT_NE(list2, std::string::npos);
  EXPECT_EQ(bytes.substr(bytes.find("\r\n", list2) + 2), "TAGS=ALL\r\nCODEPAGE=1252\r\n");

  EnvironmentSet loaded = Load("fresh");
  EXPECT_TRUE(loaded.ReadAllTags);
  EXPECT_EQ(loaded.CodePage, "1252");

  // Back to the defaults: the keys stay where they stand, now with default values.
  loaded.ReadAllTags = false;
  loaded.CodePage = "932";
  ASSERT_TRUE(SaveEnvironmentSet(loaded, Path("fresh")));
  bytes = ReadFile(Path("fresh"));
  EXPECT_NE(bytes.find("\r\nTAGS=ID3V1\r\nCODEPAGE=932\r\n"), std::string::npos) << bytes;
}

TEST_F(NewKeysTest, TagsValuesIgnoreCaseAndUnknownOnesReadAsDefault) {
  for (const auto& [value, all] : std::vector<std::pair<std::string, bool>>{{"ALL", true},
                                                                            {"all", true},
                                                                            {" All ", true},
                                                                            {"ID3V1", false},
                                                                            {"both", false},
                                                                            {"", false}}) {
    WriteFile(Path("t"), "[MAIN]\r\nTAGS=" + value + "\r\n");
    EXPECT_EQ(Load("t").ReadAllTags, all) << value;
  }
  // A code page is kept as typed (blanks trimmed), so a run can name what it refuses.
  WriteFile(Path("t"), "[MAIN]\r\nCODEPAGE= 12x \r\n");
  EXPECT_EQ(Load("t").CodePage, "12x");
  WriteFile(Path("t"), "[MAIN]\r\nCODEPAGE=\r\n");
  EXPECT_EQ(Load("t").CodePage, "932");
}

TEST_F(NewKeysTest, NewColumnsAreStoredOnlyWhileOutputAndDoNotCountAsClassicKeys) {
  // Eight classic keys and both new ones output: the track still joins the hidden list.
  WriteFile(Path("c"),
            "[MAIN]\r\nLIST1=\r\nLIST2=FILE SIZE@TIME STAMP@ID3-TITLE@ID3-ARTIST@ID3-ALBUM@"
            "ID3-COMMENT@ID3-YEAR@ID3-GENRE@PLAY TIME@BITRATE@\r\n");
  EnvironmentSet set = Load("c");
  EXPECT_EQ(set.HiddenColumns, (Strings{"ID3-TRACK"}));
  EXPECT_EQ(set.OutputColumns.size(), 10u);

  // Hidden new keys are not written to LIST1.
  set.OutputColumns.pop_back();
  set.HiddenColumns.push_back("BITRATE");
  ASSERT_TRUE(SaveEnvironmentSet(set, Path("c")));
  const std::string bytes = ReadFile(Path("c"));
  EXPECT_NE(bytes.find("LIST1=ID3-TRACK@\r\n"), std::string::npos) << bytes;
  EXPECT_NE(bytes.find("ID3-GENRE@PLAY TIME@\r\n"), std::string::npos) << bytes;
}

TEST_F(NewKeysTest, ANewKeyListedTwiceIsDroppedOnLoad) {
  WriteFile(
      Path("d"),
      "[MAIN]\r\nLIST1=ID3-TRACK@play time@\r\nLIST2=PLAY TIME@FILE SIZE@TIME STAMP@ID3-TITLE@"
      "ID3-ARTIST@ID3-ALBUM@ID3-COMMENT@ID3-YEAR@ID3-GENRE@Play Time@\r\n");
  const EnvironmentSet set = Load("d");
  EXPECT_EQ(set.OutputColumns.size(), 9u);
  EXPECT_EQ(set.OutputColumns.front(), "PLAY TIME");
  EXPECT_EQ(set.OutputColumns.back(), "ID3-GENRE");
  EXPECT_EQ(set.HiddenColumns, (Strings{"ID3-TRACK"}));
}

TEST(ColumnKeyTest, NewColumnsHaveCaptions) {
  EXPECT_EQ(ColumnCaption("PLAY TIME"), "Time");
  EXPECT_EQ(ColumnCaption("bitrate"), "Bitrate");
  EXPECT_TRUE(IsNewColumnKey("Play Time"));
  EXPECT_FALSE(IsNewColumnKey("ID3-TRACK"));
}

}  // namespace
}  // namespace veldra

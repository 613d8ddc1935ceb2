#include "settings/set_file.h"

#include <gtest/gtest.h>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "platform/file_system.h"
#include "tests/support/temp_dir.h"

// Expected sets are written with designated initializers naming only the fields that matter.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace veldra {
namespace {

using test::ReadFile;
using test::TempDir;
using test::TestDataPath;
using test::WriteFile;
using Strings = std::vector<std::string>;

const Strings kEightColumns = {"FILE SIZE", "TIME STAMP",  "ID3-TITLE", "ID3-ARTIST",
                               "ID3-ALBUM", "ID3-COMMENT", "ID3-YEAR",  "ID3-GENRE"};

std::string Join(const Strings& list) {
  std::string out;
  for (const std::string& s : list) out += s + "|";
  return out;
}

// Every field a load fills, one per line, so that a mismatch shows which field differs.
std::string Dump(const EnvironmentSet& s) {
  std::string out = "root=" + s.RootFolder + " " + Join(s.RootFolderHistory) + "\n";
  out += "url=" + s.RootUrl + " " + Join(s.RootUrlHistory) + "\n";
  for (int i = 0; i < kTextFieldCount; ++i)
    out += "text" + std::to_string(i) + "=" + s.TextField(i) + "\n";
  out += "flags=";
  for (bool flag : {s.HideExtension, s.ShowNewMark, s.ShowUpdateMark, s.ProcessId3})
    out += flag ? '1' : '0';
  return out + "\nout=" + Join(s.OutputColumns) + "\nhidden=" + Join(s.HiddenColumns) + "\n";
}

class SetFileTest : public ::testing::Test {
 protected:
  void WriteSet(const std::string& name, const std::string& body) {
    WriteFile(SetIniPath(place_, name), "[MAIN]\r\n" + body);
  }
  EnvironmentSet Load(const std::string& set_name) {
    EnvironmentSet set;
    set.SetName = set_name;
    ini_path_ = LoadEnvironmentSet(place_, set).ini_path;
    EXPECT_EQ(set.SetName, set_name);  // the window's text is left alone
    return set;
  }

  TempDir dir_;
  ProgramPlace place_{dir_.path().substr(0, dir_.path().size() - 1), "VELDRA"};
  std::string ini_path_;
};

TEST_F(SetFileTest, PathsAndNames) {
  EXPECT_EQ(SetIniPath({"/opt/v", "VELDRA"}, " a b "), "/opt/v/ a b .ini");
  for (const std::string& name :
       Strings{"VELDRA", "ミュージック", "a.b", "x y", ".hidden", "a\\b", std::string(250, 'n')})
    EXPECT_TRUE(IsValidSetName(name)) << name;
  for (const std::string& name : Strings{"", ".", "..", "a/b", "../up", "tab\there", "del\x7F",
                                         std::string("nul\0x", 5), std::string(251, 'n')})
    EXPECT_FALSE(IsValidSetName(name)) << name;
}

TEST_F(SetFileTest, FileOfTheSameNameInOtherCapitalsIsTheSetsFile) {
  WriteFile(dir_ / "veldra.ini", "[MAIN]\r\nDIR(0)=/lower/\r\n");
  EnvironmentSet set = Load("VELDRA");
  EXPECT_EQ(ini_path_, dir_ / "veldra.ini");
  EXPECT_EQ(set.RootFolder, "/lower/");
  ASSERT_TRUE(SaveEnvironmentSet(set, ini_path_));
  EXPECT_FALSE(FileExists(dir_ / "VELDRA.ini"));  // no second file for the same set

  WriteFile(dir_ / "VELDRA.ini", "[MAIN]\r\nDIR(0)=/exact/\r\n");
  EXPECT_EQ(Load("VELDRA").RootFolder, "/exact/");  // an exact name wins
}

TEST_F(SetFileTest, NewSetGetsTheDefaults) {
  const EnvironmentSet set = Load(" fresh  ");
  EXPECT_EQ(ini_path_, dir_ / "fresh.ini");
  EXPECT_FALSE(std::filesystem::exists(ini_path_));  // loading creates nothing
  EXPECT_EQ(Dump(set), Dump({.TableTag = "<TABLE border=1 cellspacing=0 cellpadding=3>",
                             .FolderMarkText = "(DIR)",
                             .OutputFileName = "index.htm",
                             .HairlineText = "<HR>",
                             .HeaderFileName = "fresh-Head-htm.txt",
                             .FooterFileName = "fresh-Foot-htm.txt",
                             .OutputColumns = kEightColumns,
                             .HiddenColumns = {"ID3-TRACK"}}));

  // An existing file without the text keys: those texts stay empty, the names still default.
  WriteSet("VELDRA", "Check2=\r\n");
  EXPECT_EQ(Dump(Load("")), Dump({.HeaderFileName = "VELDRA-Head-htm.txt",
                                  .FooterFileName = "VELDRA-Foot-htm.txt",
                                  .OutputColumns = kEightColumns,
                                  .HiddenColumns = {"ID3-TRACK"}}));
  EXPECT_EQ(ini_path_, dir_ / "VELDRA.ini");
}

TEST_F(SetFileTest, WindowsFileLoadsAndSavesBackByteForByte) {
  const std::string original = ReadFile(TestDataPath("settings/windows-set.ini"));
  WriteFile(dir_ / "win.ini", original);
  const EnvironmentSet set = Load("win");
  EXPECT_EQ(Dump(set),
            Dump({.RootFolder = "C:\\ミュージック\\",
                  .RootFolderHistory = {"C:\\ミュージック\\", "D:\\音楽\\表示\\"},
                  .RootUrl = "http://example.jp/music/",
                  .RootUrlHistory = {"http://example.jp/music/", "http://example.jp/ソング/"},
                  .TableTag = "<TABLE border=1 cellspacing=0 cellpadding=3>",
                  .FolderMarkText = "<img src=\"dir.gif\">",
                  .FileMarkText = "♪",
                  .ThExtra = "bgcolor=\"#CCCCFF\"",
                  .OutputFileName = "index.htm",
                  .HairlineText = "<HR>",
                  .NewMarkText = "<FONT color=\"red\">新着</FONT>",
                  .UpdateMarkText = "更新",
                  .OutputFolder = "D:\\公開\\",
                  .OutputUrl = "http://example.jp/公開/",
                  .HeaderFileName = "ミュージック-Head-htm.txt",
                  .FooterFileName = "ミュージック-Foot-htm.txt",
                  .HideExtension = true,
                  .ShowNewMark = true,
                  .OutputColumns = {"FILE SIZE", "TIME STAMP", "ID3-TITLE", "ID3-ARTIST",
                                    "ID3-ALBUM", "ID3-YEAR", "ID3-GENRE"},
                  .HiddenColumns = {"ID3-COMMENT", "ID3-TRACK"}}));
  ASSERT_TRUE(SaveEnvironmentSet(set, ini_path_));
  EXPECT_EQ(ReadFile(ini_path_), original);
}

TEST_F(SetFileTest, SetFromBeforeTheTrackColumnGainsItHidden) {
  std::filesystem::copy_file(TestDataPath("settings/windows-set-old.ini"), dir_ / "old.ini");
  const EnvironmentSet set = Load("old");
  EXPECT_EQ(set.OutputColumns, kEightColumns);
  EXPECT_EQ(set.HiddenColumns, Strings{"ID3-TRACK"});
  EXPECT_FALSE(set.ProcessId3);
  EXPECT_EQ(set.HeaderFileName, "old-Head-htm.txt");
  ASSERT_TRUE(SaveEnvironmentSet(set, ini_path_));
  EXPECT_NE(ReadFile(ini_path_).find("\r\nLIST1=ID3-TRACK@\r\n"), std::string::npos);
}

TEST_F(SetFileTest, ColumnListsAndFlags) {
  WriteSet("a",
           "LIST1=A@@B@\r\nLIST2=C@D\r\nCheck1(0)=true\r\nCheck1(1)=True\r\n"
           "Check1(2)=yes\r\nCheck2=tRUE\r\n");
  EnvironmentSet set = Load("a");
  // Two "@" in a row give an empty entry; a rest without "@" is taken as a last entry.
  EXPECT_EQ(set.HiddenColumns, (Strings{"A", "", "B", "ID3-TRACK"}));
  EXPECT_EQ(set.OutputColumns, (Strings{"C", "D"}));
  EXPECT_TRUE(set.HideExtension);
  EXPECT_TRUE(set.ShowNewMark);
  EXPECT_FALSE(set.ShowUpdateMark);
  EXPECT_TRUE(set.ProcessId3);

  // All nine hidden: the output list stays empty instead of taking the defaults.
  WriteSet("b",
           "LIST1=FILE SIZE@TIME STAMP@ID3-TITLE@ID3-ARTIST@ID3-ALBUM@ID3-COMMENT@"
           "ID3-YEAR@ID3-GENRE@ID3-TRACK@\r\nCheck1(0)=FALSE\r\nCheck2=no\r\n");
  set = Load("b");
  EXPECT_TRUE(set.OutputColumns.empty());
  EXPECT_EQ(set.HiddenColumns.size(), 9u);
  EXPECT_FALSE(set.HideExtension);
  EXPECT_FALSE(set.ProcessId3);
}

TEST_F(SetFileTest, HistoryEndsAtTheFirstGapAndLaterKeysStay) {
  WriteSet("gap", "DIR(0)=/a/\r\nDIR(1)=/b/\r\nDIR(3)=/d/\r\nURL(0)=\r\nURL(1)=http://x/\r\n");
  EnvironmentSet set = Load("gap");
  EXPECT_EQ(set.RootFolderHistory, (Strings{"/a/", "/b/"}));
  EXPECT_TRUE(set.RootUrlHistory.empty());  // an empty first entry ends it

  set.RootFolderHistory = {"/new/"};
  ASSERT_TRUE(SaveEnvironmentSet(set, ini_path_));
  EXPECT_NE(ReadFile(ini_path_).find("DIR(0)=/new/\r\nDIR(1)=/b/\r\nDIR(3)=/d/\r\n"),
            std::string::npos);
  EXPECT_EQ(Load("gap").RootFolderHistory, (Strings{"/new/", "/b/"}));
}

TEST_F(SetFileTest, NewFileListsKeysInSaveOrder) {
  EnvironmentSet set = Load("n");
  set.RootFolderHistory = {"/m/", "/n/"};
  set.RootUrlHistory = {"http://m/"};
  set.RootFolder = "/m/";
  set.RootUrl = "http://m/";
  set.ThExtra = " nowrap ";
  set.ShowUpdateMark = true;
  ASSERT_TRUE(SaveEnvironmentSet(set, ini_path_));
  EXPECT_EQ(ReadFile(ini_path_),
            "[MAIN]\r\nTEXT1(0)=<TABLE border=1 cellspacing=0 cellpadding=3>\r\n"
            "TEXT1(1)=(DIR)\r\nTEXT1(2)=\r\nTEXT1(3)=\" nowrap \"\r\nTEXT1(4)=\r\n"
            "TEXT1(5)=index.htm\r\nTEXT1(6)=<HR>\r\nTEXT1(7)=\r\nTEXT1(8)=\r\nTEXT1(9)=\r\n"
            "TEXT1(10)=\r\nTEXT1(11)=n-Head-htm.txt\r\nTEXT1(12)=n-Foot-htm.txt\r\n"
            "Check1(0)=FALSE\r\nCheck1(1)=FALSE\r\nCheck1(2)=TRUE\r\nCheck2=TRUE\r\n"
            "DIR(0)=/m/\r\nDIR(1)=/n/\r\nURL(0)=http://m/\r\nLIST1=ID3-TRACK@\r\n"
            "LIST2=FILE SIZE@TIME STAMP@ID3-TITLE@ID3-ARTIST@ID3-ALBUM@ID3-COMMENT@ID3-YEAR@"
            "ID3-GENRE@\r\n");
  EXPECT_EQ(Dump(Load("n")), Dump(set));  // blanks at either end of a text come back too
}

TEST_F(SetFileTest, SaveKeepsOtherSectionsAndRewritesKeysInPlace) {
  WriteFile(dir_ / "m.ini",
            "; note\r\n[OTHER]\r\nTEXT1(0)=x\r\n[main]\r\nlist2=ID3-YEAR@\r\nZ=1\r\n");
  EnvironmentSet set = Load("m");
  EXPECT_EQ(set.TableTag, "");  // only section MAIN counts
  set.TableTag = "<TABLE>";
  ASSERT_TRUE(SaveEnvironmentSet(set, ini_path_));
  const std::string saved = ReadFile(ini_path_);
  EXPECT_EQ(saved.rfind("; note\r\n[OTHER]\r\nTEXT1(0)=x\r\n[main]\r\nLIST2=ID3-YEAR@\r\nZ=1\r\n"
                        "TEXT1(0)=<TABLE>\r\n",
                        0),
            0u)
      << saved;
}

TEST_F(SetFileTest, TextsCp932LacksRoundTrip) {
  EnvironmentSet set = Load("intl");
  set.RootFolderHistory = {"/srv/Café \xF0\x9F\x8E\xB5/", "/bad\xFF/"};
  set.RootFolder = set.RootFolderHistory[0];
  set.NewMarkText = "&#9733; new &#60;";  // literal references stay literal
  set.UpdateMarkText = "〜";              // WAVE DASH maps to CP932 one way only
  ASSERT_TRUE(SaveEnvironmentSet(set, ini_path_));
  EXPECT_EQ(Dump(Load("intl")), Dump(set));
}

TEST_F(SetFileTest, WindowsReferencesLoadLiterallyAndSaveBackUnchanged) {
  // A set written on Windows whose texts hold references a user typed: they are HTML for the
  // page, not characters for us to decode (a real tag, a line break inside a row).
  const std::string original = ReadFile(TestDataPath("settings/windows-set-references.ini"));
  WriteFile(dir_ / "refs.ini", original);
  const EnvironmentSet set = Load("refs");
  EXPECT_EQ(set.FolderMarkText, "&#60;DIR&#62;");
  EXPECT_EQ(set.NewMarkText, "&#60;NEW&#62;&#10;新着");
  EXPECT_EQ(set.RootFolder, "C:\\音楽&#10;\\");
  EXPECT_EQ(set.RootUrl, "http://example.jp/?a=1&#38;b=2");
  ASSERT_TRUE(SaveEnvironmentSet(set, ini_path_));
  EXPECT_EQ(ReadFile(ini_path_), original);
}

TEST_F(SetFileTest, LongHtmlTextSavesWholeAndLoadsCutTo254Bytes) {
  EnvironmentSet set = Load("long");
  std::string japanese;
  for (int i = 0; i < 150; ++i) japanese += "曲";  // 300 bytes of CP932
  set.TableTag = "a" + japanese;                   // byte 254 is a lead byte
  set.NewMarkText = std::string(300, 'n');
  ASSERT_TRUE(SaveEnvironmentSet(set, ini_path_));
  EXPECT_NE(ReadFile(ini_path_).find(std::string(300, 'n')), std::string::npos);

  const EnvironmentSet back = Load("long");
  EXPECT_EQ(back.TableTag, "a" + japanese.substr(0, 126 * 3));  // 253 bytes: no half character
  EXPECT_EQ(back.NewMarkText, std::string(254, 'n'));
}

TEST_F(SetFileTest, PathsAndUrlsLoadWhole) {
  // Cut to 254 bytes, a root folder would name another folder, and the run would publish it.
  EnvironmentSet set = Load("paths");
  std::string deep = "/srv/";
  for (int i = 0; i < 60; ++i) deep += "曲名/";  // 300 bytes of CP932
  deep += std::string(200, 'd') + "/";
  set.RootFolderHistory = {deep, "/short/"};
  set.RootFolder = deep;
  set.RootUrlHistory = {"http://example.jp/" + std::string(300, 'u') + "/"};
  set.RootUrl = set.RootUrlHistory[0];
  set.OutputFileName = std::string(250, 'f') + ".htm";
  set.OutputFolder = deep + "out/";
  set.OutputUrl = set.RootUrl + "out/";
  set.HeaderFileName = std::string(300, 'h');
  set.FooterFileName = std::string(300, 'F');
  ASSERT_TRUE(SaveEnvironmentSet(set, ini_path_));
  EXPECT_EQ(Dump(Load("paths")), Dump(set));
}

TEST_F(SetFileTest, SaveThatCannotWriteReportsIt) {
  const EnvironmentSet set = Load("x");
  EXPECT_FALSE(SaveEnvironmentSet(set, dir_ / "no-such-folder/x.ini"));
  std::filesystem::create_directory(dir_ / "folder.ini");
  EXPECT_FALSE(SaveEnvironmentSet(set, dir_ / "folder.ini"));
  // Nothing but the folder is left behind: no temporary file.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), {}), 1);
}

// FEED and PLAYLIST: absent means off and is never written for off; on is appended after LIST2
// in that order; a key the file holds is rewritten where it stands, whatever it held.
TEST_F(SetFileTest, FeedAndPlaylistKeys) {
  const std::string classic = "[MAIN]\r\nTEXT1(5)=index.htm\r\nLIST2=ID3-YEAR@\r\nZ=1\r\n";
  WriteFile(dir_ / "k.ini", classic);
  EnvironmentSet set = Load("k");
  EXPECT_FALSE(set.Feed);
  EXPECT_FALSE(set.Playlist);
  ASSERT_TRUE(SaveEnvironmentSet(set, ini_path_));
  EXPECT_EQ(ReadFile(ini_path_).find("FEED"), std::string::npos);
  EXPECT_EQ(ReadFile(ini_path_).find("PLAYLIST"), std::string::npos);

  set.Feed = true;
  set.Playlist = true;
  ASSERT_TRUE(SaveEnvironmentSet(set, ini_path_));
  const std::string saved = ReadFile(ini_path_);
  EXPECT_NE(saved.find("LIST2=ID3-YEAR@\r\nZ=1\r\n"), std::string::npos) << saved;
  EXPECT_TRUE(saved.ends_with("FEED=TRUE\r\nPLAYLIST=TRUE\r\n")) << saved;
  EnvironmentSet back = Load("k");
  EXPECT_TRUE(back.Feed);
  EXPECT_TRUE(back.Playlist);

  // Turned off again: the keys stay where they stand and read FALSE.
  back.Feed = false;
  ASSERT_TRUE(SaveEnvironmentSet(back, ini_path_));
  EXPECT_TRUE(ReadFile(ini_path_).ends_with("FEED=FALSE\r\nPLAYLIST=TRUE\r\n"));

  // Case does not matter; any other value, or an empty one, reads as off and keeps its line.
  WriteFile(dir_ / "k.ini", "[main]\r\nplaylist=\r\nfeed=true\r\nLIST2=ID3-YEAR@\r\n");
  EnvironmentSet mixed = Load("k");
  EXPECT_TRUE(mixed.Feed);
  EXPECT_FALSE(mixed.Playlist);
  WriteFile(dir_ / "k.ini", "[MAIN]\r\nFEED=yes\r\nPLAYLIST=1\r\n");
  EnvironmentSet other = Load("k");
  EXPECT_FALSE(other.Feed);
  EXPECT_FALSE(other.Playlist);
  ASSERT_TRUE(SaveEnvironmentSet(other, ini_path_));
  const std::string rewritten = ReadFile(ini_path_);
  EXPECT_EQ(rewritten.rfind("[MAIN]\r\nFEED=FALSE\r\nPLAYLIST=FALSE\r\n", 0), 0u) << rewritten;

  // A key of the same name in another section does not count as held.
  WriteFile(dir_ / "k.ini", "[OTHER]\r\nFEED=TRUE\r\n[MAIN]\r\nLIST2=ID3-YEAR@\r\n");
  EnvironmentSet elsewhere = Load("k");
  EXPECT_FALSE(elsewhere.Feed);
  ASSERT_TRUE(SaveEnvironmentSet(elsewhere, ini_path_));
  EXPECT_EQ(ReadFile(ini_path_).find("FEED=FALSE"), std::string::npos);
}

// SKIPSAME: off by default and then never written; on, it goes after CODEPAGE and before FEED;
// held in the file, it is rewritten where it stands.
TEST_F(SetFileTest, SkipSameKeyTakesItsPlaceAmongTheNewKeys) {
  WriteFile(dir_ / "s.ini", "[MAIN]\r\nTEXT1(5)=index.htm\r\nLIST2=ID3-YEAR@\r\n");
  EnvironmentSet set = Load("s");
  EXPECT_FALSE(set.SkipSame);
  ASSERT_TRUE(SaveEnvironmentSet(set, ini_path_));
  EXPECT_EQ(ReadFile(ini_path_).find("SKIPSAME"), std::string::npos);

  set.CodePage = "1252";
  set.SkipSame = true;
  set.Feed = true;
  ASSERT_TRUE(SaveEnvironmentSet(set, ini_path_));
  EXPECT_TRUE(ReadFile(ini_path_).ends_with("CODEPAGE=1252\r\nSKIPSAME=TRUE\r\nFEED=TRUE\r\n"))
      << ReadFile(ini_path_);
  EXPECT_TRUE(Load("s").SkipSame);

  WriteFile(dir_ / "s.ini", "[MAIN]\r\nSKIPSAME=True\r\nLIST2=ID3-YEAR@\r\n");
  EnvironmentSet held = Load("s");
  EXPECT_TRUE(held.SkipSame);
  held.SkipSame = false;
  ASSERT_TRUE(SaveEnvironmentSet(held, ini_path_));
  EXPECT_EQ(ReadFile(ini_path_).rfind("[MAIN]\r\nSKIPSAME=FALSE\r\n", 0), 0u)
      << ReadFile(ini_path_);
}

TEST_F(SetFileTest, LoadSaysWhetherTheFileWasMissingUnreadableOrLoaded) {
  EnvironmentSet set;
  set.SetName = "fresh";
  SetLoad load = LoadEnvironmentSet(place_, set);
  EXPECT_EQ(load.state, SetFileState::kMissing);
  EXPECT_EQ(load.ini_path, dir_ / "fresh.ini");

  WriteSet("here", "TEXT1(5)=h.htm\r\n");
  set.SetName = "here";
  load = LoadEnvironmentSet(place_, set);
  EXPECT_EQ(load.state, SetFileState::kLoaded);
  EXPECT_EQ(set.OutputFileName, "h.htm");

  // A folder holding the file's name: the set shows a new set's defaults, and the caller is
  // told why, so that it does not take them for the set's content.
  std::filesystem::create_directory(dir_ / "held.ini");
  set.SetName = "held";
  load = LoadEnvironmentSet(place_, set);
  EXPECT_EQ(load.state, SetFileState::kUnreadable);
  EXPECT_EQ(load.ini_path, dir_ / "held.ini");
  EXPECT_EQ(load.detail, "Is a directory");
  EXPECT_EQ(set.OutputFileName, "index.htm");
  EXPECT_FALSE(SaveEnvironmentSet(set, load.ini_path));
  EXPECT_TRUE(std::filesystem::is_directory(dir_ / "held.ini"));
}

TEST_F(SetFileTest, RefusedSetNameIsNeverLookedUp) {
  WriteFile(dir_ / "escape.ini", "[MAIN]\r\nTEXT1(5)=outside.htm\r\n");
  const ProgramPlace below{dir_ / "program", "VELDRA"};
  for (const std::string& name : Strings{"../escape", " ../escape ", "a/b", "tab\there"}) {
    EXPECT_EQ(SetIniPath(below, name), "") << name;
    EnvironmentSet set;
    set.SetName = name;
    set.OutputFileName = "kept.htm";
    const SetLoad load = LoadEnvironmentSet(below, set);
    EXPECT_EQ(load.state, SetFileState::kRefused) << name;
    EXPECT_EQ(load.ini_path, "");
    EXPECT_EQ(set.OutputFileName, "kept.htm");  // the set is left as it was
  }
}

// A set file its user may not read: loaded as unreadable with the system's reason, and a save
// leaves it as it is. Root reads every file, so as root the check runs as nobody in a child.
TEST_F(SetFileTest, FileThatCannotBeReadIsReportedAndNeverOverwritten) {
  WriteSet("locked", "TEXT1(5)=mine.htm\r\n[OTHER]\r\nkey=kept\r\n");
  const std::string path = dir_ / "locked.ini";
  const std::string before = ReadFile(path);
  ASSERT_EQ(chmod(path.c_str(), 0), 0);
  ASSERT_EQ(chmod(dir_.path().c_str(), 0777), 0);  // nobody may look into the folder

  const auto check = [&]() -> int {
    EnvironmentSet set;
    set.SetName = "locked";
    const SetLoad load = LoadEnvironmentSet(place_, set);
    if (load.state != SetFileState::kUnreadable) return 10;
    if (load.detail != "Permission denied") return 11;
    if (set.OutputFileName != "index.htm") return 12;
    set.OutputFileName = "clobbered.htm";
    if (SaveEnvironmentSet(set, load.ini_path)) return 13;
    return 0;
  };
  if (geteuid() != 0) {
    EXPECT_EQ(check(), 0);
  } else {
    const passwd* nobody = getpwnam("nobody");
    if (nobody == nullptr) GTEST_SKIP() << "no user nobody to read as";
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      if (setgroups(0, nullptr) != 0 || setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0)
        _exit(20);
      _exit(check());
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "10 state, 11 detail, 12 defaults, 13 saved, 20 setuid";
  }
  ASSERT_EQ(chmod(path.c_str(), 0644), 0);
  EXPECT_EQ(ReadFile(path), before);
}

}  // namespace
}  // namespace veldra

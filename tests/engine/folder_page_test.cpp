#include "engine/folder_page.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/folder_snapshot.h"
#include "tests/engine/engine_test_util.h"
#include "tests/support/temp_dir.h"

namespace veldra {
namespace {

using test::FileLines;
using test::MakeFolders;
using test::ReadFile;
using test::SetTime;
using test::TempDir;
using test::TokyoTime;
using test::WriteFile;
using Lines = std::vector<std::string>;

const Lines kHeader = {
    "<HTML><HEAD><TITLE>ファイルリスト</TITLE>",
    "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html;CHARSET=x-sjis\"></HEAD>",
    "<STYLE>",
    "A:link {color:Blue; text-decoration: none}",
    "A:visited {color:Teal; text-decoration: none}",
    "A:hover {color: #5E4ECB;background:#00ffff; text-decoration: underline}",
    "</STYLE>",
    "<BODY BGCOLOR=WHITE>"};
const Lines kFooter = {"<HR>", "</BODY>", "</HTML>"};
const std::string kHeaderRow =
    "<TR><TH><BR></TH><TH>ファイル/フォルダ</TH><TH>Size</TH><TH>Date</TH><TH>Title</TH>"
    "<TH>Artist</TH><TH>Album</TH><TH>Comment</TH><TH>Year</TH><TH>Genre</TH></TR>";

Lines Concat(std::initializer_list<Lines> parts) {
  Lines all;
  for (const Lines& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// A tree with a sub-folder two levels down, a genre file and the default set.
class PageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root = tree.path();
    WriteFile(program / "VELDRA.gnr",
              EncodeCp932("Blues\r\nClassic Rock\r\nCountry\r\nDance\r\nDisco\r\nFunk\r\nGrunge\r\n"
                          "Hip-Hop\r\nR&B\r\n",
                          Cp932Escape::kHtml));
    WriteFile(tree / "a/b/z.mp3", test::Mp3("Rock & <Roll>", "東京の歌手", "Note", 7, 8));
    WriteFile(tree / "a/b/Note.txt", std::string(2560, 'n'));
    WriteFile(tree / "a/y.txt", "y");
    WriteFile(tree / "x.mp3", std::string(600, 'U'));
    WriteFile(tree / "index.htm.bak", "0123456789");
    WriteFile(tree / "INDEX.HTM", "not listed");
    WriteFile(tree / "index.htm.CSV", "not listed");
    SetTime(tree / "a/b/z.mp3", TokyoTime(400, 4, 6));
    SetTime(tree / "a/b/Note.txt", TokyoTime(400, 4, 5));
    SetTime(tree / "a/y.txt", TokyoTime(400, 4, 7));
    SetTime(tree / "x.mp3", TokyoTime(400, 4, 8));
    SetTime(tree / "index.htm.bak", TokyoTime(400, 4, 9));
    SetTime(tree / "a/b", TokyoTime(400, 5, 0));
    SetTime(tree / "a", TokyoTime(400, 5, 1));
    set = test::DefaultSet(root, "/files/");
  }

  RunResult Run(int64_t now = test::kNow) {
    return test::RunAt(set, test::PlaceIn(program.path()), now);
  }

  TempDir program;
  TempDir tree;
  std::string root;
  EnvironmentSet set;
};

TEST_F(PageTest, RootPageAndPageTwoLevelsDownByteForByte) {
  const RunResult result = Run();
  EXPECT_TRUE(result.report.AllWritten());
  EXPECT_EQ(result.report.pages_written, 3u);
  EXPECT_TRUE(result.report.problems.empty()) << result.report.problems[0].path;

  const std::string no_tag =
      "<TD><BR></TD><TD><BR></TD><TD><BR></TD><TD><BR></TD><TD align=center><BR></TD>"
      "<TD><BR></TD></TR>";
  const Lines root_page =
      Concat({kHeader,
              {"List of <FONT SIZE=\"+2\">/files/</FONT><BR>",
               "List create date = 2000/01/02 14:05 [ Dir = 1 / Files = 2 ]<BR>", "<HR>",
               "<!--AA_TAG_START-->", "<!--AA_TAG_END-->", "",
               "<TABLE border=1 cellspacing=0 cellpadding=3>", kHeaderRow,
               "<TR><TD>(DIR)</TD><TD><A HREF=\"/files/a/index.htm\">a</A></TD>" +
                   std::string("<TD><BR></TD><TD><BR></TD><TD><BR></TD><TD><BR></TD>"
                               "<TD><BR></TD><TD><BR></TD><TD><BR></TD><TD><BR></TD></TR>"),
               "<!--AA_TAG_DIRtoFILE-->",
               "<TR><TD><BR></TD><TD><A HREF=\"/files/index.htm.bak\">index.htm.bak</A></TD>"
               "<TD align=right>(0.0MB)</TD><TD>2001/02/04 04:09</TD>" +
                   no_tag,
               "<TR><TD><BR></TD><TD><A HREF=\"/files/x.mp3\">x.mp3</A></TD>"
               "<TD align=right>(0.0MB)</TD><TD>2001/02/04 04:08</TD>" +
                   no_tag,
               "</TABLE>"},
              kFooter});
  EXPECT_EQ(ReadFile(tree / "index.htm"), test::Cp932Lines(root_page));

  const Lines deep_page = Concat(
      {kHeader,
       {"List of <FONT SIZE=\"+2\">/files/a/b/</FONT><BR>",
        "List create date = 2000/01/02 14:05 [ Dir = 0 / Files = 2 ]<BR>", "<HR>",
        "<!--AA_TAG_START-->", "<A HREF=\"/files/index.htm\">← /</A><BR>",
        "<A HREF=\"/files/a/index.htm\">← /a/</A><BR>", "<!--AA_TAG_END-->", "<HR>",
        "<TABLE border=1 cellspacing=0 cellpadding=3>", kHeaderRow, "<!--AA_TAG_DIRtoFILE-->",
        "<TR><TD><BR></TD><TD><A HREF=\"/files/a/b/Note.txt\">Note.txt</A></TD>"
        "<TD align=right>(0.0MB)</TD><TD>2001/02/04 04:05</TD>" +
            no_tag,
        "<TR><TD><BR></TD><TD><A HREF=\"/files/a/b/z.mp3\">z.mp3</A></TD>"
        "<TD align=right>(0.0MB)</TD><TD>2001/02/04 04:06</TD><TD>Rock &amp; &lt;Roll&gt;</TD>"
        "<TD>東京の歌手</TD><TD><BR></TD><TD>Note</TD><TD align=center>1999</TD>"
        "<TD>R&amp;B</TD></TR>",
        "</TABLE>"},
       kFooter});
  EXPECT_EQ(ReadFile(tree / "a/b/index.htm"), test::Cp932Lines(deep_page));

  // Marks are off: no snapshot is left anywhere.
  EXPECT_FALSE(FileExists(tree / "index.htm.csv"));
  EXPECT_FALSE(FileExists(tree / "a/b/index.htm.csv"));
}

TEST_F(PageTest, MarksOverThreeRuns) {
  set.ShowNewMark = true;
  set.ShowUpdateMark = true;
  set.NewMarkText = "<NEW>";
  set.UpdateMarkText = "<UP>";
  const auto count = [](const std::string& page, const std::string& mark) {
    size_t n = 0;
    for (size_t at = page.find(mark); at != std::string::npos; at = page.find(mark, at + 1)) ++n;
    return n;
  };

  Run();
  EXPECT_EQ(count(ReadFile(tree / "index.htm"), "</A><NEW></TD>"), 3u);
  EXPECT_EQ(count(ReadFile(tree / "a/index.htm"), "</A><NEW></TD>"), 2u);
  EXPECT_EQ(count(ReadFile(tree / "a/b/index.htm"), "</A><NEW></TD>"), 2u);
  EXPECT_EQ(ParseSnapshot(ReadFile(tree / "a/index.htm.csv")),
            (FolderSnapshot{{"D", "b", "2001/02/04 05:00", ""},
                            {"F", "y.txt", "2001/02/04 04:07", "1"}}));

  // Minutes later, nothing changed: no marks, although the run wrote into every folder.
  Run(test::kNow + 600);
  for (const char* page : {"index.htm", "a/index.htm", "a/b/index.htm"}) {
    EXPECT_EQ(ReadFile(tree / page).find("<NEW>"), std::string::npos) << page;
    EXPECT_EQ(ReadFile(tree / page).find("<UP>"), std::string::npos) << page;
  }

  // A file written again a minute later: only its row is marked.
  SetTime(tree / "a/b/z.mp3", TokyoTime(400, 4, 7));
  Run(test::kNow + 1200);
  const std::string deep = ReadFile(tree / "a/b/index.htm");
  EXPECT_NE(deep.find(">z.mp3</A><UP></TD>"), std::string::npos);
  EXPECT_EQ(count(deep, "<UP>"), 1u);
  EXPECT_EQ(ReadFile(tree / "a/index.htm").find("<UP>"), std::string::npos);
  EXPECT_EQ(ReadFile(tree / "index.htm").find("<UP>"), std::string::npos);

  // Marks switched off: the snapshots go.
  set.ShowNewMark = set.ShowUpdateMark = false;
  Run();
  EXPECT_FALSE(FileExists(tree / "a/index.htm.csv"));
  EXPECT_FALSE(FileExists(tree / "index.htm.csv"));
}

TEST_F(PageTest, RunsDoNotChangeFolderTimes) {
  set.ShowNewMark = true;  // a snapshot is written too
  Run();
  Run();
  std::error_code ec;
  const auto time_text = [&](const std::string& path) {
    FolderId id;
    FileTime modified;
    EXPECT_TRUE(StatFolder(path, id, modified));
    return FileTimeText(modified);
  };
  EXPECT_EQ(time_text(tree / "a"), "2001/02/04 05:01");
  EXPECT_EQ(time_text(tree / "a/b"), "2001/02/04 05:00");
  // Marks off: the old snapshots go, and with them every file set aside by the runs.
  set.ShowNewMark = false;
  set.ShowUpdateMark = false;
  Run();
  EXPECT_EQ(time_text(tree / "a"), "2001/02/04 05:01");
  EXPECT_EQ(time_text(tree / "a/b"), "2001/02/04 05:00");
  for (const auto& e : std::filesystem::recursive_directory_iterator(root)) {
    const std::string name = e.path().filename().string();
    EXPECT_FALSE(name.starts_with(".") || name == "index.htm.csv") << e.path();
  }
}

TEST_F(PageTest, SnapshotOfUnusualNamesKeepsThemUnmarked) {
  set.ShowNewMark = true;
  set.ShowUpdateMark = true;
  set.NewMarkText = "<NEW>";
  set.UpdateMarkText = "<UP>";
  for (const char* name :
       {"say \"hi\", bye.mp3", "line\nbreak.mp3", "다운로드.mp3", "raw\xFF.mp3", "&#9834;.mp3"})
    WriteFile(tree / name, "x");
  Run();
  Run();
  const std::string page = ReadFile(tree / "index.htm");
  EXPECT_EQ(page.find("<NEW>"), std::string::npos);
  EXPECT_EQ(page.find("<UP>"), std::string::npos);
  // Characters CP932 lacks reach the page as references; invalid bytes as U+FFFD.
  EXPECT_NE(page.find(">&#45796;&#50868;&#47196;&#46300;.mp3</A>"), std::string::npos);
  EXPECT_NE(page.find("raw&#65533;.mp3</A>"), std::string::npos);
  EXPECT_NE(page.find("HREF=\"/files/raw%FF.mp3\""), std::string::npos);
  EXPECT_NE(page.find(">&amp;#9834;.mp3</A>"), std::string::npos);
}

TEST_F(PageTest, APageThatCannotBeWrittenKeepsItsOldSnapshot) {
  set.ShowNewMark = true;
  set.NewMarkText = "<NEW>";
  MakeFolders(tree / "a/index.htm");  // a folder where a's page would go
  WriteFile(tree / "a/index.htm.csv", "\"F\",\"old\",\"t\",\"1\"\r\n");
  const RunResult result = Run();
  EXPECT_FALSE(result.report.AllWritten());
  // The reason is the system's: a folder holds the page's name.
  EXPECT_EQ(
      result.report.problems,
      (std::vector<RunProblem>{{ProblemKind::kPageNotWritten, tree / "a/", "Is a directory"}}));
  EXPECT_EQ(ReadFile(tree / "a/index.htm.csv"), "\"F\",\"old\",\"t\",\"1\"\r\n");
  // The folder named like the page file is walked like any other, and a's page is not gathered
  // into the work list.
  EXPECT_TRUE(FileExists(tree / "a/index.htm/index.htm"));
  EXPECT_EQ(result.work_list, (Lines{root, tree / "a/b/", tree / "a/index.htm/"}));
  // No temporary file is left behind.
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(tree / "a")) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, 4u);  // b, index.htm (folder), index.htm.csv, y.txt
}

TEST_F(PageTest, EmptyFolderAndEmptyTemplates) {
  WriteFile(program / "VELDRA-Head-htm.txt", "");
  WriteFile(program / "VELDRA-Foot-htm.txt", "");
  MakeFolders(tree / "empty");
  set.ShowUpdateMark = true;
  Run();
  EXPECT_EQ(ReadFile(program / "VELDRA-Head-htm.txt"), "");  // an existing template stays
  const Lines page = FileLines(tree / "empty/index.htm");
  ASSERT_EQ(page.size(), 11u);
  EXPECT_EQ(page[0], "List of <FONT SIZE=\"+2\">/files/empty/</FONT><BR>");
  EXPECT_EQ(page[1], "List create date = 2000/01/02 14:05 [ Dir = 0 / Files = 0 ]<BR>");
  EXPECT_EQ(Lines(page.end() - 2, page.end()), (Lines{"<!--AA_TAG_DIRtoFILE-->", "</TABLE>"}));
  // Only the update mark wanted: the snapshot is written, empty here.
  EXPECT_TRUE(FileExists(tree / "empty/index.htm.csv"));
  EXPECT_EQ(ReadFile(tree / "empty/index.htm.csv"), "");
}

}  // namespace
}  // namespace veldra

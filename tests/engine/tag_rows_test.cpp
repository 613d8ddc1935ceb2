// File and folder rows with TAGS=ALL, another code page, and the PLAY TIME and BITRATE columns.

#include <gtest/gtest.h>

#include "engine/folder_page.h"
#include "engine/table_rows.h"
#include "tests/engine/engine_test_util.h"
#include "tests/support/temp_dir.h"

namespace veldra {

using test::FileRow;

namespace {

using test::TempDir;
using test::WriteFile;

struct Fixture {
  explicit Fixture(const std::string& root) : set(test::DefaultSet(root, "/f/")) {
    run.RootPath = root;
    run.RootUrl = "/f/";
    run.OutputFileName = "index.htm";
    run.FolderMark = "(DIR)";
    run.FileMark = "<BR>";
    run.genres[17] = "Rock";
  }
  PageContext Context() const { return PageContext{run, set, clock}; }
  RunContext run;
  EnvironmentSet set;
  test::FixedClock clock;
};

// An ID3v2.3 tag with a title that needs escaping and a genre reference, then two MPEG frames
// of 417 bytes at 128 kbit/s, then an ID3v1 block with an artist and track 7.
std::string TaggedMp3() {
  const std::string title = std::string("\x03") + "<b>A&B</b>";
  const auto frame = [](const std::string& id, const std::string& body) {
    return id + std::string{0, 0, 0, static_cast<char>(body.size())} + std::string(2, '\0') + body;
  };
  const std::string frames = frame("TIT2", title) + frame("TCON", std::string("\x00(17)", 5));
  std::string bytes = "ID3\x03" + std::string(2, '\0') +
                      std::string{0, 0, 0, static_cast<char>(frames.size())} + frames;
  for (int i = 0; i < 2; ++i) {
    std::string mpeg = std::string("\xff\xfb\x90\x00", 4);
    mpeg.resize(417, '\0');
    bytes += mpeg;
  }
  const std::string v1 = test::Mp3("V1 Title", "V1 Artist", "note", 7, 17);
  return bytes + v1.substr(v1.size() - 128);
}

TEST(TagRows, AllModeCellsComeFromEverySourceEscapedAndStreamColumnsFilled) {
  TempDir dir;
  WriteFile(dir.path() + "a.mp3", TaggedMp3());
  WriteFile(dir.path() + "b.txt", "text");
  Fixture f(dir.path());
  f.set.ReadAllTags = true;
  f.set.OutputColumns = {"ID3-TITLE", "ID3-ARTIST", "ID3-GENRE",
                         "ID3-TRACK", "PLAY TIME",  "BITRATE"};
  EXPECT_TRUE(UsesTagReader(f.set));
  EXPECT_EQ(FileRow(f.Context(), dir.path(), "a.mp3", "t", 1000, ""),
            "<TR><TD><BR></TD><TD><A HREF=\"/f/a.mp3\">a.mp3</A></TD>"
            "<TD>&lt;b&gt;A&amp;B&lt;/b&gt;</TD><TD>V1 Artist</TD><TD>Rock</TD><TD>07</TD>"
            "<TD align=right>0:00</TD><TD align=right>128kbps</TD></TR>");
  EXPECT_EQ(FileRow(f.Context(), dir.path(), "b.txt", "t", 4, ""),
            "<TR><TD><BR></TD><TD><A HREF=\"/f/b.txt\">b.txt</A></TD><TD><BR></TD><TD><BR></TD>"
            "<TD><BR></TD><TD><BR></TD><TD align=right><BR></TD><TD align=right><BR></TD></TR>");
  EXPECT_EQ(FolderRow(f.Context(), dir.path(), "sub", ""),
            "<TR><TD>(DIR)</TD><TD><A HREF=\"/f/sub/index.htm\">sub</A></TD><TD><BR></TD>"
            "<TD><BR></TD><TD><BR></TD><TD><BR></TD><TD><BR></TD><TD><BR></TD></TR>");

  // The page built through the batch path gives the same row.
  const EntryTable files = {Entry{"a.mp3", "t", "1000", 1000, {}}};
  const std::string page = BuildFolderPage(f.Context(), dir.path(), {}, files, {});
  EXPECT_NE(page.find("<TD>V1 Artist</TD><TD>Rock</TD><TD>07</TD><TD align=right>0:00</TD>"),
            std::string::npos);
}

TEST(TagRows, ClassicModeKeepsId3v1CellsAndAddsStreamColumnsForMp3NamesOnly) {
  TempDir dir;
  WriteFile(dir.path() + "a.mp3", TaggedMp3());
  WriteFile(dir.path() + "amp3", TaggedMp3());
  WriteFile(dir.path() + "c.flac", TaggedMp3());
  Fixture f(dir.path());
  f.set.OutputColumns = {"ID3-TITLE", "ID3-TRACK"};
  EXPECT_FALSE(UsesTagReader(f.set));
  const std::string classic = FileRow(f.Context(), dir.path(), "a.mp3", "t", 1000, "");
  EXPECT_NE(classic.find("<TD>V1 Title</TD><TD>07</TD>"), std::string::npos);

  f.set.OutputColumns = {"ID3-TITLE", "ID3-TRACK", "BITRATE"};
  EXPECT_TRUE(UsesTagReader(f.set));
  EXPECT_EQ(FileRow(f.Context(), dir.path(), "a.mp3", "t", 1000, ""),
            classic.substr(0, classic.size() - 5) + "<TD align=right>128kbps</TD></TR>");
  EXPECT_NE(FileRow(f.Context(), dir.path(), "amp3", "t", 1000, "").find("128kbps"),
            std::string::npos);
  EXPECT_NE(FileRow(f.Context(), dir.path(), "c.flac", "t", 1000, "")
                .find("<TD><BR></TD><TD><BR></TD><TD align=right><BR></TD>"),
            std::string::npos);

  // Another code page decodes the ID3v1 text with it.
  f.set.OutputColumns = {"ID3-TITLE"};
  f.set.CodePage = "1252";
  EXPECT_TRUE(UsesTagReader(f.set));
  EXPECT_NE(FileRow(f.Context(), dir.path(), "a.mp3", "t", 1000, "").find("<TD>V1 Title</TD>"),
            std::string::npos);
  // Without a tag or stream column nothing is read, whatever the mode.
  f.set.ReadAllTags = true;
  f.set.OutputColumns = {"FILE SIZE"};
  EXPECT_FALSE(UsesTagReader(f.set));
}

}  // namespace
}  // namespace veldra

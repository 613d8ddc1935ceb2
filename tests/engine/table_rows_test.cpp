#include "engine/table_rows.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/folder_page.h"
#include "engine/html_text.h"
#include "engine/page_head.h"
#include "platform/cp932.h"
#include "platform/text_file.h"

#include "tests/engine/engine_test_util.h"
#include "tests/support/temp_dir.h"

namespace veldra {

using test::FileRow;

namespace {

using test::TempDir;
using test::WriteFile;

TEST(SizeTexts, HalvesRoundAwayFromZero) {
  EXPECT_EQ(KilobyteText(0) + MegabyteText(0), "0KB(0.0MB)");
  EXPECT_EQ(KilobyteText(500) + MegabyteText(500), "0KB(0.0MB)");
  EXPECT_EQ(KilobyteText(600) + MegabyteText(600), "1KB(0.0MB)");
  EXPECT_EQ(KilobyteText(511), "0KB");
  EXPECT_EQ(KilobyteText(512), "1KB");          // exactly half a KiB
  EXPECT_EQ(KilobyteText(2560), "3KB");         // 2.5 KiB: printf would give 2
  EXPECT_EQ(KilobyteText(3584), "4KB");         // 3.5 KiB
  EXPECT_EQ(MegabyteText(3407872), "(3.3MB)");  // exactly 3.25 MiB: printf would give 3.2
  EXPECT_EQ(MegabyteText(1048576 + 104857), "(1.1MB)");
  EXPECT_EQ(MegabyteText(104857), "(0.1MB)");  // 0.09999990...
  EXPECT_EQ(MegabyteText(52428), "(0.0MB)");   // just below 0.05
  EXPECT_EQ(MegabyteText(52429), "(0.1MB)");
  EXPECT_EQ(MegabyteText(1048576 * 10 - 1), "(10.0MB)");
}

TEST(SizeTexts, SixtyFourBitSizes) {
  const int64_t five_gib = int64_t{5} << 30;
  EXPECT_EQ(KilobyteText(five_gib) + MegabyteText(five_gib), "5242880KB(5120.0MB)");
  const int64_t two_gib = int64_t{2} << 30;
  EXPECT_EQ(KilobyteText(two_gib) + MegabyteText(two_gib), "2097152KB(2048.0MB)");
  EXPECT_EQ(MegabyteText(INT64_MAX), "(8796093022208.0MB)");
  EXPECT_EQ(KilobyteText(INT64_MAX), "9007199254740992KB");
}

// A row context over a tree at root served at /files/, with the default set.
struct RowFixture {
  explicit RowFixture(const std::string& root = "/r/") : set(test::DefaultSet(root, "/files/")) {
    run.RootPath = root;
    run.RootUrl = "/files/";
    run.OutputFileName = "index.htm";
    run.FolderMark = "(DIR)";
    run.FileMark = "<BR>";
  }
  PageContext Context() const { return PageContext{run, set, clock}; }

  RunContext run;
  EnvironmentSet set;
  test::FixedClock clock;
};

TEST(Rows, SizeColumnWithoutTags) {
  RowFixture f;
  f.set.ProcessId3 = false;
  EXPECT_EQ(FolderRow(f.Context(), "/r/a/", "b", ""),
            "<TR><TD>(DIR)</TD><TD><A HREF=\"/files/a/b/index.htm\">b</A></TD><TD><BR></TD></TR>");
  EXPECT_EQ(FileRow(f.Context(), "/r/a/", "x.mp3", "2000/01/02 03:04", 600, ""),
            "<TR><TD><BR></TD><TD><A HREF=\"/files/a/x.mp3\">x.mp3</A></TD>"
            "<TD align=right>1KB(0.0MB)</TD></TR>");
  // On the root's page links are RootUrl and the name.
  EXPECT_EQ(FileRow(f.Context(), "/r/", "x.mp3", "t", 0, ""),
            "<TR><TD><BR></TD><TD><A HREF=\"/files/x.mp3\">x.mp3</A></TD>"
            "<TD align=right>0KB(0.0MB)</TD></TR>");
}

TEST(Rows, MarksAndAttributes) {
  RowFixture f;
  f.run.TdAttributes = " class=c";
  f.run.FileMark = "♪";
  f.set.OutputColumns = {"FILE SIZE", "time stamp"};
  EXPECT_EQ(FileRow(f.Context(), "/r/", "a.txt", "2000/01/02 03:04", 3407872, "<b>new</b>"),
            "<TR><TD class=c>♪</TD><TD class=c><A HREF=\"/files/a.txt\">a.txt</A><b>new</b></TD>"
            "<TD align=right class=c>(3.3MB)</TD><TD class=c>2000/01/02 03:04</TD></TR>");
  EXPECT_EQ(FolderRow(f.Context(), "/r/", "d", "<UP>"),
            "<TR><TD class=c>(DIR)</TD><TD class=c><A HREF=\"/files/d/index.htm\">d</A><UP></TD>"
            "<TD class=c><BR></TD><TD class=c><BR></TD></TR>");
}

TEST(Rows, UntrustedNamesAreEscapedAndEncoded) {
  RowFixture f;
  f.set.ProcessId3 = false;
  const std::string name = "R&B <live> \"#1\" 100%?.mp3 ";
  EXPECT_EQ(FileRow(f.Context(), "/r/a b/", name, "t", 0, ""),
            "<TR><TD><BR></TD><TD><A HREF=\"/files/a%20b/R&amp;B%20&lt;live&gt;%20&quot;%231&quot;"
            "%20100%25%3F.mp3%20\">R&amp;B &lt;live&gt; &quot;#1&quot; 100%?.mp3 </A></TD>"
            "<TD align=right>0KB(0.0MB)</TD></TR>");
  EXPECT_EQ(FolderRow(f.Context(), "/r/", "<script>", ""),
            "<TR><TD>(DIR)</TD><TD><A HREF=\"/files/&lt;script&gt;/index.htm\">&lt;script&gt;</A>"
            "</TD><TD><BR></TD></TR>");
  // A line break in a name would split the row over two lines of the page.
  EXPECT_EQ(FolderRow(f.Context(), "/r/", "a\r\nb", ""),
            "<TR><TD>(DIR)</TD><TD><A HREF=\"/files/a%0D%0Ab/index.htm\">a&#13;&#10;b</A>"
            "</TD><TD><BR></TD></TR>");
}

TEST(Rows, HideExtensionShortensOnlyTheFileLinkText) {
  RowFixture f;
  f.set.ProcessId3 = true;
  f.set.OutputColumns.clear();
  f.set.HideExtension = true;
  EXPECT_EQ(FileRow(f.Context(), "/r/", "a.b.mp3", "t", 0, ""),
            "<TR><TD><BR></TD><TD><A HREF=\"/files/a.b.mp3\">a.b</A></TD></TR>");
  EXPECT_EQ(FileRow(f.Context(), "/r/", ".htaccess", "t", 0, ""),
            "<TR><TD><BR></TD><TD><A HREF=\"/files/.htaccess\"></A></TD></TR>");
  EXPECT_EQ(FileRow(f.Context(), "/r/", "noext", "t", 0, ""),
            "<TR><TD><BR></TD><TD><A HREF=\"/files/noext\">noext</A></TD></TR>");
  EXPECT_EQ(FolderRow(f.Context(), "/r/", "x.y", ""),
            "<TR><TD>(DIR)</TD><TD><A HREF=\"/files/x.y/index.htm\">x.y</A></TD></TR>");
}

TEST(Rows, TagColumns) {
  TempDir dir;
  RowFixture f(dir.path());
  f.set.OutputColumns = {"ID3-TITLE", "ID3-ARTIST", "ID3-ALBUM", "ID3-COMMENT",
                         "ID3-YEAR",  "ID3-GENRE",  "ID3-TRACK", "FILE NAME"};
  f.run.genres[8] = "R&B";
  WriteFile(dir / "t.mp3", test::Mp3("Rock & <Roll>", "東京の歌手", "Note", 7, 8));
  EXPECT_EQ(FileRow(f.Context(), dir.path(), "t.mp3", "t", 428, ""),
            "<TR><TD><BR></TD><TD><A HREF=\"/files/t.mp3\">t.mp3</A></TD>"
            "<TD>Rock &amp; &lt;Roll&gt;</TD><TD>東京の歌手</TD><TD><BR></TD><TD>Note</TD>"
            "<TD align=center>1999</TD><TD>R&amp;B</TD><TD>07</TD></TR>");
  // A genre the genre file did not name.
  WriteFile(dir / "g.mp3", test::Mp3("T", "", "", 0, 9));
  EXPECT_EQ(FileRow(f.Context(), dir.path(), "g.mp3", "t", 428, ""),
            "<TR><TD><BR></TD><TD><A HREF=\"/files/g.mp3\">g.mp3</A></TD>"
            "<TD>T</TD><TD><BR></TD><TD><BR></TD><TD><BR></TD>"
            "<TD align=center>1999</TD><TD><BR></TD><TD><BR></TD></TR>");
}

TEST(Rows, FilesWithoutReadableTagKeepTheirRow) {
  TempDir dir;
  RowFixture f(dir.path());
  f.set.OutputColumns = {"FILE SIZE", "ID3-TITLE", "ID3-YEAR", "ID3-GENRE", "ID3-TRACK"};
  f.run.genres[0] = "Blues";
  const std::string empty_cells =
      "<TD><BR></TD><TD align=center><BR></TD><TD><BR></TD><TD><BR></TD></TR>";
  WriteFile(dir / "short.mp3", std::string(100, 'U'));      // shorter than a tag
  WriteFile(dir / "untagged.mp3", std::string(1000, 'U'));  // no "TAG" marker
  WriteFile(dir / "other.txt", test::Mp3("Not read", "", "", 1, 0));
  for (const char* name : {"short.mp3", "untagged.mp3", "other.txt", "gone.mp3"}) {
    EXPECT_EQ(FileRow(f.Context(), dir.path(), name, "t", 100, ""),
              "<TR><TD><BR></TD><TD><A HREF=\"/files/" + std::string(name) + "\">" + name +
                  "</A></TD><TD align=right>(0.0MB)</TD>" + empty_cells)
        << name;
  }
}

TEST(Rows, ColumnKeysOutsideTheNine) {
  RowFixture f;
  f.set.OutputColumns = {"FILE NAME", "nonsense"};
  EXPECT_EQ(FileRow(f.Context(), "/r/", "a", "t", 0, ""),
            "<TR><TD><BR></TD><TD><A HREF=\"/files/a\">a</A></TD></TR>");
  EXPECT_EQ(FolderRow(f.Context(), "/r/", "d", ""),
            "<TR><TD>(DIR)</TD><TD><A HREF=\"/files/d/index.htm\">d</A></TD>"
            "<TD><BR></TD><TD><BR></TD></TR>");
}

// Texts that stress the conversion: markup, line breaks, bytes that are not UTF-8 (alone, cut
// short, overlong, surrogates), characters CP932 lacks or maps one way, and combining marks.
const std::vector<std::string> kTrickyTexts = {
    "",
    "plain",
    "a&b<c>\"d'",
    "x\r\ny",
    "bad\xE3\x81x",
    "\x80\xFF",
    "\xC0\xAF\xED\xA0\x80",
    "emoji \xF0\x9F\x98\x80 \xE2\x91\xA0",
    "半角ｶﾅ ＡＢＣ",
    "〜～‖∥－−¢£¬",
    "%#? \\\t\x7F",
    "ß Σ",
    "表\xCC\x81",
    "\xE3\x81",
};

// Rows written straight into a page's CP932 bytes, text by text, equal the UTF-8 rows converted
// whole afterwards, for tricky names, tag fields, marks and settings (some of them not UTF-8).
TEST(Rows, WrittenDirectlyEqualConvertedRows) {
  RowFixture f;
  f.set.OutputColumns = {"FILE SIZE", "TIME STAMP",  "ID3-TITLE", "ID3-ARTIST",
                         "ID3-ALBUM", "ID3-COMMENT", "ID3-YEAR",  "ID3-GENRE",
                         "ID3-TRACK", "PLAY TIME",   "BITRATE"};
  size_t checked = 0;
  for (const std::string& setting : kTrickyTexts) {
    f.run.TdAttributes = setting.empty() ? "" : " title=\"" + setting + "\"";
    f.run.FileMark = setting;
    f.run.RootUrl = "/files/" + setting;
    f.run.genres[3] = setting;
    for (const bool all_tags : {false, true}) {
      f.set.ReadAllTags = all_tags;
      f.set.HideExtension = all_tags;
      for (const std::string& folder : {std::string("/r/"), "/r/" + setting + "/"}) {
        RowWriter writer(f.Context(), folder);
        PageBuffer direct;
        std::string converted;
        for (const std::string& text : kTrickyTexts) {
          Id3Tag tag;
          tag.Marker = "TAG";
          tag.Title = text;
          tag.Artist = "  " + text + std::string(3, '\0') + "cut";
          tag.Genre = 3;
          tag.comment_tail[0] = 0;
          tag.comment_tail[1] = 9;
          FileTags more;
          more.fields.title = text;
          more.fields.genre = text;
          more.stream.milliseconds = 61000;
          const std::string name = text + ".mp3";
          writer.AddFileRow(direct, name, text, 5000000, text, tag, &more);
          AppendCp932Line(
              converted, FileRowWithTag(f.Context(), folder, name, text, 5000000, text, tag, &more),
              Cp932Escape::kHtml);
          writer.AddFolderRow(direct, text, setting);
          AppendCp932Line(converted, FolderRow(f.Context(), folder, text, setting),
                          Cp932Escape::kHtml);
          checked += 2;
        }
        ASSERT_EQ(direct.bytes(), converted) << "setting: " << setting << " folder: " << folder;
      }
    }
  }
  EXPECT_EQ(checked, kTrickyTexts.size() * kTrickyTexts.size() * 2 * 2 * 2);
}

// The escaping and link encoding that convert as they go equal converting afterwards.
TEST(Rows, EscapingInCp932EqualsConvertingAfter) {
  for (const std::string& text : kTrickyTexts) {
    std::string escaped, href;
    AppendEscapedText(escaped, text, TextForm::kCp932);
    AppendHrefPath(href, text, TextForm::kCp932);
    EXPECT_EQ(escaped, EncodeCp932(EscapeText(text), Cp932Escape::kHtml)) << text;
    EXPECT_EQ(href, EncodeCp932(EncodeHrefPath(text), Cp932Escape::kHtml)) << text;
  }
}

}  // namespace
}  // namespace veldra

namespace veldra {
namespace {

// A folder large enough that two threads build its file rows: every row in its place, with the
// mark and tag a row built alone gets.
TEST(BuildFolderPage, LargeFolderRowsInOrderWithMarksAndTags) {
  TempDir dir;
  RowFixture f(dir.path());
  f.run.MarksWanted = true;
  f.set.ShowNewMark = true;
  f.set.NewMarkText = "<b>new</b>";
  EntryTable files;
  FolderSnapshot previous;
  for (int i = 0; i < 9001; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "f%05d.mp3", i);
    Entry entry;
    entry.name = name;
    entry.time_text = "2000/01/02 03:04";
    if (i % 1000 == 7) {  // tagged files in both halves
      WriteFile(dir / name, test::Mp3("Title " + std::to_string(i), "A", "B", 1, 2));
      entry.size = static_cast<int64_t>(std::filesystem::file_size(dir / name));
    }
    entry.size_text = SizeText(entry.size);
    if (i % 2 == 0) previous.push_back(SnapshotRecord{"F", name, entry.time_text, entry.size_text});
    files.push_back(std::move(entry));
  }
  const std::string page = BuildFolderPage(f.Context(), dir.path(), {}, files, previous);
  PageBuffer rows;
  for (size_t i = 0; i < files.size(); ++i) {
    rows.AddLine(FileRow(f.Context(), dir.path(), files[i].name, files[i].time_text, files[i].size,
                         i % 2 == 0 ? "" : "<b>new</b>"));
  }
  const size_t first = page.rfind("<TR>", page.find("f00000"));
  ASSERT_NE(first, std::string::npos);
  EXPECT_EQ(page.substr(first, rows.bytes().size()), rows.bytes());
  EXPECT_NE(rows.bytes().find("Title 8007"), std::string::npos);
  EXPECT_EQ(page.substr(first + rows.bytes().size(), 8), "</TABLE>");
}

}  // namespace
}  // namespace veldra

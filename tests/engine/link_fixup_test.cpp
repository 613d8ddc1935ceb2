#include "engine/link_fixup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <initializer_list>

#include "platform/cp932.h"
#include "platform/file_system.h"
#include "platform/text_file.h"
#include "tests/support/temp_dir.h"

namespace veldra {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// A page as the page writer lays it out, with the parts a test cares about.
struct PageParts {
  std::vector<std::string> header = {"<HTML><BODY>"};
  std::vector<std::string> nav;
  std::vector<std::string> folder_rows;
  std::vector<std::string> file_rows;
};

std::string Join(std::initializer_list<const std::vector<std::string>*> parts) {
  std::string out;
  for (const auto* part : parts)
    for (const std::string& line : *part) out += line + "\r\n";
  return out;
}

std::string PageBytes(const PageParts& p) {
  const std::vector<std::string> title = {"List of <FONT SIZE=\"+2\">/files/</FONT><BR>", "<HR>",
                                          "<!--AA_TAG_START-->"};
  const std::vector<std::string> head_end = {"<!--AA_TAG_END-->", "<HR>", "<TABLE border=1>",
                                             "<TR><TH><BR></TH><TH>x</TH></TR>"};
  const std::vector<std::string> dir_to_file = {"<!--AA_TAG_DIRtoFILE-->"};
  const std::vector<std::string> end = {"</TABLE>", "</BODY></HTML>"};
  return EncodeCp932(Join({&p.header, &title, &p.nav, &head_end, &p.folder_rows, &dir_to_file,
                           &p.file_rows, &end}),
                     Cp932Escape::kHtml);
}

std::string FolderRow(const std::string& href, const std::string& text) {
  return "<TR><TD>(DIR)</TD><TD><A HREF=\"" + href + "\">" + text + "</A></TD><TD><BR></TD></TR>";
}
std::string NavLine(const std::string& href, const std::string& rel) {
  return "<A HREF=\"" + href + "\">← /" + rel + "</A><BR>";
}

std::vector<std::string> Lines(const std::string& path) {
  std::vector<std::string> lines;
  EXPECT_TRUE(ReadTextLines(path, Cp932Escape::kHtml, lines)) << path;
  return lines;
}

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class FixUpLinksTest : public ::testing::Test {
 protected:
  FixUpLinksTest() {
    context.RootPath = tree.path() + "root/";
    context.RootUrl = "/files/";
    context.OutputFileName = "index.htm";
    test::MakeFolders(out);
  }
  FixUpResult Run(const std::vector<std::string>& folders) {
    std::vector<std::string> work_list;
    for (const std::string& f : folders) work_list.push_back(context.RootPath + f);
    return FixUpLinks(context, out, "/pages/", work_list);
  }
  void WritePage(const std::string& folder, const PageParts& parts) {
    WriteFile(context.RootPath + folder + "index.htm", PageBytes(parts));
  }

  TempDir tree;
  RunContext context;
  std::string out = tree.path() + "out/";
};

TEST_F(FixUpLinksTest, SingleRootPageLosesOnlyItsMarkers) {
  PageParts root;
  root.file_rows = {"<TR><TD><BR></TD><TD><A HREF=\"/files/x.mp3\">x.mp3</A></TD></TR>"};
  WritePage("", root);
  const FixUpResult r = Run({""});
  EXPECT_EQ(r.pages_gathered, 1u);
  EXPECT_TRUE(r.pages_not_gathered.empty());
  EXPECT_TRUE(r.problems.empty());
  EXPECT_FALSE(FileExists(context.RootPath + "index.htm"));
  const std::string gathered = ReadFile(out + "index00000.htm");
  std::string expected = PageBytes(root);
  for (const char* marker :
       {"<!--AA_TAG_START-->\r\n", "<!--AA_TAG_END-->\r\n", "<!--AA_TAG_DIRtoFILE-->\r\n"})
    expected.erase(expected.find(marker), std::string(marker).size());
  EXPECT_EQ(gathered, expected);
}

TEST_F(FixUpLinksTest, RootWithTwoFoldersLinksNumberedPages) {
  PageParts root;
  root.header.push_back("<A HREF=\"/files/a/index.htm\">header link</A>");
  root.folder_rows = {FolderRow("/files/a/index.htm", "a"), FolderRow("/files/B/index.htm", "B")};
  root.file_rows = {"<TR><TD><BR></TD><TD><A HREF=\"/files/x.mp3\">x.mp3</A></TD></TR>"};
  WritePage("", root);
  PageParts a;
  a.nav = {NavLine("/files/index.htm", "")};
  a.file_rows = {"<TR><TD><BR></TD><TD><A HREF=\"/files/a/y.mp3\">y.mp3</A></TD></TR>"};
  WritePage("a/", a);
  PageParts b;
  b.nav = {NavLine("/files/index.htm", "")};
  WritePage("B/", b);

  const FixUpResult r = Run({"", "a/", "B/"});
  EXPECT_EQ(r.pages_gathered, 3u);
  EXPECT_TRUE(r.problems.empty());
  for (const char* folder : {"", "a/", "B/"})
    EXPECT_FALSE(FileExists(context.RootPath + folder + "index.htm")) << folder;

  const auto root_lines = Lines(out + "index00000.htm");
  EXPECT_TRUE(Contains(root_lines, FolderRow("/pages/index00001.htm", "a")));
  EXPECT_TRUE(Contains(root_lines, FolderRow("/pages/index00002.htm", "B")));
  EXPECT_TRUE(Contains(root_lines, "<A HREF=\"/files/a/index.htm\">header link</A>"));
  EXPECT_TRUE(Contains(root_lines, root.file_rows[0]));
  EXPECT_FALSE(Contains(root_lines, "<!--AA_TAG_DIRtoFILE-->"));

  for (const char* page : {"index00001.htm", "index00002.htm"}) {
    const auto lines = Lines(out + page);
    EXPECT_TRUE(Contains(lines, NavLine("/pages/index00000.htm", ""))) << page;
    EXPECT_FALSE(Contains(lines, "<!--AA_TAG_START-->")) << page;
  }
  EXPECT_TRUE(Contains(Lines(out + "index00001.htm"), a.file_rows[0]));
}

TEST_F(FixUpLinksTest, DeletesOnlyOldGatheredPages) {
  for (const char* name : {"index00007.htm", "INDEX12.HTM", "index123456.htm", "index-notes.htm",
                           "indexA.htm", "index.htm", "index.html", "other00001.htm",
                           "index00001.html", "index1.htm", "INDEX2019.HTM", "index000001.htm"})
    WriteFile(out + name, "old");
  std::filesystem::create_directory(out + "index00003.htm");  // a folder is never removed
  // A killed pass's temporary file goes; look-alikes stay.
  WriteFile(out + ".index00004.htm.tmp-ab12cd34", "half");
  for (const char* name : {".index1.htm.tmp-ab12cd34", ".index00004.htm.tmp-AB12CD34"})
    WriteFile(out + name, "old");
  WritePage("", {});
  Run({""});
  for (const char* gone : {"index00007.htm", "index123456.htm"})
    EXPECT_FALSE(FileExists(out + gone)) << gone;
  EXPECT_TRUE(std::filesystem::is_directory(out + "index00003.htm"));
  EXPECT_FALSE(FileExists(out + ".index00004.htm.tmp-ab12cd34"));
  for (const char* kept :
       {"index-notes.htm", "indexA.htm", "index.htm", "index.html", "other00001.htm",
        "index00001.html", "INDEX12.HTM", "index1.htm", "INDEX2019.HTM", "index000001.htm",
        ".index1.htm.tmp-ab12cd34", ".index00004.htm.tmp-AB12CD34"})
    EXPECT_EQ(ReadFile(out + kept), "old") << kept;
  EXPECT_TRUE(FileExists(out + "index00000.htm"));
}

TEST_F(FixUpLinksTest, OutputFolderInsideTheTreeKeepsItsPagesAndTimes) {
  out = context.RootPath;
  PageParts root;
  root.folder_rows = {FolderRow("/files/a/index.htm", "a")};
  WritePage("", root);
  PageParts a;
  a.nav = {NavLine("/files/index.htm", "")};
  WritePage("a/", a);
  WriteFile(out + "index-notes.htm", "mine");
  const auto old_time = std::filesystem::file_time_type(std::chrono::seconds(1'000'000'000));
  for (const char* f : {"", "a/"}) std::filesystem::last_write_time(context.RootPath + f, old_time);

  const FixUpResult r = FixUpLinks(context, out, "/files/", {out, out + "a/"});
  EXPECT_EQ(r.pages_gathered, 2u);
  EXPECT_TRUE(Contains(Lines(out + "index00000.htm"), FolderRow("/files/index00001.htm", "a")));
  EXPECT_TRUE(Contains(Lines(out + "index00001.htm"), NavLine("/files/index00000.htm", "")));
  EXPECT_FALSE(FileExists(out + "index.htm"));
  EXPECT_EQ(ReadFile(out + "index-notes.htm"), "mine");
  // Writing and deleting pages must not look like a change to the next run.
  for (const char* f : {"", "a/"})
    EXPECT_EQ(std::filesystem::last_write_time(context.RootPath + f), old_time) << f;
}

TEST_F(FixUpLinksTest, FolderNamedLikeThePageFileGetsItsOwnLink) {
  PageParts root;
  root.folder_rows = {FolderRow("/files/index.html/index.htm", "index.html"),
                      FolderRow("/files/index.htm.d/index.htm", "index.htm.d")};
  WritePage("", root);
  PageParts deep;
  deep.nav = {NavLine("/files/index.htm", ""),
              NavLine("/files/index.html/index.htm", "index.html/")};
  WritePage("index.html/", {});
  WritePage("index.htm.d/", {});
  WritePage("index.html/x/", deep);
  const FixUpResult r = Run({"", "index.htm.d/", "index.html/", "index.html/x/"});
  EXPECT_EQ(r.pages_gathered, 4u);
  const auto root_lines = Lines(out + "index00000.htm");
  EXPECT_TRUE(Contains(root_lines, FolderRow("/pages/index00002.htm", "index.html")));
  EXPECT_TRUE(Contains(root_lines, FolderRow("/pages/index00001.htm", "index.htm.d")));
  const auto deep_lines = Lines(out + "index00003.htm");
  EXPECT_TRUE(Contains(deep_lines, NavLine("/pages/index00000.htm", "")));
  EXPECT_TRUE(Contains(deep_lines, NavLine("/pages/index00002.htm", "index.html/")));
}

TEST_F(FixUpLinksTest, CaseTwinsEachGetTheirOwnPage) {
  PageParts root;
  root.folder_rows = {FolderRow("/files/A/index.htm", "A"), FolderRow("/files/a/index.htm", "a"),
                      FolderRow("/FILES/b/INDEX.HTM", "b")};
  WritePage("", root);
  for (const char* f : {"A/", "a/", "b/"}) WritePage(f, {});
  const FixUpResult r = Run({"", "A/", "a/", "b/"});
  EXPECT_EQ(r.pages_gathered, 4u);
  const auto lines = Lines(out + "index00000.htm");
  EXPECT_TRUE(Contains(lines, FolderRow("/pages/index00001.htm", "A")));
  EXPECT_TRUE(Contains(lines, FolderRow("/pages/index00002.htm", "a")));
  EXPECT_TRUE(Contains(lines, FolderRow("/pages/index00003.htm", "b")));
}

TEST_F(FixUpLinksTest, EncodedAndJapaneseNamesMapBackToTheirFolders) {
  context.RootUrl = "/files";  // no trailing slash: joined to the relative path as it is
  PageParts root;
  root.folder_rows = {FolderRow("/filesa%20b&amp;c%23/index.htm", "a b&amp;c#"),
                      FolderRow("/filesソ表/index.htm", "ソ表")};
  WritePage("", root);
  PageParts sub;
  sub.nav = {NavLine("/filesindex.htm", "")};
  WritePage("a b&c#/", sub);
  WritePage("ソ表/", sub);
  const FixUpResult r = Run({"", "a b&c#/", "ソ表/"});
  EXPECT_EQ(r.pages_gathered, 3u);
  EXPECT_TRUE(r.problems.empty());
  const auto lines = Lines(out + "index00000.htm");
  EXPECT_TRUE(Contains(lines, FolderRow("/pages/index00001.htm", "a b&amp;c#")));
  EXPECT_TRUE(Contains(lines, FolderRow("/pages/index00002.htm", "ソ表")));
  EXPECT_TRUE(Contains(Lines(out + "index00002.htm"), NavLine("/pages/index00000.htm", "")));
}

TEST_F(FixUpLinksTest, CopiedBytesStayAsTheyWere) {
  // 0xEE 0xEF and 0xFA 0x40 are both U+2170; a decode and re-encode would change the first.
  const std::string odd = "\xEE\xEF";
  std::string page = PageBytes({});
  page.insert(0, "<P>" + odd + "</P>\r\n");
  const std::string row =
      "<TR><TD>(DIR)</TD><TD><A HREF=\"/files/a/index.htm\">" + odd + "</A></TD></TR>\r\n";
  page.insert(page.find("<!--AA_TAG_DIRtoFILE-->"), row);
  WriteFile(context.RootPath + "index.htm", page);
  WritePage("a/", {});
  Run({"", "a/"});
  const std::string gathered = ReadFile(out + "index00000.htm");
  EXPECT_EQ(gathered.find("<P>" + odd + "</P>\r\n"), 0u);
  EXPECT_NE(gathered.find("<A HREF=\"/pages/index00001.htm\">" + odd + "</A>"), std::string::npos);
}

TEST_F(FixUpLinksTest, PagesThatCannotBeGatheredStayAndAreReported) {
  PageParts root;
  root.folder_rows = {FolderRow("/files/gone/index.htm", "gone")};
  WritePage("", root);
  WriteFile(context.RootPath + "plain/index.htm", "<HTML>no markers</HTML>\r\n");
  const FixUpResult r = Run({"", "missing/", "plain/"});
  EXPECT_EQ(r.pages_gathered, 1u);
  EXPECT_EQ(r.pages_not_gathered,
            (std::vector<std::string>{context.RootPath + "missing/", context.RootPath + "plain/"}));
  EXPECT_EQ(r.problems.size(), 3u);  // the unknown link, the unreadable and the foreign page
  EXPECT_EQ(ReadFile(context.RootPath + "plain/index.htm"), "<HTML>no markers</HTML>\r\n");
  // A link to a folder without a page is left as it was.
  EXPECT_TRUE(Contains(Lines(out + "index00000.htm"), root.folder_rows[0]));
}

TEST_F(FixUpLinksTest, MissingOutputFolderLeavesEveryPageInPlace) {
  WritePage("", {});
  WritePage("a/", {});
  out = tree.path() + "nowhere/";
  const FixUpResult r = Run({"", "a/"});
  EXPECT_EQ(r.pages_gathered, 0u);
  EXPECT_EQ(r.pages_not_gathered.size(), 2u);
  EXPECT_FALSE(r.problems.empty());
  EXPECT_TRUE(FileExists(context.RootPath + "index.htm"));
  EXPECT_TRUE(FileExists(context.RootPath + "a/index.htm"));
}

TEST(PageNumber, FiveDigitsOrMore) {
  EXPECT_EQ(FormatPageNumber(0), "00000");
  EXPECT_EQ(FormatPageNumber(42), "00042");
  EXPECT_EQ(FormatPageNumber(99999), "99999");
  EXPECT_EQ(FormatPageNumber(100000), "100000");
  EXPECT_EQ(FormatPageNumber(1234567), "1234567");
}

// Only names the pass could have written: a user's index1.htm or INDEX2019.HTM is not one.
TEST(GatheredPageName, OnlyBaseDigitsHtm) {
  EXPECT_TRUE(IsGatheredPageName("index00000.htm", "index"));
  EXPECT_TRUE(IsGatheredPageName("index123456.htm", "index"));
  EXPECT_TRUE(IsGatheredPageName("Index00007.htm", "index"));  // the base typed otherwise
  EXPECT_TRUE(IsGatheredPageName("ＩＮＤＥＸ00001.htm", "ｉｎｄｅｘ"));
  EXPECT_FALSE(IsGatheredPageName("Index7.HTM", "index"));
  EXPECT_FALSE(IsGatheredPageName("index1.htm", "index"));
  EXPECT_FALSE(IsGatheredPageName("INDEX2019.HTM", "index"));
  EXPECT_FALSE(IsGatheredPageName("index00001.HTM", "index"));
  EXPECT_FALSE(IsGatheredPageName("index012345.htm", "index"));  // never written zero-padded
  EXPECT_FALSE(IsGatheredPageName("index.htm", "index"));
  EXPECT_FALSE(IsGatheredPageName("index.htm", "index"));
  EXPECT_FALSE(IsGatheredPageName("index-notes.htm", "index"));
  EXPECT_FALSE(IsGatheredPageName("indexA.htm", "index"));
  EXPECT_FALSE(IsGatheredPageName("index1.html", "index"));
  EXPECT_FALSE(IsGatheredPageName("xindex1.htm", "index"));
  EXPECT_FALSE(IsGatheredPageName("index1a1.htm", "index"));
  EXPECT_TRUE(IsGatheredPageName("00012.htm", ""));
  EXPECT_FALSE(IsGatheredPageName("12.htm", ""));
}

// The last gathering's numbering, kept beside the set file: any bytes in a path survive; a
// damaged line keeps its place (so the numbers after it stay right); a file of another form is no
// list.
TEST(GatheredList, RoundTripsAndReadsDamageSafely) {
  TempDir dir;
  const std::vector<std::string> list = {"/r/", std::string("/r/a%\r\nb\0c/", 11), "/r/z/"};
  ASSERT_TRUE(WriteGatheredList(dir.path(), "s", list));
  EXPECT_EQ(ReadGatheredList(dir.path(), "s"), list);
  WriteFile(dir / "s.gathered", "VELDRA mp3+ gathered pages 1\n/r/\n/r/%4\n/r/z/\n/r/cut");
  EXPECT_EQ(ReadGatheredList(dir.path(), "s"), (std::vector<std::string>{"/r/", "", "/r/z/"}));
  WriteFile(dir / "s.gathered", "VELDRA mp3+ gathered pages 9\n/r/\n");
  EXPECT_TRUE(ReadGatheredList(dir.path(), "s").empty());
}

}  // namespace
}  // namespace veldra

#include "engine/page_head.h"

#include <gtest/gtest.h>

#include <utility>

#include "platform/cp932.h"
#include "platform/text_file.h"

#include "tests/engine/engine_test_util.h"

namespace veldra {
namespace {

using Lines = std::vector<std::string>;

RunContext Context(const std::string& root, const std::string& url) {
  RunContext run;
  run.RootPath = root;
  run.RootUrl = url;
  run.OutputFileName = "index.htm";
  return run;
}

TEST(NavigationLines, OneLinkPerEnclosingFolderRootFirst) {
  const RunContext run = Context("/srv/www/", "/files/");
  EXPECT_EQ(NavigationLines(run, "/srv/www/"), Lines());
  EXPECT_EQ(NavigationLines(run, "/srv/www/a/"), Lines{"<A HREF=\"/files/index.htm\">← /</A><BR>"});
  EXPECT_EQ(NavigationLines(run, "/srv/www/a/b/c/"),
            (Lines{"<A HREF=\"/files/index.htm\">← /</A><BR>",
                   "<A HREF=\"/files/a/index.htm\">← /a/</A><BR>",
                   "<A HREF=\"/files/a/b/index.htm\">← /a/b/</A><BR>"}));
}

TEST(NavigationLines, UntrustedNamesAreEncodedAndEscaped) {
  const RunContext run = Context("/r/", "/files/");
  EXPECT_EQ(
      NavigationLines(run, "/r/R&B <live>/#1 ?/x/"),
      (Lines{"<A HREF=\"/files/index.htm\">← /</A><BR>",
             "<A HREF=\"/files/R&amp;B%20&lt;live&gt;/index.htm\">← /R&amp;B &lt;live&gt;/</A><BR>",
             "<A HREF=\"/files/R&amp;B%20&lt;live&gt;/%231%20%3F/index.htm\">"
             "← /R&amp;B &lt;live&gt;/#1 ?/</A><BR>"}));
}

TEST(NavigationLines, RootUrlIsJoinedAsTyped) {
  // No "/" is added: a root URL without one runs into the relative path.
  const RunContext run = Context("/r/", "/files");
  EXPECT_EQ(NavigationLines(run, "/r/a/b/")[1], "<A HREF=\"/filesa/index.htm\">← /a/</A><BR>");
}

TEST(HeaderRow, DefaultColumnsAndTheTwoOtherForms) {
  RunContext run = Context("/r/", "/");
  EnvironmentSet set = test::DefaultSet("/r/", "/");
  EXPECT_EQ(HeaderRow(run, set),
            "<TR><TH><BR></TH><TH>ファイル/フォルダ</TH><TH>Size</TH><TH>Date</TH><TH>Title</TH>"
            "<TH>Artist</TH><TH>Album</TH><TH>Comment</TH><TH>Year</TH><TH>Genre</TH></TR>");
  run.ThAttributes = " bgcolor=red";
  set.OutputColumns = {"id3-track", "FILE NAME", "bogus"};
  EXPECT_EQ(HeaderRow(run, set),
            "<TR><TH bgcolor=red><BR></TH><TH bgcolor=red>ファイル/フォルダ</TH>"
            "<TH bgcolor=red>Tr</TH><TH bgcolor=red>Name</TH><TH bgcolor=red></TH></TR>");
  set.ProcessId3 = false;
  EXPECT_EQ(HeaderRow(run, set),
            "<TR><TH bgcolor=red><BR></TH><TH bgcolor=red>ファイル/フォルダ</TH>"
            "<TH bgcolor=red>size</TH></TR>");
  set.ProcessId3 = true;
  set.OutputColumns.clear();
  EXPECT_EQ(HeaderRow(run, set),
            "<TR><TH bgcolor=red><BR></TH><TH bgcolor=red>ファイル/フォルダ</TH></TR>");
}

Lines HeadLines(const RunContext& run, const EnvironmentSet& set, const std::string& folder,
                size_t folders, size_t files) {
  const test::FixedClock clock;
  PageBuffer page;
  WritePageHead(page, PageContext{run, set, clock}, folder, folders, files);
  return SplitLines(DecodeCp932(page.bytes(), Cp932Escape::kHtml));
}

TEST(WritePageHead, RootAndSubFolder) {
  RunContext run = Context("/srv/www/", "/files/");
  run.HeaderLines = {"<HTML>", ""};
  EnvironmentSet set = test::DefaultSet("/srv/www/", "/files/");
  set.HairlineText = "  <HR size=1> ";
  set.TableTag = " <TABLE> ";
  set.ProcessId3 = false;
  const std::string row = "<TR><TH><BR></TH><TH>ファイル/フォルダ</TH><TH>size</TH></TR>";
  EXPECT_EQ(
      HeadLines(run, set, "/srv/www/", 3, 12),
      (Lines{"<HTML>", "", "List of <FONT SIZE=\"+2\">/files/</FONT><BR>",
             "List create date = 2000/01/02 14:05 [ Dir = 3 / Files = 12 ]<BR>", "<HR size=1>",
             "<!--AA_TAG_START-->", "<!--AA_TAG_END-->", "", " <TABLE> ", row}));
  run.HeaderLines.clear();
  set.HairlineText = "";
  EXPECT_EQ(HeadLines(run, set, "/srv/www/a&b/", 0, 0),
            (Lines{"List of <FONT SIZE=\"+2\">/files/a&amp;b/</FONT><BR>",
                   "List create date = 2000/01/02 14:05 [ Dir = 0 / Files = 0 ]<BR>", "",
                   "<!--AA_TAG_START-->", "<A HREF=\"/files/index.htm\">← /</A><BR>",
                   "<!--AA_TAG_END-->", "", " <TABLE> ", row}));
}

// The navigation block is converted link text by link text as it is written: the same bytes as
// the links converted whole, also where settings hold bytes that are not UTF-8 (the root's link
// joins the root URL and the page name, so a character may span the two).
TEST(WritePageHead, NavigationBytesEqualConvertedLinks) {
  for (const auto& [url, page_name] : {std::pair<std::string, std::string>{"/files/", "index.htm"},
                                       {"/\xE3\x81", "\x82x.htm"},
                                       {"http://例/\xFF", "\x80ペ&#.htm"}}) {
    RunContext run = Context("/r/", url);
    run.OutputFileName = page_name;
    const EnvironmentSet set = test::DefaultSet("/r/", url);
    const std::string folder = "/r/a&b <c>/\xE3\x81 bad/表 \xF0\x9F\x98\x80/";
    const test::FixedClock clock;
    PageBuffer page;
    WritePageHead(page, PageContext{run, set, clock}, folder, 0, 0);
    std::string links;
    for (const std::string& line : NavigationLines(run, folder))
      AppendCp932Line(links, line, Cp932Escape::kHtml);
    ASSERT_EQ(NavigationLines(run, folder).size(), 3u);
    EXPECT_NE(page.bytes().find("<!--AA_TAG_START-->\r\n" + links + "<!--AA_TAG_END-->"),
              std::string::npos)
        << url;
  }
}

TEST(ReplaceChar, EveryOccurrence) {
  EXPECT_EQ(ReplaceChar("a\\b\\c\\", '\\', '/'), "a/b/c/");
  EXPECT_EQ(ReplaceChar("", '\\', '/'), "");
}

}  // namespace
}  // namespace veldra

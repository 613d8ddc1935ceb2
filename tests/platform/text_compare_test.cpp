#include "platform/text_compare.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace veldra {
namespace {

TEST(FoldCase, FoldsAsciiFullWidthAndSpecialCases) {
  EXPECT_EQ(FoldCase("Index.HTM"), "index.htm");
  EXPECT_EQ(FoldCase("ＡＢＣ"), "ａｂｃ");
  EXPECT_EQ(FoldCase("Straße ÄÖ"), "strasse äö");
  EXPECT_EQ(FoldCase("\xE2\x84\xAA"), "k");  // KELVIN SIGN folds to an ASCII letter
  EXPECT_EQ(FoldCase("日本語"), "日本語");
  // Bytes that are not valid UTF-8 stay as they are, and the text around them still folds.
  EXPECT_EQ(FoldCase("A\xFF"
                     "B\xC3"),
            "a\xFF"
            "b\xC3");
  EXPECT_EQ(FoldCase("Ä\x80Ö"), "ä\x80ö");
}

TEST(FoldCase, EqualityAndOrder) {
  EXPECT_TRUE(EqualsNoCase("MAIN", "main"));
  EXPECT_TRUE(EqualsNoCase("ＡＢＣ", "ａｂｃ"));
  EXPECT_TRUE(EqualsNoCase("Index.htm", "INDEX.HTM"));
  EXPECT_TRUE(EqualsNoCase("STRASSE", "straße"));
  EXPECT_TRUE(
      EqualsNoCase("\xE2\x84\xAA"
                   "x",
                   "KX"));
  EXPECT_TRUE(EqualsNoCase("", ""));
  EXPECT_FALSE(EqualsNoCase("index.htm", "index.html"));
  EXPECT_FALSE(EqualsNoCase("a\xFF", "a\xFE"));
  EXPECT_FALSE(EqualsNoCase("a\xC3", "a\xC3\xA4"));  // a cut-off character is not the character
  EXPECT_TRUE(EqualsNoCase("A\xFF", "a\xFF"));

  EXPECT_LT(CompareNoCase("a", "B"), 0);
  EXPECT_GT(CompareNoCase("b", "A"), 0);
  EXPECT_EQ(CompareNoCase("Ab", "aB"), 0);
  EXPECT_LT(CompareNoCase("ab", "abc"), 0);
  EXPECT_GT(CompareNoCase("abé", "ab"), 0);
  EXPECT_LT(CompareNoCase("Z", "é"), 0);  // binary order of the folded texts
  EXPECT_EQ(CompareNoCase("XÉ", "xé"), 0);
}

TEST(FoldCase, CompareAgreesWithFoldedTexts) {
  // Comparison folds lazily and stops early; it must give the order of the whole folded texts.
  const std::vector<std::string> pieces = {
      "a",  "A", "ß", "ss", "SS",   "ẞ",    "ﬀ", "ff", "\xE2\x84\xAA", "k", "Ａ",
      "ａ", "é", "É", "日", "\xFF", "\xC3", "İ", "i"};
  std::vector<std::string> texts;
  for (const std::string& x : pieces) {
    for (const std::string& y : pieces) texts.push_back(x + y);
  }
  for (const std::string& a : texts) {
    for (const std::string& b : texts) {
      const int expected = FoldCase(a).compare(FoldCase(b));
      const int got = CompareNoCase(a, b);
      ASSERT_EQ(got < 0, expected < 0) << a << " vs " << b;
      ASSERT_EQ(got == 0, expected == 0) << a << " vs " << b;
      ASSERT_EQ(EqualsNoCase(a, b), expected == 0) << a << " vs " << b;
    }
  }
  EXPECT_TRUE(EqualsNoCase("ßx", "SSX"));
  EXPECT_TRUE(EqualsNoCase("ﬀ", "FF"));
}

TEST(FindNoCase, ReturnsOffsetsInTheOriginalText) {
  const std::string line = "<a href=\"/Music/INDEX.HTM\">";
  EXPECT_EQ(FindNoCase(line, "<A HREF="), 0u);
  EXPECT_EQ(FindNoCase(line, "/index.htm"), 15u);
  EXPECT_EQ(FindNoCase(line, "/index.htm", 16), std::string::npos);
  EXPECT_EQ(FindNoCase(line, "missing"), std::string::npos);
  EXPECT_EQ(FindNoCase(line, ""), 0u);
  EXPECT_EQ(FindNoCase(line, "", 3), 3u);
  EXPECT_EQ(FindNoCase("abc", "c", 9), std::string::npos);
  // Characters before the match that are longer or shorter when folded do not shift the offset.
  EXPECT_EQ(FindNoCase("ẞÄ\xFFＡｂ/Index", "ａＢ/INDEX"), 6u);  // 3 + 2 + 1 bytes before
  EXPECT_EQ(FindNoCase("\xE2\x84\xAA"
                       "k",
                       "KK"),
            0u);
  EXPECT_EQ(FindNoCase("aaab", "aab"), 1u);
  EXPECT_EQ(FindNoCase("ab", "abc"), std::string::npos);
}

TEST(AsciiNoCase, IgnoresOnlyTheCaseOfAsciiLetters) {
  EXPECT_TRUE(EqualsAsciiNoCase("tAg", "TAG"));
  EXPECT_FALSE(EqualsAsciiNoCase("ＴＡＧ", "TAG"));
  EXPECT_FALSE(EqualsAsciiNoCase("\x83\x5C", "\x83\x7C"));  // raw CP932 bytes stay as they are
  EXPECT_EQ(FindAsciiNoCase("x<a href=\"y\">", "<A HREF=\""), 1u);
  EXPECT_EQ(FindAsciiNoCase("abc", "C", 3), std::string_view::npos);
  EXPECT_EQ(FindAsciiNoCase("ab", "abc"), std::string_view::npos);
  EXPECT_EQ(FindAsciiNoCase("ab", "b", 5), std::string_view::npos);
}

TEST(NameCollator, IgnoresCaseAndWidth) {
  const NameCollator c;
  EXPECT_LT(c.Compare("a", "B"), 0);
  EXPECT_LT(c.Compare("B", "c"), 0);
  EXPECT_EQ(c.Compare("abc", "ABC"), 0);
  EXPECT_EQ(c.Compare("ＡＢＣ", "abc"), 0);
  EXPECT_NE(c.Compare("a", "á"), 0);  // accents are a secondary difference
  EXPECT_LT(c.Compare("b.mp3", "c.mp3"), 0);
  EXPECT_EQ(c.Compare("a\xFF", "a\xFE"), 0);  // bad bytes all read as U+FFFD
}

TEST(NameCollator, SortKeysOrderAsCompare) {
  const NameCollator c;
  std::vector<std::string> names = {"b.mp3", "A.mp3", "c.mp3",   "Ｂ.mp3", "10.mp3", "2.mp3", "あ",
                                    "ア",    "漢字",  "bad\xFF", "",       "a b",    "a-b",   "ab"};
  for (const std::string& a : names) {
    for (const std::string& b : names) {
      const int r = c.Compare(a, b);
      const int k = c.SortKey(a).compare(c.SortKey(b));
      EXPECT_EQ(r < 0, k < 0) << a << " vs " << b;
      EXPECT_EQ(r == 0, k == 0) << a << " vs " << b;
    }
  }
}

TEST(NameCollator, StableSortKeepsArrivalOrderOfTies) {
  const NameCollator c;
  std::vector<std::string> names = {"b.mp3", "A.mp3", "c.mp3", "a.MP3", "B.mp3"};
  std::stable_sort(names.begin(), names.end(),
                   [&](const std::string& x, const std::string& y) { return c.Compare(x, y) < 0; });
  EXPECT_EQ(names, (std::vector<std::string>{"A.mp3", "a.MP3", "b.mp3", "B.mp3", "c.mp3"}));
}

TEST(NameCollator, FolderSortsBeforeItsSubFolders) {
  const NameCollator c;
  const std::vector<std::string> folders = {"/r/",     "/r/a/", "/r/a b/", "/r/a-b/", "/r/ab/",
                                            "/r/a.b/", "/r/A/", "/r/á/",   "/r/ａ/",  "/r/曲/"};
  for (const std::string& folder : folders) {
    for (const char* sub : {"x/", " /", "-/", "0/", "ー/", "\xCC\x81/", "a/b/"}) {
      EXPECT_LT(c.Compare(folder, folder + sub), 0) << folder << sub;
      EXPECT_LT(c.SortKey(folder), c.SortKey(folder + sub)) << folder << sub;
    }
  }
}

}  // namespace
}  // namespace veldra

#include "engine/html_text.h"

#include <gtest/gtest.h>

namespace veldra {
namespace {

TEST(HtmlText, EscapesMarkupInTexts) {
  EXPECT_EQ(EscapeHtml("<b>x</b> & \"q\""), "&lt;b&gt;x&lt;/b&gt; &amp; &quot;q&quot;");
  EXPECT_EQ(EscapeHtml("曲 'a'"), "曲 'a'");
  EXPECT_EQ(EscapeHtml("a\xFF"
                       "b"),
            "a\xEF\xBF\xBD"
            "b");
}

TEST(HtmlText, HrefPathReachesEveryName) {
  EXPECT_EQ(EncodeHrefPath("a b/c#d?e%f\\g.mp3"), "a%20b/c%23d%3Fe%25f%5Cg.mp3");
  EXPECT_EQ(EncodeHrefPath("x&y\"<z>;+'"), "x&amp;y&quot;&lt;z&gt;;+'");
  EXPECT_EQ(EncodeHrefPath("日本 語\t"), "日本%20語%09");
  EXPECT_EQ(EncodeHrefPath("bad\xFF\xC3"), "bad%FF%C3");
}

TEST(HtmlText, HrefPathDecodesBackExactly) {
  for (const char* name : {"a b/c#d?e%f\\g.mp3", "x&y\"<z>;+'", "日本 語\t", "bad\xFF\xC3",
                           "%41&amp;", "&#12354;", ""}) {
    EXPECT_EQ(DecodeHrefPath(EncodeHrefPath(name)), name) << name;
  }
  // Characters a CP932 page writes as references come back too.
  EXPECT_EQ(DecodeHrefPath("caf&#233;/&#x1F600;"), "café/\xF0\x9F\x98\x80");
  // Text that is no escape stays as it is.
  EXPECT_EQ(DecodeHrefPath("100%/&unknown;/&#;/%4"), "100%/&unknown;/&#;/%4");
}

}  // namespace
}  // namespace veldra

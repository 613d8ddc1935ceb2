#include "platform/code_page.h"

#include <gtest/gtest.h>

#include "platform/cp932.h"

namespace veldra {
namespace {

TEST(CodePageTest, ParsesWindowsCodePagesIcuKnowsAndRefusesOthers) {
  EXPECT_EQ(ParseCodePage("932"), 932);
  EXPECT_EQ(ParseCodePage(" 1252 "), 1252);
  for (int known : {1250, 1251, 1253, 949, 936, 950, 874, 65001}) {
    EXPECT_EQ(ParseCodePage(std::to_string(known)), known) << known;
  }
  for (const char* bad : {"", "0", "-932", "12x", "99999", "x", "932 1252"}) {
    EXPECT_EQ(ParseCodePage(bad), 0) << bad;
  }
}

TEST(CodePageTest, SameBytesDecodePerCodePage) {
  const std::string sjis = "\x93\xfa\x96\x7b";  // 日本 in Shift-JIS
  EXPECT_EQ(DecodeCodePage(932, sjis), "日本");
  EXPECT_EQ(DecodeCodePage(932, sjis), DecodeCp932(sjis, Cp932Escape::kHtml));
  EXPECT_EQ(DecodeCodePage(1252, sjis), "“ú–{");
  EXPECT_EQ(DecodeCodePage(1251, "\xcf\xf0\xe8"), "При");
  EXPECT_EQ(DecodeCodePage(65001, "\xe6\x97\xa5\xff"), "日\xef\xbf\xbd");
  EXPECT_EQ(DecodeCodePage(949, "\xc7\xd1"), "한");
  EXPECT_EQ(DecodeCodePage(1252, ""), "");
  EXPECT_EQ(DecodeCodePage(1252, std::string("a\0b", 3)), std::string("a\0b", 3));
}

}  // namespace
}  // namespace veldra

// What reaches a terminal or a message box from names in the tree.

#include "engine/display_text.h"

#include <gtest/gtest.h>

#include "engine/run.h"

namespace veldra {
namespace {

constexpr const char* kFffd = "\xEF\xBF\xBD";

TEST(DisplayText, ReplacesEveryControlButTheLineFeed) {
  // ESC sequences that retitle or clear a terminal, a bell, CR (overwrites a line), tab, DEL,
  // C1 CSI and OSC in UTF-8, and lone bytes a terminal may take for C1.
  const std::string hostile =
      "a\x1B]0;owned\x07"
      "b\x1B[2J\rc\td\x7F"
      "e\xC2\x9B"
      "31mf\xC2\x9D"
      "g\x9B"
      "h\xFF\nnext";
  const std::string shown = DisplayText(hostile);
  for (const unsigned char c : shown) {
    EXPECT_TRUE(c == '\n' || (c >= 0x20 && c != 0x7F)) << static_cast<int>(c);
  }
  EXPECT_EQ(shown, std::string("a") + kFffd + "]0;owned" + kFffd + "b" + kFffd + "[2J" + kFffd +
                       "c" + kFffd + "d" + kFffd + "e" + kFffd + "31mf" + kFffd + "g" + kFffd +
                       "h" + kFffd + "\nnext");
  // Ordinary text, Japanese and characters outside the BMP pass unchanged; U+00A0 is no control.
  const std::string plain = "★終わったよ★\n書き出したページ: 3件 𝄞 caf\xC3\xA9 \xC2\xA0";
  EXPECT_EQ(DisplayText(plain), plain);
}

TEST(DisplayText, TheNoticeCarriesNoRawEscapes) {
  RunReport report;
  report.problems = {{ProblemKind::kPageNotWritten, "/srv/\x1B[2J\x1B]0;x\x07/", ""},
                     {ProblemKind::kSetNotSaved,
                      "\xC2\x9B"
                      "31m",
                      ""}};
  const std::string notice = FormatRunNotice(report);
  EXPECT_EQ(notice.find('\x1B'), std::string::npos) << notice;
  EXPECT_EQ(notice.find("\xC2\x9B"), std::string::npos) << notice;
  EXPECT_NE(notice.find(std::string("/srv/") + kFffd + "[2J"), std::string::npos) << notice;
}

}  // namespace
}  // namespace veldra

#include "platform/cp932.h"

#include <gtest/gtest.h>

#include <random>

namespace veldra {
namespace {

constexpr Cp932Escape kHtml = Cp932Escape::kHtml;
constexpr Cp932Escape kRoundTrip = Cp932Escape::kRoundTrip;

TEST(Cp932, AsciiIsIdentityBothWays) {
  std::string all;
  for (int b = 0; b < 0x80; ++b) all += static_cast<char>(b);
  EXPECT_EQ(EncodeCp932(all, kHtml), all);
  EXPECT_EQ(DecodeCp932(all, kHtml), all);
  // 0x5C and 0x7E are the backslash and tilde, not yen sign and overline.
  EXPECT_EQ(DecodeCp932("\x5C\x7E", kHtml), "\\~");
}

TEST(Cp932, JapaneseTextConvertsBothWays) {
  const struct {
    const char* utf8;
    const char* cp932;
  } cases[] = {
      {"日本語", "\x93\xFA\x96\x7B\x8C\xEA"},
      {"ソ表能", "\x83\x5C\x95\x5C\x94\x5C"},  // trail byte 0x5C, the backslash
      {"ｱｲｳﾞ", "\xB1\xB2\xB3\xDE"},            // half-width katakana: one byte each
      {"①Ⅰ№", "\x87\x40\x87\x54\x87\x82"},     // NEC special characters
      {"～￢∥", "\x81\x60\x81\xCA\x81\x61"},   // the Windows choices for these rows
      {"a\\b〇", "a\\b\x81\x5A"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EncodeCp932(c.utf8, kHtml), c.cp932) << c.utf8;
    EXPECT_EQ(EncodeCp932(c.utf8, kRoundTrip), c.cp932) << c.utf8;
    EXPECT_EQ(DecodeCp932(c.cp932, kHtml), c.utf8) << c.utf8;
    EXPECT_EQ(DecodeCp932(c.cp932, kRoundTrip), c.utf8) << c.utf8;
  }
}

TEST(Cp932, MissingCharactersBecomeReferences) {
  EXPECT_EQ(EncodeCp932("café", kHtml), "caf&#233;");
  EXPECT_EQ(EncodeCp932("x😀y", kHtml), "x&#128512;y");
  // Characters CP932 only maps one way count as missing, so each reads back as itself.
  EXPECT_EQ(EncodeCp932("〜", kHtml), "&#12316;");  // WAVE DASH; CP932 has the full-width tilde
  EXPECT_EQ(EncodeCp932("¥", kHtml), "&#165;");     // would otherwise become a backslash
  EXPECT_EQ(EncodeCp932("−", kRoundTrip), "&#8722;");
  EXPECT_EQ(DecodeCp932("caf&#233;", kRoundTrip), "café");
  // Pages keep references as they are: the browser resolves them.
  EXPECT_EQ(DecodeCp932("caf&#233;", kHtml), "caf&#233;");
}

TEST(Cp932, InvalidUtf8BytesAreEscapedPerMode) {
  const std::string bad =
      "a\xFF"
      "b\xC3";  // a stray byte and a cut-off sequence
  EXPECT_EQ(EncodeCp932(bad, kHtml), "a&#65533;b&#65533;");
  EXPECT_EQ(EncodeCp932(bad, kRoundTrip), "a&#56575;b&#56515;");
  EXPECT_EQ(DecodeCp932("a&#56575;b&#56515;", kRoundTrip), bad);
  // Overlong forms and encoded surrogates are not characters either.
  EXPECT_EQ(EncodeCp932("\xC0\xAF", kRoundTrip), "&#56512;&#56495;");
  EXPECT_EQ(EncodeCp932("\xED\xA0\x80", kHtml), "&#65533;&#65533;&#65533;");
}

TEST(Cp932, LiteralReferenceTextSurvivesRoundTrip) {
  EXPECT_EQ(EncodeCp932("&#233;", kRoundTrip), "&#38;#233;");
  EXPECT_EQ(EncodeCp932("&#233;", kHtml), "&#233;");
  for (const char* text : {"&#233;", "&#38;#", "&&#", "&#;", "&#x41;", "&#0065;", "&#99999999;",
                           "&#56575;", "a&", "&#"}) {
    EXPECT_EQ(DecodeCp932(EncodeCp932(text, kRoundTrip), kRoundTrip), text) << text;
  }
  // Text that is no valid reference is left alone when decoding.
  EXPECT_EQ(DecodeCp932("&#55296;&#1114112;&#0065;&#x41;&#", kRoundTrip),
            "&#55296;&#1114112;&#0065;&#x41;&#");
}

TEST(Cp932, OnlyReferencesTheEncoderWritesAreDecoded) {
  // References to ASCII, control characters, characters CP932 holds, and "&#38;" not before "#"
  // are text a user typed (a file written elsewhere): they stay, and are written back unescaped.
  for (const char* text :
       {"&#60;NEW&#62;", "&#10;&#13;&#0;", "&#12354;", "&#38;x", "&#38;", "&#127;", "&#65;"}) {
    EXPECT_EQ(DecodeCp932(text, kRoundTrip), text) << text;
    EXPECT_EQ(EncodeCp932(text, kRoundTrip), text) << text;
  }
  EXPECT_EQ(DecodeCp932("&#233;&#128512;&#56448;&#38;#x", kRoundTrip), "é😀\x80&#x");
  // The encoder escapes the "&#" of exactly the references that would decode.
  EXPECT_EQ(EncodeCp932("&#233;&#56448;&#38;#", kRoundTrip), "&#38;#233;&#38;#56448;&#38;#38;#");
}

TEST(Cp932, UndecodableBytesBecomeReplacementCharacters) {
  // A lead byte without a valid trail stands alone, so the ASCII byte after it survives.
  EXPECT_EQ(DecodeCp932("\x81\x20x", kHtml), "\xEF\xBF\xBD x");
  EXPECT_EQ(DecodeCp932("ab\x82", kHtml), "ab\xEF\xBF\xBD");  // cut-off pair at the end
  EXPECT_EQ(DecodeCp932("\x80\xA0\xFD\xFF", kRoundTrip),
            "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(DecodeCp932("\x81\x22", kHtml), "\xEF\xBF\xBD\"");
}

TEST(Cp932, DuplicateCodesDecodeToOneCharacter) {
  // NEC-selected IBM extensions and the IBM rows decode alike; writing uses one of them.
  EXPECT_EQ(DecodeCp932("\xED\x40", kHtml), "纊");
  EXPECT_EQ(DecodeCp932("\xFA\x5C", kHtml), "纊");
  EXPECT_EQ(EncodeCp932("纊", kHtml), "\xFA\x5C");
  EXPECT_EQ(DecodeCp932("\x87\x90", kHtml), "≒");
  EXPECT_EQ(EncodeCp932("≒", kHtml), "\x81\xE0");
}

TEST(Cp932, AnyByteStringRoundTrips) {
  std::mt19937 rng(12345);
  // Bytes drawn mostly from the interesting ranges: ASCII delimiters, UTF-8 lead and trail bytes.
  const std::string pool = "&#;09a\\\x7F\xC3\xA9\xE3\x81\x82\xF0\x9F\x98\x80\xED\xA0\xFF\xFE\xC0";
  for (int round = 0; round < 3000; ++round) {
    std::string s;
    const int len = static_cast<int>(rng() % 24);
    for (int i = 0; i < len; ++i) {
      s += rng() % 3 == 0 ? static_cast<char>(rng() % 256) : pool[rng() % pool.size()];
    }
    const std::string encoded = EncodeCp932(s, kRoundTrip);
    ASSERT_EQ(DecodeCp932(encoded, kRoundTrip), s) << "encoded: " << encoded;
  }
}

TEST(Cp932, EveryMappedBmpCharacterRoundTrips) {
  for (uint32_t c = 0x80; c < 0x10000; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    std::string utf8;
    if (c < 0x800) {
      utf8 = {static_cast<char>(0xC0 | c >> 6), static_cast<char>(0x80 | (c & 0x3F))};
    } else {
      utf8 = {static_cast<char>(0xE0 | c >> 12), static_cast<char>(0x80 | (c >> 6 & 0x3F)),
              static_cast<char>(0x80 | (c & 0x3F))};
    }
    const std::string bytes = EncodeCp932(utf8, kHtml);
    ASSERT_EQ(DecodeCp932(bytes, kHtml), bytes[0] == '&' ? bytes : utf8) << "U+" << std::hex << c;
  }
}

TEST(Cp932, CutNeverSplitsATwoByteCharacter) {
  const std::string text = "a\x93\xFA\x96\x7B";  // "a日本"
  EXPECT_EQ(CutCp932(text, 10), text);
  EXPECT_EQ(CutCp932(text, 5), text);
  EXPECT_EQ(CutCp932(text, 4), "a\x93\xFA");
  EXPECT_EQ(CutCp932(text, 2), "a");
  EXPECT_EQ(CutCp932(text, 0), "");
  // Trail bytes that look like lead bytes are paired from the start, not guessed from the end.
  const std::string kana = "\x83\x5C\x83\x8A\x83\x93";  // "ソリン": 0x83 0x8A, 0x83 0x93
  EXPECT_EQ(CutCp932(kana, 5), "\x83\x5C\x83\x8A");
  EXPECT_EQ(CutCp932("\xB1\xB2\xB3", 2), "\xB1\xB2");  // half-width kana are single bytes
}

}  // namespace
}  // namespace veldra

#include "platform/profile_string.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <random>

#include "tests/support/profile_file.h"
#include "tests/support/temp_dir.h"

namespace veldra {
namespace {

using test::ReadFile;
using test::ReadProfileString;
using test::TempDir;
using test::WriteFile;
using test::WriteProfileString;

// A copy of the committed fixture in a fresh folder.
std::string CopyOfSample(const TempDir& dir) {
  const std::string path = dir / "sample.ini";
  WriteFile(path, ReadFile(test::TestDataPath("platform/sample.ini")));
  return path;
}

TEST(ProfileString, ReadsSectionsAndKeysOfOtherCapitals) {
  TempDir dir;
  const std::string ini = CopyOfSample(dir);
  EXPECT_EQ(ReadProfileString("MAIN", "TEXT1(0)", ini), "<TABLE border=1 cellspacing=0>");
  EXPECT_EQ(ReadProfileString("Main", "text1(1)", ini), "(DIR)");  // first of two, trimmed
  EXPECT_EQ(ReadProfileString("MAIN", "DIR(0)", ini), "C:\\音楽\\ソフト\\");
  EXPECT_EQ(ReadProfileString("MAIN", "URL(0)", ini), "  quoted  ");
  EXPECT_EQ(ReadProfileString("MAIN", "URL(1)", ini), "single");
  EXPECT_EQ(ReadProfileString("OTHER", "TEXT1(0)", ini), "from another section");
  // Missing keys, commented keys, keys of other sections and missing files all read as "".
  EXPECT_EQ(ReadProfileString("MAIN", "TEXT1(5)", ini), "");
  EXPECT_EQ(ReadProfileString("MAIN", "x", ini), "");
  EXPECT_EQ(ReadProfileString("NONE", "x", ini), "");
  EXPECT_EQ(ReadProfileString("MAIN", "TEXT1(0)", dir / "missing.ini"), "");
}

TEST(ProfileString, LfOnlyFileReadsTheSame) {
  TempDir dir;
  WriteFile(dir / "lf.ini", "[MAIN]\nCheck2=TRUE\nLIST1=ID3-TRACK@\n");
  EXPECT_EQ(ReadProfileString("MAIN", "Check2", dir / "lf.ini"), "TRUE");
  EXPECT_EQ(ReadProfileString("MAIN", "LIST1", dir / "lf.ini"), "ID3-TRACK@");
}

TEST(ProfileString, ValuesRoundTripExactly) {
  TempDir dir;
  const std::string ini = dir / "set.ini";
  const std::string values[] = {
      "",
      " lead",
      "trail\t",
      "  both  ",
      "\"quoted\"",
      "'single'",
      "\"",
      "'x\"",
      "\"open",
      "a=b=c",
      "[not a section]",
      ";not a comment",
      "C:\\音楽\\ソフト\\",
      "café 😀",
      "&#233; literal",
      "bad\xFF"
      "bytes",
      "&#60;tag&#62; &#38;x &#12354; &#56448; &#38;#",
      "〜 wave dash",
  };
  int i = 0;
  for (const std::string& value : values) {
    const std::string key = "TEXT1(" + std::to_string(i++) + ")";
    ASSERT_EQ(WriteProfileString("MAIN", key, value, ini), 1) << key;
  }
  i = 0;
  for (const std::string& value : values) {
    const std::string key = "TEXT1(" + std::to_string(i++) + ")";
    EXPECT_EQ(ReadProfileString("MAIN", key, ini), value) << key;
  }
}

TEST(ProfileString, LineBreaksAreStoredAsLiteralReferences) {
  // A value read from a set never holds a line break, whatever the file holds; one written is
  // kept as the reference text, which means the same in the HTML texts of a set.
  TempDir dir;
  const std::string ini = dir / "set.ini";
  ASSERT_EQ(WriteProfileString("MAIN", "A", "two\r\nlines\nand\rreturns", ini), 1);
  ASSERT_EQ(WriteProfileString("MAIN", "B", std::string("nul\0in", 6), ini), 1);
  EXPECT_EQ(ReadFile(ini), "[MAIN]\r\nA=two&#13;&#10;lines&#10;and&#13;returns\r\nB=nul&#0;in\r\n");
  EXPECT_EQ(ReadProfileString("MAIN", "A", ini), "two&#13;&#10;lines&#10;and&#13;returns");
  EXPECT_EQ(ReadProfileString("MAIN", "B", ini), "nul&#0;in");
}

TEST(ProfileString, OnlyOurOwnReferencesAreDecoded) {
  // A set written by hand or on Windows: references to characters CP932 holds, to ASCII and to
  // control characters are the user's text. Ours: a character CP932 lacks, a byte escape, and
  // "&#38;" before "#".
  TempDir dir;
  const std::string ini = dir / "set.ini";
  WriteFile(ini,
            "[MAIN]\r\nA=&#60;NEW&#62;&#10;&#13;&#0;&#12354;&#38;x\r\n"
            "B=caf&#233; &#128512; &#56575; &#38;#60;\r\n");
  EXPECT_EQ(ReadProfileString("MAIN", "A", ini), "&#60;NEW&#62;&#10;&#13;&#0;&#12354;&#38;x");
  EXPECT_EQ(ReadProfileString("MAIN", "B", ini), "café 😀 \xFF &#60;");
  // Written back, the user's references stay as they were typed.
  ASSERT_EQ(WriteProfileString("MAIN", "C", ReadProfileString("MAIN", "A", ini), ini), 1);
  EXPECT_NE(ReadFile(ini).find("\r\nC=&#60;NEW&#62;&#10;&#13;&#0;&#12354;&#38;x\r\n"),
            std::string::npos);
}

TEST(ProfileString, ReadingCutsAt254BytesWithoutSplittingACharacter) {
  TempDir dir;
  const std::string ini = dir / "long.ini";
  const std::string ascii(300, 'x');
  ASSERT_EQ(WriteProfileString("MAIN", "A", ascii, ini), 1);
  EXPECT_EQ(ReadProfileString("MAIN", "A", ini), std::string(254, 'x'));
  // One ASCII byte, then two-byte characters: byte 254 is the first half of a character.
  std::string kana = "x";
  for (int k = 0; k < 150; ++k) kana += "ア";
  ASSERT_EQ(WriteProfileString("MAIN", "B", kana, ini), 1);
  const std::string read = ReadProfileString("MAIN", "B", ini);
  std::string expected = "x";
  for (int k = 0; k < 126; ++k) expected += "ア";
  EXPECT_EQ(read, expected);
  // The whole value stays in the file: only reading cuts.
  EXPECT_NE(ReadFile(ini).find(std::string(300, 'x')), std::string::npos);
}

TEST(ProfileString, KeyReplacedWhereItStands) {
  TempDir dir;
  const std::string ini = dir / "set.ini";
  WriteFile(ini, "[MAIN]\r\nTEXT1(0)=a\r\nText1(1)=b\r\nTEXT1(2)=c\r\n");
  ASSERT_EQ(WriteProfileString("MAIN", "TEXT1(1)", "new", ini), 1);
  EXPECT_EQ(ReadFile(ini), "[MAIN]\r\nTEXT1(0)=a\r\nTEXT1(1)=new\r\nTEXT1(2)=c\r\n");
}

TEST(ProfileString, NewKeyAppendedToItsSectionBeforeTheNext) {
  TempDir dir;
  const std::string ini = dir / "set.ini";
  WriteFile(ini, "[MAIN]\r\nA=1\r\n\r\n[Other]\r\nB=2\r\n");
  ASSERT_EQ(WriteProfileString("main", "C", "3", ini), 1);
  ASSERT_EQ(WriteProfileString("other", "D", "4", ini), 1);
  EXPECT_EQ(ReadFile(ini), "[MAIN]\r\nA=1\r\nC=3\r\n\r\n[Other]\r\nB=2\r\nD=4\r\n");
  WriteFile(ini, "[MAIN]\n");
  ASSERT_EQ(WriteProfileString("MAIN", "A", "1", ini), 1);
  EXPECT_EQ(ReadFile(ini), "[MAIN]\r\nA=1\r\n");  // LF-only file rewritten with CR LF
}

TEST(ProfileString, MissingFileAndSectionAreCreated) {
  TempDir dir;
  const std::string ini = dir / "VELDRA.ini";
  ASSERT_EQ(WriteProfileString("MAIN", "TEXT1(0)", "x", ini), 1);
  ASSERT_EQ(WriteProfileString("MAIN", "TEXT1(1)", "y", ini), 1);
  EXPECT_EQ(ReadFile(ini), "[MAIN]\r\nTEXT1(0)=x\r\nTEXT1(1)=y\r\n");
  WriteFile(ini, "; notes\r\n[Other]\r\nB=2");
  ASSERT_EQ(WriteProfileString("MAIN", "A", "1", ini), 1);
  EXPECT_EQ(ReadFile(ini), "; notes\r\n[Other]\r\nB=2\r\n[MAIN]\r\nA=1\r\n");
}

TEST(ProfileString, WriteFailuresLeaveTheFileAlone) {
  TempDir dir;
  // A folder where the file should be, and a folder that does not exist.
  test::MakeFolders(dir / "folder.ini/");
  EXPECT_EQ(WriteProfileString("MAIN", "A", "1", dir / "folder.ini"), 0);
  EXPECT_EQ(WriteProfileString("MAIN", "A", "1", dir / "none/set.ini"), 0);
  if (geteuid() == 0) return;  // root reads any file: the rest needs an unreadable one
  const std::string ini = dir / "locked.ini";
  WriteFile(ini, "[MAIN]\r\nKEEP=me\r\n");
  ASSERT_EQ(chmod(ini.c_str(), 0200), 0);
  EXPECT_EQ(WriteProfileString("MAIN", "A", "1", ini), 0);
  ASSERT_EQ(chmod(ini.c_str(), 0600), 0);
  EXPECT_EQ(ReadFile(ini), "[MAIN]\r\nKEEP=me\r\n");
}

TEST(IniDocument, AnyFileContentTakesAnyValue) {
  // Whatever a damaged or hand-edited file holds, a value set into it reads back as set, and the
  // other lines stay as they were.
  std::mt19937 rng(7);
  TempDir dir;
  const std::string pool = "[]=;\"' \t\r\nMAINkey&#0\x81\x5C\xFF";
  for (int round = 0; round < 500; ++round) {
    std::string file, value;
    for (int i = static_cast<int>(rng() % 60); i > 0; --i) file += pool[rng() % pool.size()];
    for (int i = static_cast<int>(rng() % 12); i > 0; --i) value += pool[rng() % pool.size()];
    IniDocument doc;
    WriteFile(dir / "f.ini", file);
    ASSERT_TRUE(doc.Load(dir / "f.ini"));
    const std::vector<std::string> before = doc.lines();
    doc.Set("MAIN", "key", value);
    // Line breaks and NUL are kept as reference text (see LineBreaksAreStoredAsLiteralReferences).
    std::string expected;
    for (const char c : value)
      expected += c == '\r'   ? "&#13;"
                  : c == '\n' ? "&#10;"
                  : c == '\0' ? "&#0;"
                              : std::string(1, c);
    ASSERT_EQ(doc.Get("main", "KEY"), expected) << "file: " << file;
    size_t kept = 0;
    for (const std::string& line : doc.lines())
      kept += std::count(before.begin(), before.end(), line) > 0;
    EXPECT_GE(kept + 1, before.size()) << "file: " << file;
  }
}

TEST(IniDocument, ManyWritesInOneSaveMatchWritesKeyByKey) {
  TempDir dir;
  const std::string one_by_one = dir / "a.ini", batched = dir / "b.ini";
  const std::string start = "[Other]\r\nx=1\r\n[MAIN]\r\nTEXT1(1)=old\r\n\r\n[Tail]\r\ny=2\r\n";
  WriteFile(one_by_one, start);
  WriteFile(batched, start);
  IniDocument doc;
  ASSERT_TRUE(doc.Load(batched));
  for (const char* key : {"TEXT1(0)", "TEXT1(1)", "Check2", "DIR(0)"}) {
    ASSERT_EQ(WriteProfileString("MAIN", key, std::string("v ") + key, one_by_one), 1);
    doc.Set("MAIN", key, std::string("v ") + key);
  }
  ASSERT_TRUE(doc.Save(batched));
  EXPECT_EQ(ReadFile(batched), ReadFile(one_by_one));
  EXPECT_EQ(doc.Get("MAIN", "check2"), "v Check2");
  EXPECT_FALSE(doc.Load(dir / "missing.ini"));
  EXPECT_TRUE(doc.lines().empty());
}

}  // namespace
}  // namespace veldra

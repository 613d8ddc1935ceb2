#pragma once
// The settings of one publishing job (an environment set), as the window holds them.

#include <string>
#include <vector>

namespace veldra {

inline constexpr int kTextFieldCount = 13;  // Text1 indexes 0 to 12
inline constexpr int kFlagCount = 3;        // Check1 indexes 0 to 2

struct EnvironmentSet {
  std::string SetName;  // Combo3's text; the INI file's base name

  std::string RootFolder;  // Combo1's text
  std::vector<std::string> RootFolderHistory;
  std::string RootUrl;  // Combo2's text
  std::vector<std::string> RootUrlHistory;

  // Text1 0 to 12, in index order.
  std::string TableTag;        // 0
  std::string FolderMarkText;  // 1
  std::string FileMarkText;    // 2
  std::string ThExtra;         // 3
  std::string TdExtra;         // 4
  std::string OutputFileName;  // 5
  std::string HairlineText;    // 6
  std::string NewMarkText;     // 7
  std::string UpdateMarkText;  // 8
  std::string OutputFolder;    // 9
  std::string OutputUrl;       // 10
  std::string HeaderFileName;  // 11
  std::string FooterFileName;  // 12

  // Check1 0 to 2, then Check2.
  bool HideExtension = false;
  bool ShowNewMark = false;
  bool ShowUpdateMark = false;
  bool ProcessId3 = true;

  std::vector<std::string> OutputColumns;  // List2, in output order
  std::vector<std::string> HiddenColumns;  // List1

  // Keys that later versions added; their defaults keep the classic behaviour.
  bool ReadAllTags = false;      // TAGS: "ALL" reads ID3v2, APE and other formats
  std::string CodePage = "932";  // CODEPAGE as typed; a run refuses an unknown one
  // SKIPSAME: a page, snapshot or visitors' file whose new bytes equal the old file's (apart from
  // the date-time text of its date line) is left as it is, so its time stamp tells when it last
  // changed.
  bool SkipSame = false;
  // Visitors' files (keys FEED and PLAYLIST; absent means off): the run's changes as an Atom
  // feed and a new-arrivals page in the root folder, and a playlist per folder holding audio.
  bool Feed = false;
  bool Playlist = false;

  // The text field with a Text1 index (0 to 12).
  std::string& TextField(int index);
  const std::string& TextField(int index) const;
  // The flag with a Check1 index (0 to 2).
  bool& Flag(int index);
  bool Flag(int index) const;
};

}  // namespace veldra

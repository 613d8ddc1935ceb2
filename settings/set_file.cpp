#include "settings/set_file.h"

#include <errno.h>
#include <string.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/file_system.h"
#include "platform/profile_string.h"
#include "platform/program_info.h"
#include "platform/text_compare.h"
#include "platform/text_trim.h"
#include "settings/column_key.h"

namespace veldra {
namespace {

constexpr size_t kSetNameLimit = 250;  // bytes; with ".ini" it still fits a 255-byte file name
constexpr char kListSeparator = '@';

std::string IndexedKey(std::string_view prefix, size_t index) {
  return std::string(prefix) + std::to_string(index) + ")";
}

std::string TextKey(int index) { return IndexedKey("TEXT1(", static_cast<size_t>(index)); }
std::string FlagKey(int index) { return IndexedKey("Check1(", static_cast<size_t>(index)); }
constexpr std::string_view kProcessId3Key = "Check2";
constexpr std::string_view kFolderHistoryKey = "DIR(";
constexpr std::string_view kUrlHistoryKey = "URL(";
constexpr std::string_view kHiddenColumnsKey = "LIST1";
constexpr std::string_view kOutputColumnsKey = "LIST2";
constexpr std::string_view kTagsKey = "TAGS";
constexpr std::string_view kCodePageKey = "CODEPAGE";
constexpr std::string_view kTagsAll = "ALL";
constexpr std::string_view kTagsId3v1 = "ID3V1";
constexpr std::string_view kDefaultCodePageText = "932";

bool IsTrue(std::string_view value) { return EqualsNoCase(value, "TRUE"); }

// Keys of section MAIN added after the classic ones: written only when not at their default or
// already in the file, so that a set file without them saves byte-for-byte as before.
constexpr std::string_view kSkipSameKey = "SKIPSAME";
constexpr std::string_view kFeedKey = "FEED";
constexpr std::string_view kPlaylistKey = "PLAYLIST";

// A flag that defaults to off: "TRUE" in any case turns it on, anything else reads as off.
void SetOptionalFlag(IniDocument& ini, std::string_view key, bool value) {
  if (value || ini.Has(kSetSection, key)) ini.Set(kSetSection, key, value ? "TRUE" : "FALSE");
}

// Values that name a folder, a file or a URL are read whole: cut to the 254 bytes a Windows
// profile read gives, a root folder would name another folder, which the run would then publish.
// The HTML texts and flags keep the cut, so a set gives the pages it always gave.
bool NamesPathOrUrl(const EnvironmentSet& set, const std::string& field) {
  for (const std::string* path : {&set.OutputFileName, &set.OutputFolder, &set.OutputUrl,
                                  &set.HeaderFileName, &set.FooterFileName}) {
    if (&field == path) return true;
  }
  return false;
}

// Entries numbered from 0 up to the first missing or empty key; later keys after a gap are not
// part of the history. Entries are folders and URLs: read whole.
std::vector<std::string> ReadHistory(const IniDocument& ini, std::string_view prefix) {
  std::vector<std::string> history;
  for (size_t n = 0;; ++n) {
    std::string value = ini.GetWhole(kSetSection, IndexedKey(prefix, n));
    if (value.empty()) return history;
    history.push_back(std::move(value));
  }
}

// Each entry is followed by "@". A rest without a closing "@" (only a hand-edited file has one)
// is taken as a last entry, so that nothing typed there is lost.
std::vector<std::string> SplitColumnList(std::string_view value) {
  std::vector<std::string> entries;
  while (!value.empty()) {
    const size_t at = value.find(kListSeparator);
    entries.emplace_back(value.substr(0, at));
    if (at == std::string_view::npos) break;
    value.remove_prefix(at + 1);
  }
  return entries;
}

std::string JoinColumnList(const std::vector<std::string>& entries) {
  std::string value;
  for (const std::string& entry : entries) {
    value += entry;
    value += kListSeparator;
  }
  return value;
}

// Drops every later copy of a key added after the nine (first in LIST2, then in LIST1), so that a
// hand-edited file cannot show one column twice.
void DropRepeatedNewKeys(std::vector<std::string>& output, std::vector<std::string>& hidden) {
  std::vector<std::string> seen;
  const auto drop = [&seen](std::vector<std::string>& list) {
    std::erase_if(list, [&seen](const std::string& key) {
      if (!IsNewColumnKey(key)) return false;
      for (const std::string& earlier : seen) {
        if (EqualsNoCase(earlier, key)) return true;
      }
      seen.push_back(key);
      return false;
    });
  };
  drop(output);
  drop(hidden);
}

size_t ClassicEntryCount(const std::vector<std::string>& list) {
  size_t count = 0;
  for (const std::string& key : list) count += IsNewColumnKey(key) ? 0 : 1;
  return count;
}

}  // namespace

ProgramPlace RunningProgramPlace(const std::string& name, const std::string& folder_override) {
  const std::string program_folder = ProgramFolder();
  ProgramPlace place{folder_override, name, program_folder, UserCacheFolder()};
  if (place.folder.empty()) {
    const std::string user_folder = UserSettingsFolder();
    place.folder =
        ChooseSettingsFolder(program_folder, FolderWritable(program_folder), user_folder);
    if (place.folder == user_folder) MakeSettingsFolder(user_folder);
  }
  if (place.program_folder == place.folder) place.program_folder.clear();
  return place;
}

std::string SetIniPath(const ProgramPlace& place, const std::string& set_name) {
  if (!IsValidSetName(set_name)) return "";
  const std::string file_name = set_name + ".ini";
  const std::string exact = place.folder + kPathSeparator + file_name;
  if (FileExists(exact)) return exact;
  // Set files written where names ignore case (or renamed by hand) may differ in capitals from
  // the name the set list shows; they are the same set, as on a file system that ignores case.
  for (const std::string& existing : ListMatchingFiles(place.folder, "*.ini")) {
    if (EqualsNoCase(existing, file_name)) return place.folder + kPathSeparator + existing;
  }
  return exact;
}

bool IsValidSetName(const std::string& set_name) {
  if (set_name.empty() || set_name.size() > kSetNameLimit) return false;
  if (set_name == "." || set_name == "..") return false;
  for (const char c : set_name) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == kPathSeparator || byte < 0x20 || byte == 0x7F) return false;
  }
  return true;
}

SetLoad LoadEnvironmentSet(const ProgramPlace& place, EnvironmentSet& set) {
  std::string set_name = TrimBlanks(set.SetName);
  if (set_name.empty()) set_name = place.name;
  SetLoad load;
  load.ini_path = SetIniPath(place, set_name);
  if (load.ini_path.empty()) {
    load.state = SetFileState::kRefused;
    return load;
  }
  const std::string& ini_path = load.ini_path;

  IniDocument ini;
  // A file that cannot be read reads as empty values throughout, as a missing one does; the
  // caller is told, so that an empty set is not taken for the set's content.
  if (ini.Load(ini_path)) {
    load.state = SetFileState::kLoaded;
  } else if (errno != ENOENT) {
    load.state = SetFileState::kUnreadable;
    load.detail = strerror(errno);
  }

  set.RootFolderHistory = ReadHistory(ini, kFolderHistoryKey);
  set.RootFolder = set.RootFolderHistory.empty() ? "" : set.RootFolderHistory.front();
  set.RootUrlHistory = ReadHistory(ini, kUrlHistoryKey);
  set.RootUrl = set.RootUrlHistory.empty() ? "" : set.RootUrlHistory.front();

  for (int i = 0; i < kTextFieldCount; ++i) {
    std::string& field = set.TextField(i);
    field = NamesPathOrUrl(set, field) ? ini.GetWhole(kSetSection, TextKey(i))
                                       : ini.Get(kSetSection, TextKey(i));
  }
  if (load.state != SetFileState::kLoaded) {
    set.TableTag = "<TABLE border=1 cellspacing=0 cellpadding=3>";
    set.FolderMarkText = "(DIR)";
    set.OutputFileName = "index.htm";
    set.HairlineText = "<HR>";
  }
  if (set.HeaderFileName.empty()) set.HeaderFileName = set_name + "-Head-htm.txt";
  if (set.FooterFileName.empty()) set.FooterFileName = set_name + "-Foot-htm.txt";

  for (int i = 0; i < kFlagCount; ++i) set.Flag(i) = IsTrue(ini.Get(kSetSection, FlagKey(i)));
  const std::string process_id3 = ini.Get(kSetSection, kProcessId3Key);
  set.ProcessId3 = process_id3.empty() || IsTrue(process_id3);

  set.HiddenColumns = SplitColumnList(ini.Get(kSetSection, kHiddenColumnsKey));
  set.OutputColumns = SplitColumnList(ini.Get(kSetSection, kOutputColumnsKey));
  if (set.OutputColumns.empty() && set.HiddenColumns.empty())
    set.OutputColumns = DefaultOutputColumns();
  // A set saved before the track column existed gains it as a hidden column.
  DropRepeatedNewKeys(set.OutputColumns, set.HiddenColumns);
  if (ClassicEntryCount(set.HiddenColumns) + ClassicEntryCount(set.OutputColumns) <
      kColumnKeys.size())
    set.HiddenColumns.emplace_back(kKeyTrack);

  set.ReadAllTags = EqualsNoCase(TrimBlanks(ini.Get(kSetSection, kTagsKey)), kTagsAll);
  set.CodePage = TrimBlanks(ini.Get(kSetSection, kCodePageKey));
  if (set.CodePage.empty()) set.CodePage = kDefaultCodePageText;
  set.SkipSame = IsTrue(ini.Get(kSetSection, kSkipSameKey));
  set.Feed = IsTrue(ini.Get(kSetSection, kFeedKey));
  set.Playlist = IsTrue(ini.Get(kSetSection, kPlaylistKey));
  return load;
}

bool SaveEnvironmentSet(const EnvironmentSet& set, const std::string& ini_path,
                        FolderAccess& access) {
  IniDocument ini;
  // Other sections and keys of an existing file are kept; one that cannot be read is not
  // overwritten with only what this set holds.
  if (ini_path.empty()) return false;
  if (!ini.Load(ini_path) && errno != ENOENT) return false;

  for (int i = 0; i < kTextFieldCount; ++i) ini.Set(kSetSection, TextKey(i), set.TextField(i));
  for (int i = 0; i < kFlagCount; ++i)
    ini.Set(kSetSection, FlagKey(i), set.Flag(i) ? "TRUE" : "FALSE");
  ini.Set(kSetSection, kProcessId3Key, set.ProcessId3 ? "TRUE" : "FALSE");
  for (size_t n = 0; n < set.RootFolderHistory.size(); ++n)
    ini.Set(kSetSection, IndexedKey(kFolderHistoryKey, n), set.RootFolderHistory[n]);
  for (size_t n = 0; n < set.RootUrlHistory.size(); ++n)
    ini.Set(kSetSection, IndexedKey(kUrlHistoryKey, n), set.RootUrlHistory[n]);
  // A column added after the nine is stored only while it is output.
  std::vector<std::string> hidden = set.HiddenColumns;
  std::erase_if(hidden, [](const std::string& key) { return IsNewColumnKey(key); });
  ini.Set(kSetSection, kHiddenColumnsKey, JoinColumnList(hidden));
  ini.Set(kSetSection, kOutputColumnsKey, JoinColumnList(set.OutputColumns));
  // Later keys are written only when they differ from their default or the file has them
  // already, so a set that never used them saves byte for byte as before.
  if (set.ReadAllTags || ini.Has(kSetSection, kTagsKey))
    ini.Set(kSetSection, kTagsKey, set.ReadAllTags ? kTagsAll : kTagsId3v1);
  const std::string code_page = TrimBlanks(set.CodePage);
  if ((!code_page.empty() && code_page != kDefaultCodePageText) ||
      ini.Has(kSetSection, kCodePageKey))
    ini.Set(kSetSection, kCodePageKey, code_page.empty() ? kDefaultCodePageText : code_page);

  SetOptionalFlag(ini, kSkipSameKey, set.SkipSame);
  SetOptionalFlag(ini, kFeedKey, set.Feed);
  SetOptionalFlag(ini, kPlaylistKey, set.Playlist);
  return ini.Save(ini_path, access);
}

}  // namespace veldra

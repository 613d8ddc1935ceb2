#pragma once
// An environment set's INI file: section "MAIN" of "<set name>.ini" in the program folder.

#include <string>
#include <string_view>

#include "platform/folder_access.h"
#include "settings/environment_set.h"

namespace veldra {

inline constexpr std::string_view kSetSection = "MAIN";

// The program folder and name the set files belong to (tests and the batch runner may name
// another folder than the executable's).
struct ProgramPlace {
  std::string folder;  // sets and templates; without a trailing separator
  std::string name;    // the default set's name
  // The executable's own folder, where VELDRA.gnr ships: the genre file is read from it when
  // folder has none. "" when it is folder itself.
  std::string program_folder{};
  // Where the tag cache lives (UserCacheFolder for the running program); "" for no cache.
  std::string cache_folder{};
};

// The place of the running program: the folder ChooseSettingsFolder picks for the executable's
// folder (made when it is the per-user one and missing), or folder_override when not empty.
ProgramPlace RunningProgramPlace(const std::string& name, const std::string& folder_override = "");

// The set file of a name: folder, separator, name, ".ini". The name is used as passed; when no
// file has exactly that name but one differs from it only in case, that file is the set's file.
// "" for a name IsValidSetName refuses: such a name is never looked up (it could name a file
// outside the folder).
std::string SetIniPath(const ProgramPlace& place, const std::string& set_name);

// True when a set name can be a file name of its own: not empty, no separator, no NUL or other
// control character, not "." or "..", at most 250 bytes. A run refuses any other name.
bool IsValidSetName(const std::string& set_name);

// What loading a set found at its file.
enum class SetFileState {
  kLoaded,      // the file was read
  kMissing,     // no file holds the name: the set has the defaults a new set has
  kUnreadable,  // something holds the name but cannot be read: the set has a new set's defaults
  kRefused,     // the set name cannot be a file name: nothing was looked up, set is unchanged
};

struct SetLoad {
  SetFileState state = SetFileState::kMissing;
  std::string ini_path;  // the set's file, the new IniPath ("" when refused)
  std::string detail;    // when unreadable: the system's error text ("Permission denied")
};

// Fills every field of set from the file of set.SetName (trimmed; the program name when empty)
// and says what it found. set.SetName itself is not changed. A missing file or key gives the
// defaults a new set has. Values that name a folder, a file or a URL (the histories, the page
// name, the output folder and URL, the template names) are read whole; the other texts are cut
// to 254 bytes as a Windows profile read cuts them.
SetLoad LoadEnvironmentSet(const ProgramPlace& place, EnvironmentSet& set);

// Writes every field into the file at ini_path, replacing the file atomically in one write that
// leaves exactly what key-by-key profile writes would leave. False when it cannot be written,
// when ini_path is "" (a refused set name), and when a file at ini_path cannot be read: its
// other sections and keys would be lost, so it is never overwritten.
// The file is replaced through access.
bool SaveEnvironmentSet(const EnvironmentSet& set, const std::string& ini_path,
                        FolderAccess& access = RealFolderAccess());

}  // namespace veldra

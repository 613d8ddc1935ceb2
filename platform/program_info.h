#pragma once
// Where the program lives and what it is called.

#include <string>

namespace veldra {

struct ProgramVersion {
  int major = 1;
  int minor = 2;
  int revision = 2;
};

inline constexpr ProgramVersion kProgramVersion{};

// Folder of the running executable (from /proc/self/exe), without a trailing separator.
std::string ProgramFolder();

// File name of the running executable without its extension ("VELDRA" for the window program).
std::string ProgramName();

// The per-user settings folder, without a trailing separator: "$XDG_CONFIG_HOME/veldra" when
// XDG_CONFIG_HOME is an absolute path, else "<home>/.config/veldra" with the home folder from
// HOME (or the password database when HOME is not an absolute path). "" when there is no home.
std::string UserSettingsFolder();

// The per-user cache folder, the same way from XDG_CACHE_HOME or "<home>/.cache".
std::string UserCacheFolder();

// Which folder holds the sets and templates of a program in program_folder: the per-user folder
// for a program installed under /usr (its folder belongs to the system even for root); else the
// program's folder when the user may create files in it (the portable layout); else the per-user
// folder.
std::string ChooseSettingsFolder(const std::string& program_folder, bool program_folder_writable,
                                 const std::string& user_folder);

// True when the running user may create files in folder (the effective user's rights).
bool FolderWritable(const std::string& folder);

// Makes folder and its missing parents, new ones with mode 0700 (the settings folder is the
// user's own). True when folder is a folder afterwards.
bool MakeSettingsFolder(const std::string& folder);

}  // namespace veldra

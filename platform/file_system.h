#pragma once
// Folder listings and the few file operations the engine needs. Paths are byte strings (normally
// UTF-8, but any bytes a file name can hold); folder paths end with kPathSeparator.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace veldra {

inline constexpr char kPathSeparator = '/';

// A point in time as the file system keeps it: UTC, since 1970-01-01.
struct FileTime {
  int64_t seconds = 0;
  int32_t nanoseconds = 0;
  friend bool operator==(const FileTime&, const FileTime&) = default;
};

// Identity of a folder on disk, to recognise a folder met again through a link.
struct FolderId {
  uint64_t device = 0;
  uint64_t inode = 0;
  friend bool operator==(const FolderId&, const FolderId&) = default;
};

// The identity of a file as a run wrote it: what the gathering pass compares before it trusts
// the file still to be the one written.
struct FileIdentity {
  uint64_t device = 0;
  uint64_t inode = 0;
  int64_t size = -1;
  FileTime modified;
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

struct DirEntry {
  std::string name;           // the entry's own name, no separator
  bool is_folder = false;     // also true for a link to a folder (links are followed)
  int64_t size = 0;           // bytes; 0 for folders
  FileTime modified;          // last-write time
  FolderId id;                // device and inode (of the link's target for links)
  bool is_link = false;       // a symbolic link; the fields above describe what it leads to
  bool is_regular = false;    // a regular file (a link's target for links)
  bool dangling = false;      // a link that leads nowhere (listed as a file of size 0)
  uint32_t owner = 0;         // owner of the entry itself (of the link for links)
  uint32_t target_owner = 0;  // owner of what a link leads to (the entry's owner otherwise)
  FileTime changed{};         // status change time (ctime), of the link's target for links
};

// Lists one folder: every entry but "." and "..", hidden ones included, in the order the system
// returns them. Symbolic links are followed; a dangling link is listed as a file of size 0 with
// its own time. An entry that vanishes while it is being listed is left out. The folder is
// closed before the call returns. False when the folder cannot be opened or read; errno then
// tells why.
bool ListFolder(const std::string& folder, std::vector<DirEntry>& entries,
                std::string* err = nullptr);

// Calls each with the name of every entry of the open folder fd but "." and "..", reading the
// folder with getdents64 (a stdio DIR costs system calls of its own to open). fd's position
// moves. False, with errno set, when the folder cannot be read.
bool ForEachEntryName(int fd, const std::function<void(const char* name)>& each);

// ListFolder of an open folder (dir_fd stays open and is not moved).
bool ListFolderAt(int dir_fd, std::vector<DirEntry>& entries, std::string* err = nullptr);

// The real path (links resolved) of the entry name of an open folder; "" when it cannot be had.
std::string RealPathAt(int dir_fd, const std::string& name);

// Real path of a folder; "" when it cannot be had.
std::string RealPath(const std::string& path);

// Identity and last-write time of a folder (following links). False when it cannot be read.
bool StatFolder(const std::string& folder, FolderId& id, FileTime& modified);

// Sets a folder's last-write time back (its access time is left alone). Used so that a run's own
// writes into a folder do not look like a change to the next run.
bool RestoreModifiedTime(const std::string& path, const FileTime& modified);

// The last-write time of an open folder or file; false when it cannot be read.
bool ModifiedTimeAt(int fd, FileTime& modified);

// RestoreModifiedTime of an open folder.
bool RestoreModifiedTimeAt(int fd, const FileTime& modified);

// True when path names an ordinary file (following links), as a folder listing would find it.
bool FileExists(const std::string& path);

// True when path names a folder (following links).
bool FolderExists(const std::string& path);

// Deletes one file. False when it could not be deleted (missing included).
bool DeleteFile(const std::string& path);

// Names of the ordinary files in a folder whose names match a wildcard pattern ("*" any run,
// "?" one character), without regard to case, as the Windows file search matches them.
std::vector<std::string> ListMatchingFiles(const std::string& folder, const std::string& pattern);

// True when a whole name matches a wildcard pattern, without regard to case.
bool WildcardMatch(const std::string& name, const std::string& pattern);

}  // namespace veldra

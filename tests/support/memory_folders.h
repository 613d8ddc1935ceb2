#pragma once
// A folder tree in memory behind the FolderAccess seam, for tests and fuzz targets: regular
// files, folders, links, FIFOs, and a folder swapped for another entry while handles on it stay
// open. It fails the calls its FaultPlan names. Nothing here depends on a clock or a random
// number: the same calls give the same names, times and results.

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/folder_access.h"
#include "tests/support/faulty_folders.h"

namespace veldra::test {

// A folder tree in memory. Paths are absolute, '/'-separated ("/music/a b/"); a trailing '/'
// is allowed. Every change of a folder's entries advances its last-write time by one second of
// a counter, so a test can tell whether a folder's time was put back. Handles are numbers no
// descriptor of the process can have. Safe to use from several threads.
class MemoryFolders final : public FolderAccess {
 public:
  MemoryFolders();
  FaultPlan& faults() { return faults_; }

  // Building the tree; missing parent folders are made.
  void AddFolder(const std::string& path);
  void AddFile(const std::string& path, std::string bytes, uint32_t owner = kOwnUser);
  void AddLink(const std::string& path, const std::string& target);  // target: absolute
  void AddFifo(const std::string& path);
  // Moves the entry at from to to, replacing what to held: a folder swapped for another entry
  // keeps its handles, which still lead to the folder moved away.
  void Move(const std::string& from, const std::string& to);
  void SetTime(const std::string& path, FileTime modified);

  // Reading it back; links at the last name are not followed.
  bool IsFile(const std::string& path) const;  // a regular file
  bool Exists(const std::string& path) const;
  std::string Bytes(const std::string& path) const;  // a regular file's, "" otherwise
  FileTime Time(const std::string& path) const;
  std::vector<std::string> Names(const std::string& folder) const;  // sorted
  size_t open_handles() const;

  static const uint32_t kOwnUser;  // the running user

  int OpenFolder(const std::string& path) override;
  int OpenChild(int dir, const std::string& name, bool follow_link) override;
  int Duplicate(int dir) override;
  void Close(int dir) override;
  bool Identify(int dir, FolderId& id, FileTime& modified) override;
  bool RestoreTime(int dir, const FileTime& modified) override;
  bool List(int dir, std::vector<DirEntry>& entries, std::string* err) override;
  bool StatAt(int dir, const std::string& name, EntryStat& stat) override;
  RegularReadResult ReadRegularAt(int dir, const std::string& name, size_t cap, std::string& bytes,
                                  bool* truncated, const FileIdentity* expected) override;
  bool CreateAt(int dir, const std::string& name, std::string_view bytes,
                std::string* err) override;
  bool ReplaceAt(int dir, const std::string& name, std::string_view bytes, std::string* aside,
                 FileIdentity* written, std::string* err) override;
  bool RemoveAt(int dir, const std::string& name, std::string* aside) override;
  bool UnlinkAt(int dir, const std::string& name) override;
  bool ReplaceFile(const std::string& path, std::string_view bytes, std::string* err) override;

 private:
  enum class Type { kFolder, kRegular, kLink, kFifo };
  struct Node {
    Type type = Type::kFolder;
    std::string bytes;                         // a regular file's content; a link's target
    std::map<std::string, uint64_t> children;  // a folder's entries
    FileTime modified;
    uint32_t owner = 0;
  };
  struct Handle {
    uint64_t node;
    std::string path;  // as opened, for faults on folder operations
  };

  // The node a path leads to (0 when none; errno set), following links on the way and at the
  // last name when follow_last.
  uint64_t Resolve(std::string_view path, bool follow_last, int depth = 0) const;
  // The folder holding a path's last name, and that name; 0 when the folder is missing.
  uint64_t ParentOf(const std::string& path, std::string& name) const;
  uint64_t MakeFolders(const std::string& path);
  uint64_t NewNode(Type type, uint32_t owner);
  // A regular file of ours holding bytes; PutNewFile also names it in folder (a change of it).
  uint64_t NewFile(std::string_view bytes);
  void PutNewFile(uint64_t folder, const std::string& name, std::string_view bytes);
  void Touch(uint64_t folder);
  uint64_t FolderOf(int dir) const;  // 0 (errno EBADF) for a handle not open
  uint64_t Child(uint64_t folder, const std::string& name) const;
  int NewHandle(uint64_t node, std::string path);
  std::string AsideName(const Node& folder, const std::string& name);
  FileIdentity IdentityOf(uint64_t node) const;

  mutable std::mutex mutex_;
  std::map<uint64_t, Node> nodes_;
  std::map<int, Handle> handles_;
  uint64_t next_node_ = 1;
  int next_handle_;
  int64_t clock_ = 1'600'000'000;  // seconds of the last change
  uint64_t draws_ = 0;             // for the hidden names of set-aside files
  FaultPlan faults_;
};

}  // namespace veldra::test

#pragma once
// Handles on the folders a walk entered, so that every write, rename and delete in the tree goes
// through the folder the walk listed and never leaves it: a folder swapped for a link after it
// was listed cannot send a write elsewhere.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <list>
#include <mutex>
#include <string>
#include <unordered_map>

#include "platform/folder_access.h"

namespace veldra {

// The folders of a walk, each with the device and inode it was listed with. At most max_open
// handles stay open; a folder whose handle was closed is opened again from its nearest open
// ancestor one name at a time (never following a link except where the walk followed one) and
// must still have its listed device and inode. Every folder is opened through one FolderAccess
// (the file system unless another is given). Safe to use from several threads.
class FolderTree {
 public:
  static constexpr size_t kNone = static_cast<size_t>(-1);

  explicit FolderTree(size_t max_open = 32);
  explicit FolderTree(FolderAccess& access, size_t max_open = 32);
  ~FolderTree();
  FolderTree(const FolderTree&) = delete;
  FolderTree& operator=(const FolderTree&) = delete;

  // The walk's root, by its path (links on the operator's own path are followed). kNone (err
  // filled when given) when it is no folder or cannot be opened.
  size_t AddRoot(const std::string& path, std::string* err = nullptr);
  // A sub-folder found in parent's listing under name, with the identity the listing gave;
  // through_link when name is a link the walk follows.
  size_t Add(size_t parent, const std::string& name, FolderId id, bool through_link);

  // A new descriptor of the folder (O_RDONLY|O_DIRECTORY), for the caller to close; -1 when it
  // cannot be opened or is no longer the folder that was listed (errno ESTALE then).
  int Open(size_t folder);
  // Open, as a handle that closes itself (not ok() when Open fails).
  FolderHandle OpenHandle(size_t folder) { return FolderHandle(*access_, Open(folder)); }
  // What the folders are opened through: every handle of this tree belongs to it.
  FolderAccess& access() const { return *access_; }

  FolderId Id(size_t folder) const;
  // Closes every cached handle (the records stay; later Opens reopen).
  void CloseAll();

 private:
  struct Record {
    size_t parent;
    std::string name;  // within parent; the path for the root
    FolderId id;
    bool through_link;
  };
  int OpenLocked(size_t folder);  // a cached descriptor (owned by the cache), or -1
  void Cache(size_t folder, int fd);
  // Opens name in dir (a path when dir is -1) and checks that it is still the folder listed.
  int OpenChecked(int dir, const std::string& name, bool follow_link, const FolderId* expected);

  FolderAccess* access_;
  const size_t max_open_;
  mutable std::mutex mutex_;
  std::deque<Record> records_;
  std::list<size_t> recent_;  // cached folders, most recently used first
  struct Cached {
    int fd;
    std::list<size_t>::iterator place;
  };
  std::unordered_map<size_t, Cached> open_;
};

// Closes a descriptor when it goes out of scope.
class ScopedFd {
 public:
  explicit ScopedFd(int fd = -1) : fd_(fd) {}
  ~ScopedFd();
  ScopedFd(ScopedFd&& other) noexcept : fd_(other.Release()) {}
  ScopedFd& operator=(ScopedFd&& other) noexcept;
  ScopedFd(const ScopedFd&) = delete;
  ScopedFd& operator=(const ScopedFd&) = delete;
  int get() const { return fd_; }
  bool ok() const { return fd_ >= 0; }
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

}  // namespace veldra

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

#include "platform/file_system.h"

namespace veldra {

// The identity of a file as a run wrote it: what the gathering pass compares before it trusts
// the file still to be the one written.
struct FileIdentity {
  uint64_t device = 0;
  uint64_t inode = 0;
  int64_t size = -1;
  FileTime modified;
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// The folders of a walk, each with the device and inode it was listed with. At most max_open
// handles stay open; a folder whose handle was closed is opened again from its nearest open
// ancestor one name at a time (never following a link except where the walk followed one) and
// must still have its listed device and inode. Safe to use from several threads.
class FolderTree {
 public:
  static constexpr size_t kNone = static_cast<size_t>(-1);

  explicit FolderTree(size_t max_open = 32);
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

#include "platform/folder_tree.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

namespace veldra {
ScopedFd::~ScopedFd() {
  if (fd_ >= 0) close(fd_);
}

ScopedFd& ScopedFd::operator=(ScopedFd&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) close(fd_);
    fd_ = other.Release();
  }
  return *this;
}

FolderTree::FolderTree(size_t max_open) : FolderTree(RealFolderAccess(), max_open) {}

FolderTree::FolderTree(FolderAccess& access, size_t max_open)
    : access_(&access), max_open_(max_open < 2 ? 2 : max_open) {}

int FolderTree::OpenChecked(int dir, const std::string& name, bool follow_link,
                            const FolderId* expected) {
  const int fd = dir < 0 ? access_->OpenFolder(name) : access_->OpenChild(dir, name, follow_link);
  if (fd < 0) return -1;
  FolderId id;
  FileTime modified;
  if (!access_->Identify(fd, id, modified) || (expected != nullptr && id != *expected)) {
    access_->Close(fd);
    errno = ESTALE;
    return -1;
  }
  return fd;
}

FolderTree::~FolderTree() { CloseAll(); }

size_t FolderTree::AddRoot(const std::string& path, std::string* err) {
  const int fd = OpenChecked(-1, path, true, nullptr);
  if (fd < 0) {
    if (err != nullptr) *err = "cannot open folder " + path + ": " + strerror(errno);
    return kNone;
  }
  FolderId id;
  FileTime modified;
  access_->Identify(fd, id, modified);
  std::lock_guard lock(mutex_);
  records_.push_back(Record{kNone, path, id, true});
  const size_t index = records_.size() - 1;
  Cache(index, fd);
  return index;
}

size_t FolderTree::Add(size_t parent, const std::string& name, FolderId id, bool through_link) {
  std::lock_guard lock(mutex_);
  records_.push_back(Record{parent, name, id, through_link});
  return records_.size() - 1;
}

FolderId FolderTree::Id(size_t folder) const {
  std::lock_guard lock(mutex_);
  return folder < records_.size() ? records_[folder].id : FolderId{};
}

int FolderTree::Open(size_t folder) {
  std::lock_guard lock(mutex_);
  const int cached = OpenLocked(folder);
  if (cached < 0) return -1;
  return access_->Duplicate(cached);
}

int FolderTree::OpenLocked(size_t folder) {
  if (folder >= records_.size()) {
    errno = ENOENT;
    return -1;
  }
  if (auto it = open_.find(folder); it != open_.end()) {
    recent_.splice(recent_.begin(), recent_, it->second.place);
    return it->second.fd;
  }
  const Record& record = records_[folder];
  int fd = -1;
  if (record.parent == kNone) {
    // The root again, by its path: it must still be the folder the run started in.
    fd = OpenChecked(-1, record.name, true, &record.id);
  } else {
    const int parent_fd = OpenLocked(record.parent);  // recursion depth: the folder's depth
    if (parent_fd < 0) return -1;
    fd = OpenChecked(parent_fd, record.name, record.through_link, &record.id);
  }
  if (fd < 0) return -1;
  Cache(folder, fd);
  return fd;
}

void FolderTree::Cache(size_t folder, int fd) {
  recent_.push_front(folder);
  open_.emplace(folder, Cached{fd, recent_.begin()});
  while (open_.size() > max_open_) {
    const size_t oldest = recent_.back();
    recent_.pop_back();
    auto it = open_.find(oldest);
    access_->Close(it->second.fd);
    open_.erase(it);
  }
}

void FolderTree::CloseAll() {
  std::lock_guard lock(mutex_);
  for (const auto& [folder, cached] : open_) access_->Close(cached.fd);
  open_.clear();
  recent_.clear();
}

}  // namespace veldra

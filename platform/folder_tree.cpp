#include "platform/folder_tree.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

namespace veldra {
namespace {

FolderId IdOf(const struct stat& st) {
  return FolderId{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

// Opens a folder and checks that it is still the one listed.
int OpenChecked(int dir_fd, const char* name, int extra_flags, const FolderId* expected) {
  const int fd = openat(dir_fd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC | extra_flags);
  if (fd < 0) return -1;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISDIR(st.st_mode) ||
      (expected != nullptr && IdOf(st) != *expected)) {
    close(fd);
    errno = ESTALE;
    return -1;
  }
  return fd;
}

}  // namespace

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

FolderTree::FolderTree(size_t max_open) : max_open_(max_open < 2 ? 2 : max_open) {}

FolderTree::~FolderTree() { CloseAll(); }

size_t FolderTree::AddRoot(const std::string& path, std::string* err) {
  const int fd = OpenChecked(AT_FDCWD, path.empty() ? "." : path.c_str(), 0, nullptr);
  if (fd < 0) {
    if (err != nullptr) *err = "cannot open folder " + path + ": " + strerror(errno);
    return kNone;
  }
  struct stat st;
  fstat(fd, &st);
  std::lock_guard lock(mutex_);
  records_.push_back(Record{kNone, path, IdOf(st), true});
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
  return fcntl(cached, F_DUPFD_CLOEXEC, 0);
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
    fd = OpenChecked(AT_FDCWD, record.name.empty() ? "." : record.name.c_str(), 0, &record.id);
  } else {
    const int parent_fd = OpenLocked(record.parent);  // recursion depth: the folder's depth
    if (parent_fd < 0) return -1;
    fd = OpenChecked(parent_fd, record.name.c_str(), record.through_link ? 0 : O_NOFOLLOW,
                     &record.id);
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
    close(it->second.fd);
    open_.erase(it);
  }
}

void FolderTree::CloseAll() {
  std::lock_guard lock(mutex_);
  for (const auto& [folder, cached] : open_) close(cached.fd);
  open_.clear();
  recent_.clear();
}

}  // namespace veldra

#include "platform/file_lock.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#include <utility>

namespace veldra {

FileLock::FileLock(FileLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
  if (this != &other) {
    Release();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

FileLock::Outcome FileLock::TryTake(const std::string& path, const std::string& note,
                                    std::string& holder_note) {
  Release();
  holder_note.clear();
  // Close-on-exec: a child started while the lock is held must not keep it after we end.
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644);
  if (fd < 0) return Outcome::kFailed;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const bool busy = errno == EWOULDBLOCK;
    if (busy) {
      char buffer[512];
      const ssize_t n = pread(fd, buffer, sizeof buffer, 0);
      if (n > 0) holder_note.assign(buffer, static_cast<size_t>(n));
    }
    close(fd);
    return busy ? Outcome::kHeldElsewhere : Outcome::kFailed;
  }
  // The note is only information: a lock whose note cannot be written is still held.
  if (ftruncate(fd, 0) == 0 && !note.empty()) {
    [[maybe_unused]] const ssize_t n = pwrite(fd, note.data(), note.size(), 0);
  }
  fd_ = fd;
  return Outcome::kTaken;
}

void FileLock::Release() {
  if (fd_ < 0) return;
  close(std::exchange(fd_, -1));  // closing the only open of the file drops the flock
}

std::string ResolvedPath(const std::string& path) {
  char resolved[PATH_MAX];
  if (realpath(path.c_str(), resolved) != nullptr) return resolved;
  std::string as_given = path;
  while (as_given.size() > 1 && as_given.back() == '/') as_given.pop_back();
  return as_given;
}

}  // namespace veldra

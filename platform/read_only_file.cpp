#include "platform/read_only_file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

namespace veldra {

ReadOnlyFile::~ReadOnlyFile() {
  if (fd_ >= 0) close(fd_);
}

void ReadOnlyFile::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

bool ReadOnlyFile::Open(const std::string& path) {
  Close();
  fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd_ < 0) return false;
  struct stat st;
  if (fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd_);
    fd_ = -1;
    return false;
  }
  size_ = st.st_size;
  // Tags sit at both ends of a file, reads are few and small: read-ahead would only fetch audio.
  posix_fadvise(fd_, 0, 0, POSIX_FADV_RANDOM);
  return true;
}

int64_t ReadOnlyFile::ReadAt(int64_t offset, size_t length, uint8_t* out, bool cached_only) const {
  if (fd_ < 0 || offset < 0) return -1;
  if (cached_only) {
    struct iovec vec = {out, length};
    const ssize_t n = preadv2(fd_, &vec, 1, static_cast<off_t>(offset), RWF_NOWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EOPNOTSUPP || errno == EINTR)) return kWouldWait;
    if (n < 0) return -1;
    // A short read is the end of the file, or a part the cache lacks.
    if (static_cast<size_t>(n) < length && offset + n < size_) return kWouldWait;
    return n;
  }
  size_t got = 0;
  while (got < length) {
    const ssize_t n = pread(fd_, out + got, length - got, static_cast<off_t>(offset + got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  return static_cast<int64_t>(got);
}

}  // namespace veldra

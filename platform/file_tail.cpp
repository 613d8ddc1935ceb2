#include "platform/file_tail.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace veldra {
namespace {

// Opens a file for reading its tail: -1 unless it is a regular file. O_NONBLOCK so that a FIFO
// with a matching name cannot hang the run in open().
int OpenRegular(const std::string& path, off_t& size) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return -1;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return -1;
  }
  size = st.st_size;
  return fd;
}

// Reads the last `want` bytes of an open file of file_size bytes.
TailReadResult ReadTail(int fd, off_t file_size, size_t want, uint8_t* buffer) {
  if (file_size < static_cast<off_t>(want)) return TailReadResult::kTooShort;
  const off_t at = file_size - static_cast<off_t>(want);
  size_t got = 0;
  while (got < want) {
    const ssize_t n = pread(fd, buffer + got, want - got, at + static_cast<off_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return TailReadResult::kUnreadable;  // an error, or the file shrank since fstat
    got += static_cast<size_t>(n);
  }
  return TailReadResult::kRead;
}

}  // namespace

TailReadResult ReadFileTail(const std::string& path, size_t size, uint8_t* buffer) {
  off_t file_size = 0;
  const int fd = OpenRegular(path, file_size);
  if (fd < 0) return TailReadResult::kUnreadable;
  const TailReadResult result = ReadTail(fd, file_size, size, buffer);
  close(fd);
  return result;
}

void ReadFileTails(std::vector<FileTail>& files, size_t size) {
  struct Open {
    int fd;
    off_t size;
  };
  Open open_files[kTailBatch];
  for (size_t start = 0; start < files.size(); start += kTailBatch) {
    const size_t count = std::min(kTailBatch, files.size() - start);
    for (size_t i = 0; i < count; ++i) {
      Open& file = open_files[i];
      file.fd = OpenRegular(files[start + i].path, file.size);
      // The hint starts the read without waiting for it; a file already cached costs a lookup.
      if (file.fd >= 0 && file.size >= static_cast<off_t>(size))
        posix_fadvise(file.fd, file.size - static_cast<off_t>(size), static_cast<off_t>(size),
                      POSIX_FADV_WILLNEED);
    }
    for (size_t i = 0; i < count; ++i) {
      FileTail& tail = files[start + i];
      tail.bytes.clear();
      tail.result = TailReadResult::kUnreadable;
      if (open_files[i].fd < 0) continue;
      tail.bytes.resize(size);
      tail.result = ReadTail(open_files[i].fd, open_files[i].size, size, tail.bytes.data());
      if (tail.result != TailReadResult::kRead) tail.bytes.clear();
      close(open_files[i].fd);
    }
  }
}

}  // namespace veldra

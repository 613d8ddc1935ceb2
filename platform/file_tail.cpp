#include "platform/file_tail.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sys/uio.h>

#include <algorithm>
#include <functional>

#include "platform/read_pool.h"

namespace veldra {
namespace {

// Opens a file for reading its tail. O_NONBLOCK so that a FIFO with a matching name cannot hang
// the run in open().
// A name that is not a link the walk allows is opened with O_NOFOLLOW: a link swapped in after
// the listing is not followed.
int OpenForTail(int dir_fd, const char* name, bool follow = false) {
  return openat(dir_fd, name,
                O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | (follow ? 0 : O_NOFOLLOW));
}

// True when an open file is the regular file a link was listed leading to.
bool SameFile(int fd, const FileTail& tail) {
  struct stat st;
  return fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
         static_cast<uint64_t>(st.st_dev) == tail.device &&
         static_cast<uint64_t>(st.st_ino) == tail.inode;
}

// confined: names are entries of a folder of the published tree, opened without following a
// link unless the walk allowed it.
void ReadTails(int dir_fd, const std::string& prefix, std::vector<FileTail>& files, size_t size,
               bool confined, ReadPool* pool);

// OpenForTail, and -1 unless it is a regular file, whose size is given back.
int OpenRegular(int dir_fd, const char* name, off_t& size, bool follow) {
  const int fd = OpenForTail(dir_fd, name, follow);
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

// A read the cache could not serve: the open file, and where its tail goes.
struct TailRead {
  FileTail* tail;
  int fd;
  off_t file_size;
  size_t size;
};

void Finish(const TailRead& read) {
  read.tail->result = ReadTail(read.fd, read.file_size, read.size, read.tail->bytes.data());
  close(read.fd);
}

}  // namespace

TailReadResult ReadFileTail(const std::string& path, size_t size, uint8_t* buffer) {
  off_t file_size = 0;
  const int fd = OpenRegular(AT_FDCWD, path.c_str(), file_size, true);
  if (fd < 0) return TailReadResult::kUnreadable;
  const TailReadResult result = ReadTail(fd, file_size, size, buffer);
  close(fd);
  return result;
}

void ReadFileTails(const std::string& folder, std::vector<FileTail>& files, size_t size,
                   ReadPool* pool) {
  // Names are opened within the folder, which spares looking its path up again for each.
  int dir_fd = AT_FDCWD;
  std::string prefix;
  if (!folder.empty()) {
    dir_fd = open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (dir_fd < 0) {
      dir_fd = AT_FDCWD;
      prefix = folder;
    }
  }
  ReadTails(dir_fd, prefix, files, size, false, pool);
  if (dir_fd != AT_FDCWD) close(dir_fd);
}

void ReadFileTailsAt(int dir_fd, std::vector<FileTail>& files, size_t size, ReadPool* pool) {
  ReadTails(dir_fd, std::string(), files, size, true, pool);
}

namespace {

void ReadTails(int dir_fd, const std::string& prefix, std::vector<FileTail>& files, size_t size,
               bool confined, ReadPool* pool) {
  std::vector<TailRead> waiting;  // reads the cache could not serve at once
  std::vector<std::function<void()>> jobs;
  for (size_t start = 0; start < files.size(); start += kTailBatch) {
    const size_t count = std::min(kTailBatch, files.size() - start);
    waiting.clear();
    for (size_t i = 0; i < count; ++i) {
      FileTail& tail = files[start + i];
      tail.bytes.clear();
      tail.result = TailReadResult::kUnreadable;
      if (tail.listed_size >= 0 && tail.listed_size < static_cast<int64_t>(size)) {
        tail.result = TailReadResult::kTooShort;
        continue;
      }
      const std::string path = prefix.empty() ? std::string() : prefix + tail.name;
      const char* name = prefix.empty() ? tail.name.c_str() : path.c_str();
      off_t file_size = static_cast<off_t>(tail.listed_size);
      const bool follow = !confined || tail.through_link;
      int fd = tail.listed_size >= 0 ? OpenForTail(dir_fd, name, follow)
                                     : OpenRegular(dir_fd, name, file_size, follow);
      if (fd < 0) continue;
      if (confined && tail.through_link && !SameFile(fd, tail)) {
        close(fd);
        continue;
      }
      if (file_size < static_cast<off_t>(size)) {
        tail.result = TailReadResult::kTooShort;
        close(fd);
        continue;
      }
      tail.bytes.resize(size);
      const off_t at = file_size - static_cast<off_t>(size);
      // Served from the cache without waiting, or left to the readers.
      struct iovec vec = {tail.bytes.data(), size};
      if (preadv2(fd, &vec, 1, at, RWF_NOWAIT) == static_cast<ssize_t>(size)) {
        tail.result = TailReadResult::kRead;
        close(fd);
        continue;
      }
      waiting.push_back(TailRead{&tail, fd, file_size, size});
    }
    jobs.clear();
    for (const TailRead& read : waiting) jobs.emplace_back([&read] { Finish(read); });
    RunReadJobs(pool, jobs);
    for (size_t i = 0; i < count; ++i) {
      if (files[start + i].result != TailReadResult::kRead) files[start + i].bytes.clear();
    }
  }
}

}  // namespace
}  // namespace veldra

#include "platform/read_only_file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>

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

namespace {

// Threads that run read jobs side by side; started on first need, kept until the process ends.
class ReadPool {
 public:
  static ReadPool& Get() {
    static ReadPool* pool = new ReadPool;  // never destroyed: threads may still wait
    return *pool;
  }

  void RunAll(const std::vector<std::function<void()>>& jobs) {
    if (threads_ == 0) {
      for (const auto& job : jobs) job();
      return;
    }
    std::unique_lock lock(mutex_);
    size_t left = jobs.size();
    for (const auto& job : jobs) queue_.push_back(Item{&job, &left});
    for (size_t i = 0; i < std::min(jobs.size(), threads_); ++i) work_ready_.notify_one();
    while (left > 0 && !queue_.empty()) TakeOne(lock);
    batch_done_.wait(lock, [&left] { return left == 0; });
  }

 private:
  struct Item {
    const std::function<void()>* job;
    size_t* left;
  };

  ReadPool() {
    for (size_t i = 0; i < kThreads; ++i) {
      try {
        std::thread(&ReadPool::Loop, this).detach();
        ++threads_;
      } catch (const std::system_error&) {
        break;
      }
    }
  }

  void TakeOne(std::unique_lock<std::mutex>& lock) {
    const Item item = queue_.front();
    queue_.pop_front();
    lock.unlock();
    (*item.job)();
    lock.lock();
    if (--*item.left == 0) batch_done_.notify_all();
  }

  void Loop() {
    std::unique_lock lock(mutex_);
    for (;;) {
      work_ready_.wait(lock, [this] { return !queue_.empty(); });
      TakeOne(lock);
    }
  }

  static constexpr size_t kThreads = 32;
  size_t threads_ = 0;
  std::mutex mutex_;
  std::condition_variable work_ready_;
  std::condition_variable batch_done_;
  std::deque<Item> queue_;
};

}  // namespace

void RunReadJobs(const std::vector<std::function<void()>>& jobs) { ReadPool::Get().RunAll(jobs); }

}  // namespace veldra

#include "platform/list_ahead.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file_system.h"
#include "platform/worker_threads.h"

namespace veldra {
namespace {

// Reads the folder's entries and their inodes into the kernel's caches.
void Touch(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return;
  ForEachEntryName(fd, [fd](const char* name) {
    struct stat st;
    fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW);
  });
  close(fd);
}

}  // namespace

ListAhead::ListAhead(size_t threads, size_t max_waiting)
    : wanted_(threads), max_waiting_(max_waiting) {}

ListAhead::~ListAhead() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    queue_.clear();
  }
  work_ready_.notify_all();
  JoinThreads(threads_);
}

void ListAhead::Ask(std::string path) {
  if (wanted_ == 0) return;
  {
    std::lock_guard lock(mutex_);
    if (stopping_ || queue_.size() >= max_waiting_) return;
    if (!started_) {
      started_ = true;
      threads_ = StartThreads(wanted_, [this](size_t) { Loop(); });
    }
    if (threads_.empty()) return;  // none could be started: the walk lists alone
    queue_.push_back(std::move(path));
  }
  work_ready_.notify_one();
}

void ListAhead::Loop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    work_ready_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (queue_.empty()) return;  // stopping
    const std::string path = std::move(queue_.front());
    queue_.pop_front();
    lock.unlock();
    Touch(path);
    lock.lock();
  }
}

}  // namespace veldra

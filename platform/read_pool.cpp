#include "platform/read_pool.h"

#include <algorithm>

#include "platform/worker_threads.h"

namespace veldra {

ReadPool::~ReadPool() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  work_ready_.notify_all();
  JoinThreads(threads_);
}

void ReadPool::RunAll(const std::vector<std::function<void()>>& jobs) {
  if (jobs.empty()) return;
  std::unique_lock lock(mutex_);
  if (!started_) {
    started_ = true;
    threads_ = StartThreads(wanted_, [this](size_t) { Loop(); });
  }
  if (threads_.empty()) {
    lock.unlock();
    for (const auto& job : jobs) job();
    return;
  }
  size_t left = jobs.size();
  for (const auto& job : jobs) queue_.push_back(Item{&job, &left});
  for (size_t i = 0; i < std::min(jobs.size(), threads_.size()); ++i) work_ready_.notify_one();
  // The caller reads too, rather than only waiting (perhaps another caller's jobs).
  while (left > 0 && !queue_.empty()) TakeOne(lock);
  batch_done_.wait(lock, [&left] { return left == 0; });
}

// Takes the front job and runs it outside the lock.
void ReadPool::TakeOne(std::unique_lock<std::mutex>& lock) {
  const Item item = queue_.front();
  queue_.pop_front();
  lock.unlock();
  (*item.job)();
  lock.lock();
  if (--*item.left == 0) batch_done_.notify_all();
}

void ReadPool::Loop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    work_ready_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (queue_.empty()) return;  // stopping, and nothing left to read
    TakeOne(lock);
  }
}

void RunReadJobs(ReadPool* pool, const std::vector<std::function<void()>>& jobs) {
  if (pool != nullptr) {
    pool->RunAll(jobs);
    return;
  }
  for (const auto& job : jobs) job();
}

}  // namespace veldra

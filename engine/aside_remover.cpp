#include "engine/aside_remover.h"

#include "platform/worker_threads.h"

namespace veldra {

AsideRemover::AsideRemover(size_t threads, size_t max_queued)
    : max_queued_(max_queued < 1 ? 1 : max_queued) {
  // Fewer removers, or none: files are then removed by the caller of Add.
  removers_ = StartThreads(threads, [this](size_t) { RemoverLoop(); });
}

AsideRemover::~AsideRemover() {
  Drain();
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  work_ready_.notify_all();
  JoinThreads(removers_);
}

void AsideRemover::Add(SetAsideFiles files) {
  if (files.paths.empty()) return;
  if (removers_.empty()) {
    RemoveSetAside(files);
    return;
  }
  {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return queue_.size() < max_queued_; });
    queue_.push_back(std::move(files));
  }
  work_ready_.notify_one();
}

void AsideRemover::Drain() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return queue_.empty() && busy_ == 0; });
}

void AsideRemover::RemoverLoop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    work_ready_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (queue_.empty()) return;  // stopping, and nothing left to remove
    const SetAsideFiles files = std::move(queue_.front());
    queue_.pop_front();
    ++busy_;
    lock.unlock();
    changed_.notify_all();
    RemoveSetAside(files);
    lock.lock();
    --busy_;
    changed_.notify_all();
  }
}

}  // namespace veldra

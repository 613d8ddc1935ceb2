#pragma once
// Deleting set-aside old pages and snapshots on background threads: freeing a file's blocks
// waits for the disk on some systems, and frees from several threads are discarded together.

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/folder_page_write.h"

namespace veldra {

class AsideRemover {
 public:
  // Starts up to `threads` removers (with none, Add removes at once). At most max_queued
  // folders' files wait at any time.
  AsideRemover(size_t threads, size_t max_queued);
  ~AsideRemover();  // Drain, then stop the removers
  AsideRemover(const AsideRemover&) = delete;
  AsideRemover& operator=(const AsideRemover&) = delete;

  // Queues a folder's set-aside files for RemoveSetAside; waits while the queue is full.
  void Add(SetAsideFiles files);
  // Waits until every queued file is deleted and its folder's time put back.
  void Drain();

 private:
  void RemoverLoop();

  size_t max_queued_;
  std::mutex mutex_;
  std::condition_variable work_ready_;
  std::condition_variable changed_;  // a folder was taken or finished
  std::deque<SetAsideFiles> queue_;
  size_t busy_ = 0;  // folders being removed right now
  bool stopping_ = false;
  std::vector<std::thread> removers_;
};

}  // namespace veldra

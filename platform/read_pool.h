#pragma once
// Threads that wait for disk reads side by side, so that the disk gets many reads at a time
// instead of one after another. One pool serves a whole run: ID3v1 tails and tag reads alike.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace veldra {

class ReadPool {
 public:
  // Up to `threads` readers, started on first need (a run over a cached tree never needs them).
  // With none, every job runs on the thread that hands it in.
  explicit ReadPool(size_t threads) : wanted_(threads) {}
  ~ReadPool();  // waits for the readers to finish what they have and stop
  ReadPool(const ReadPool&) = delete;
  ReadPool& operator=(const ReadPool&) = delete;

  // Runs every job, some on the readers and some on the calling thread, and returns when all
  // have finished. Any number of threads may call it at once. A job must not throw.
  void RunAll(const std::vector<std::function<void()>>& jobs);

 private:
  struct Item {
    const std::function<void()>* job;
    size_t* left;  // jobs of its batch not yet finished
  };

  void TakeOne(std::unique_lock<std::mutex>& lock);
  void Loop();

  const size_t wanted_;
  bool started_ = false;
  bool stopping_ = false;
  std::mutex mutex_;
  std::condition_variable work_ready_;
  std::condition_variable batch_done_;
  std::deque<Item> queue_;
  std::vector<std::thread> threads_;
};

// pool->RunAll(jobs), or every job in turn on the calling thread when pool is null.
void RunReadJobs(ReadPool* pool, const std::vector<std::function<void()>>& jobs);

}  // namespace veldra

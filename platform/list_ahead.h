#pragma once
// Listing ahead of a walk on a cold disk. A walk lists one folder at a time and waits for each
// of its disk reads (the folder's blocks, then its entries' inodes) in turn; after the page cache
// is dropped that waiting is most of a run. ListAhead lists and stats folders the walk will soon
// reach on threads of its own, side by side, so that the disk serves many reads at once and the
// walk finds them cached. It only reads metadata and keeps nothing: whether or when it gets to
// a folder changes no result.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace veldra {

class ListAhead {
 public:
  // Up to `threads` listers, started on the first folder handed in; with none, Ask does nothing.
  // At most max_waiting folders wait for them; more are not listed ahead.
  ListAhead(size_t threads, size_t max_waiting);
  ~ListAhead();  // drops what still waits, and waits for the folders being listed
  ListAhead(const ListAhead&) = delete;
  ListAhead& operator=(const ListAhead&) = delete;

  // Lists the folder at path ahead (a link at its last component is not followed), when a
  // lister gets to it.
  void Ask(std::string path);

 private:
  void Loop();

  const size_t wanted_;
  const size_t max_waiting_;
  bool started_ = false;
  bool stopping_ = false;
  std::mutex mutex_;
  std::condition_variable work_ready_;
  std::deque<std::string> queue_;
  std::vector<std::thread> threads_;
};

}  // namespace veldra

#pragma once
// Writing folder pages on background threads, so that the walk does not wait for the disk:
// replacing a file frees the old one's blocks, which on some disks waits for every free to be
// discarded, while frees from several threads at once are discarded together.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/aside_remover.h"
#include "engine/folder_page.h"
#include "engine/run_tuning.h"

namespace veldra {

class PageWriteQueue {
 public:
  // Receives each written page, on the thread that calls Submit, Drain or Finish, in the order
  // the pages were submitted.
  using DoneCallback = std::function<void(const FolderPageFiles&, const FolderPageResult&)>;

  // Starts up to tuning.writer_threads writers (with none, or when no thread can be started,
  // Submit writes at once). At most tuning.max_queued_pages pages wait or are being written at
  // any time. The writers set the old pages and snapshots aside for the remover threads
  // (tuning.remover_threads) to delete.
  PageWriteQueue(const RunTuning& tuning, DoneCallback done);
  ~PageWriteQueue();  // Finish, then stop the writers
  PageWriteQueue(const PageWriteQueue&) = delete;
  PageWriteQueue& operator=(const PageWriteQueue&) = delete;

  // Builds a page: called on a writer thread (or at once when there is none).
  using Prepare = std::function<FolderPageFiles()>;

  // Queues a page; waits while the queue is full. Reports the pages finished so far.
  void Submit(FolderPageFiles files);
  // Queues a page to be built and then written by a writer, so that building pages (reading
  // snapshots and tags, formatting) runs beside the caller too. The callback then sees the
  // page's folder and paths; its page and snapshot bytes are let go once written. When building
  // or writing runs out of memory, that page is reported not written (under folder) and the
  // others go on.
  void Submit(Prepare prepare, std::string folder = {});
  // Waits until every submitted page is written and the files it replaced are deleted, and
  // reports them.
  void Finish();

 private:
  struct Job {
    Prepare prepare;     // empty once the files are built
    std::string folder;  // reported when building fails
    FolderPageFiles files;
    FolderPageResult result;
    bool done = false;
  };

  void Submit(Job job);
  void WriterLoop();
  FolderPageResult Run(Job& job, SetAsideFiles* aside);
  // Takes the finished pages from the front of the queue, waiting until `keep_at_most` remain,
  // and reports them outside the lock.
  void ReportDone(size_t keep_at_most);

  DoneCallback done_;
  size_t max_queued_;
  std::mutex mutex_;
  std::condition_variable work_ready_;
  std::condition_variable job_done_;
  std::deque<Job> jobs_;    // in submission order; the front ones may be done
  size_t next_to_run_ = 0;  // index into jobs_ of the first job no writer has taken
  bool stopping_ = false;
  AsideRemover removers_;  // before the writers: they are stopped first
  std::vector<std::thread> writers_;
};

}  // namespace veldra

#include "engine/page_write_queue.h"

#include <new>

#include "platform/worker_threads.h"

namespace veldra {

PageWriteQueue::PageWriteQueue(const RunTuning& tuning, DoneCallback done)
    : done_(std::move(done)),
      max_queued_(tuning.max_queued_pages < 1 ? 1 : tuning.max_queued_pages),
      removers_(tuning.remover_threads, tuning.max_queued_asides) {
  // Fewer writers, or none: pages are then written on the submitting thread.
  writers_ = StartThreads(tuning.writer_threads, [this](size_t) { WriterLoop(); });
}

PageWriteQueue::~PageWriteQueue() {
  Finish();
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  work_ready_.notify_all();
  JoinThreads(writers_);
}

void PageWriteQueue::Submit(FolderPageFiles files) {
  Submit(Job{{}, {}, std::move(files), {}, false});
}

void PageWriteQueue::Submit(Prepare prepare, std::string folder) {
  Submit(Job{std::move(prepare), std::move(folder), {}, {}, false});
}

void PageWriteQueue::Submit(Job job) {
  if (writers_.empty()) {
    const FolderPageResult result = Run(job, nullptr);
    done_(job.files, result);
    return;
  }
  {
    std::lock_guard lock(mutex_);
    jobs_.push_back(std::move(job));
  }
  work_ready_.notify_one();
  ReportDone(max_queued_ - 1);
}

FolderPageResult PageWriteQueue::Run(Job& job, SetAsideFiles* aside) {
  FolderPageResult result;
  try {
    if (job.prepare) {
      job.files = job.prepare();
      job.prepare = nullptr;  // lets go of the tables it holds
    }
    result = WriteFolderPageFiles(job.files, aside);
  } catch (const std::bad_alloc&) {
    // This folder fails; the run goes on.
    job.prepare = nullptr;
    if (job.files.folder.empty()) job.files.folder = std::move(job.folder);
    result = FolderPageResult{};
  }
  std::string().swap(job.files.page);
  std::string().swap(job.files.snapshot);
  return result;
}

void PageWriteQueue::Finish() {
  ReportDone(0);
  removers_.Drain();
}

void PageWriteQueue::ReportDone(size_t keep_at_most) {
  std::vector<Job> finished;
  {
    std::unique_lock lock(mutex_);
    for (;;) {
      while (!jobs_.empty() && jobs_.front().done) {
        finished.push_back(std::move(jobs_.front()));
        jobs_.pop_front();
        --next_to_run_;
      }
      if (jobs_.size() <= keep_at_most) break;
      job_done_.wait(lock);
    }
  }
  for (const Job& job : finished) done_(job.files, job.result);
}

void PageWriteQueue::WriterLoop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    work_ready_.wait(lock, [this] { return stopping_ || next_to_run_ < jobs_.size(); });
    if (next_to_run_ >= jobs_.size()) return;  // stopping, and nothing left to write
    // A deque keeps references to its elements valid while others are added at the back or
    // taken from the front, and the front is taken only once the job is done.
    Job& job = jobs_[next_to_run_++];
    lock.unlock();
    SetAsideFiles aside;
    const FolderPageResult result = Run(job, &aside);
    removers_.Add(std::move(aside));
    lock.lock();
    job.result = result;
    job.done = true;
    job_done_.notify_all();
  }
}

}  // namespace veldra

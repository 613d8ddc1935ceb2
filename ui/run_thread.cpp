#include "ui/run_thread.h"

#include <QMutexLocker>
#include <utility>

#include "ui/qt_text.h"

namespace veldra {

class RunThread::Observer final : public RunObserver {
 public:
  explicit Observer(RunThread& thread) : thread_(thread) {}
  void FolderStarted(const std::string& folder) override { thread_.Report(folder, pages_); }
  void PageWritten(const std::string& folder, size_t pages_written) override {
    pages_ = pages_written;
    thread_.Report(folder, pages_);
  }

 private:
  RunThread& thread_;
  size_t pages_ = 0;
};

RunThread::RunThread(EnvironmentSet set, ProgramPlace place, RunLock lock, QObject* parent)
    : QThread(parent), set_(std::move(set)), place_(std::move(place)), lock_(std::move(lock)) {}

void RunThread::run() {
  Observer observer(*this);
  result_ = ExecuteRun(set_, place_, clock_, &observer);
  lock_.Release();
}

RunResult RunThread::TakeResult() { return std::move(result_); }

RunThread::Progress RunThread::TakeProgress() {
  QMutexLocker lock(&progress_mutex_);
  progress_pending_ = false;
  return progress_;
}

void RunThread::Report(const std::string& folder, size_t pages_written) {
  bool notify = false;
  {
    QMutexLocker lock(&progress_mutex_);
    progress_.pages_written = pages_written;
    progress_.folder = ToQ(folder);
    notify = !std::exchange(progress_pending_, true);
  }
  if (notify) emit ProgressChanged();
}

}  // namespace veldra

#include "ui/run_thread.h"

#include <QMutexLocker>
#include <utility>

#include "ui/qt_text.h"

namespace veldra {

class RunThread::Observer final : public RunObserver {
 public:
  explicit Observer(RunThread& thread) : thread_(thread) {}
  void FolderStarted(const std::string& folder) override {
    thread_.Update([&](Progress& p) { p.folder = ToQ(folder); });
  }
  void PageWritten(const std::string& /*folder*/, size_t pages_written) override {
    thread_.Update([&](Progress& p) { p.pages_written = pages_written; });
  }
  void WalkProgress(size_t folders_found, size_t folders_done) override {
    thread_.Update([&](Progress& p) {
      p.folders_found = folders_found;
      p.folders_done = folders_done;
    });
  }
  void GatherProgress(size_t pages_done, size_t pages_total) override {
    thread_.Update([&](Progress& p) {
      p.gathering = true;
      p.pages_gathered = pages_done;
      p.pages_to_gather = pages_total;
    });
  }

 private:
  RunThread& thread_;
};

RunThread::RunThread(EnvironmentSet set, ProgramPlace place, RunLock lock,
                     std::function<void(std::string_view)> pause_hook, QObject* parent)
    : QThread(parent), set_(std::move(set)), place_(std::move(place)), lock_(std::move(lock)) {
  control_.pause_hook = std::move(pause_hook);
}

void RunThread::run() {
  Observer observer(*this);
  result_ = ExecuteRun(set_, place_, clock_, &observer, &control_);
  lock_.Release();
}

RunResult RunThread::TakeResult() { return std::move(result_); }

RunThread::Progress RunThread::TakeProgress() {
  QMutexLocker lock(&progress_mutex_);
  progress_pending_ = false;
  return progress_;
}

void RunThread::Update(const std::function<void(Progress&)>& change) {
  bool notify = false;
  {
    QMutexLocker lock(&progress_mutex_);
    change(progress_);
    notify = !std::exchange(progress_pending_, true);
  }
  if (notify) emit ProgressChanged();
}

}  // namespace veldra

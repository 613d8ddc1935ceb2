#pragma once
// A generation run on a thread of its own, so the window keeps repainting while it goes on.

#include <QMutex>
#include <QString>
#include <QThread>

#include "engine/run.h"
#include "engine/run_lock.h"
#include "platform/local_time.h"
#include "settings/environment_set.h"
#include "settings/set_file.h"

namespace veldra {

class RunThread final : public QThread {
  Q_OBJECT

 public:
  // The set must have passed PrepareRunInput; lock is the set's run lock, released when the run
  // has ended (before its notice is shown, which may stay open for hours).
  RunThread(EnvironmentSet set, ProgramPlace place, RunLock lock, QObject* parent = nullptr);

  // The run's result; valid once the thread has finished.
  RunResult TakeResult();

  // The latest progress: pages written so far and the folder being worked on. Reading it
  // re-arms ProgressChanged.
  struct Progress {
    size_t pages_written = 0;
    QString folder;
  };
  Progress TakeProgress();

 signals:
  // Something new to show. Emitted at most once until TakeProgress is called, so a fast run
  // does not flood the window's event queue.
  void ProgressChanged();

 protected:
  void run() override;

 private:
  class Observer;
  void Report(const std::string& folder, size_t pages_written);

  const EnvironmentSet set_;
  const ProgramPlace place_;
  SystemClock clock_;
  RunLock lock_;
  RunResult result_;

  QMutex progress_mutex_;
  Progress progress_;
  bool progress_pending_ = false;
};

}  // namespace veldra

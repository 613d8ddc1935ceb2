#pragma once
// A generation run on a thread of its own, so the window keeps repainting while it goes on.

#include <QMutex>
#include <QString>
#include <QThread>
#include <functional>
#include <string_view>

#include "engine/run.h"
#include "engine/run_control.h"
#include "engine/run_lock.h"
#include "platform/local_time.h"
#include "settings/environment_set.h"
#include "settings/set_file.h"

namespace veldra {

class RunThread final : public QThread {
  Q_OBJECT

 public:
  // The set must have passed PrepareRunInput; lock is the set's run lock, released when the run
  // has ended (before its notice is shown, which may stay open for hours). pause_hook is
  // test-only (empty in the program): the run calls it at each named pause point, on the run's
  // thread.
  RunThread(EnvironmentSet set, ProgramPlace place, RunLock lock,
            std::function<void(std::string_view)> pause_hook = {}, QObject* parent = nullptr);

  // Asks the run to stop between folders; callable from any thread.
  void RequestStop() { control_.RequestStop(); }

  // The run's result; valid once the thread has finished.
  RunResult TakeResult();

  // The latest progress. Reading it re-arms ProgressChanged.
  struct Progress {
    size_t folders_found = 0;  // so far: the walk finds folders as it lists them
    size_t folders_done = 0;
    size_t pages_written = 0;
    bool gathering = false;  // the gathering pass has begun
    size_t pages_gathered = 0;
    size_t pages_to_gather = 0;
    QString folder;  // the folder being listed
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
  void Update(const std::function<void(Progress&)>& change);

  const EnvironmentSet set_;
  const ProgramPlace place_;
  SystemClock clock_;
  RunControl control_;
  RunLock lock_;
  RunResult result_;

  QMutex progress_mutex_;
  Progress progress_;
  bool progress_pending_ = false;
};

}  // namespace veldra

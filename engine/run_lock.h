#pragma once
// One run per set at a time. Two runs of one set over the same folders would write and gather
// the same pages at once and lose some of them. The lock is keyed by the set name (case folded,
// as set files are found) and the real paths of the root and output folders, taken before the
// run starts and held until its notice; its file is in the program folder, never in the tree or
// the output folder. A killed run releases it (flock).

#include <cstdint>
#include <string>

#include "platform/file_lock.h"
#include "settings/environment_set.h"
#include "settings/set_file.h"

namespace veldra {

class RunLock {
 public:
  enum class Outcome {
    kTaken,        // the run may start
    kHeld,         // another run holds it: refuse, saying holder()
    kUnavailable,  // no lock file could be made (a program folder that cannot be written): the
                   // run goes on without one, as it could not save its set there either
  };

  // set must have passed PrepareRunInput. Never waits.
  Outcome Take(const EnvironmentSet& set, const ProgramPlace& place, int64_t now_utc_seconds);
  void Release() { lock_.Release(); }

  // For kHeld: what holds the lock, as "pid N (開始 YYYY/MM/DD hh:mm:ss)" in local time, or ""
  // when the holder has not said yet.
  const std::string& holder() const { return holder_; }

  // The lock file a set and its folders use (for tests and the message).
  static std::string LockPath(const EnvironmentSet& set, const ProgramPlace& place);

 private:
  FileLock lock_;
  std::string holder_;
};

// The message for a refused run: text::kRunLocked, then the holder when known.
std::string RunLockedMessage(const std::string& holder);

}  // namespace veldra

#pragma once
// What a front end can do to a run while it goes on: ask it to stop between folders, and, in
// tests only, hold it at a named point so a race or a stop can be staged without timing.

#include <atomic>
#include <functional>
#include <string_view>

namespace veldra {

// Named points where a run calls its pause hook. Tests swap files or ask for a stop there.
namespace pause_point {
inline constexpr std::string_view kWalkStarted = "walk-started";
inline constexpr std::string_view kFolderWritten = "folder-written";  // after each folder's page
inline constexpr std::string_view kWalkDone = "walk-done";            // before gathering
// The tag cache's records of the walk are written, before the cache is closed.
inline constexpr std::string_view kTagCacheWritten = "tag-cache-written";
// The gathering pass has chosen the old numbered pages it may delete, before it writes any.
inline constexpr std::string_view kGatherDeleted = "gather-deleted";
inline constexpr std::string_view kRunDone = "run-done";  // before the set is saved
}  // namespace pause_point

class RunControl {
 public:
  // Thread-safe; the run stops at the next folder boundary and says so in its report.
  void RequestStop() { stop_.store(true, std::memory_order_relaxed); }
  bool StopRequested() const { return stop_.load(std::memory_order_relaxed); }

  // Test-only: called with each pause point's name on the run's own thread; the run goes on when
  // it returns. Unset in production.
  std::function<void(std::string_view point)> pause_hook;

  // Test-only: how long before the run began a file must have last changed for its tags to be
  // kept in the tag cache (tests make files and run at once).
  int tag_cache_settle_seconds = 2;

  void PauseAt(std::string_view point) const {
    if (pause_hook) pause_hook(point);
  }

 private:
  std::atomic<bool> stop_{false};
};

}  // namespace veldra

#pragma once
// An advisory lock on a file (flock). The kernel drops it when its holder ends, however it ends,
// so a killed process never leaves a stale lock behind; the file itself stays.

#include <string>

namespace veldra {

class FileLock {
 public:
  enum class Outcome {
    kTaken,          // this object holds the lock now
    kHeldElsewhere,  // another open of the file holds it (another process, or another FileLock)
    kFailed,         // the file could not be opened or created
  };

  FileLock() = default;
  ~FileLock() { Release(); }
  FileLock(FileLock&& other) noexcept;
  FileLock& operator=(FileLock&& other) noexcept;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // Tries once, without waiting; the file is created when missing. When taken, the file's content
  // becomes note (what holds the lock, for the next one who finds it taken). When held elsewhere,
  // holder_note receives the holder's note (possibly "" if it has not written it yet).
  Outcome TryTake(const std::string& path, const std::string& note, std::string& holder_note);

  // Lets the lock go (the file stays); harmless when not held.
  void Release();
  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// The path with every link and "." or ".." resolved, or the path as given when it cannot be
// resolved (a folder that does not exist yet). A trailing separator is dropped.
std::string ResolvedPath(const std::string& path);

}  // namespace veldra

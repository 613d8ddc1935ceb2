#include "engine/run_lock.h"

#include <unistd.h>

#include <cinttypes>
#include <cstdio>

#include "engine/messages.h"
#include "platform/local_time.h"
#include "platform/text_compare.h"
#include "platform/text_trim.h"

namespace veldra {
namespace {

// FNV-1a, 64 bits: a short, stable file name for a key of any length.
uint64_t Fnv1a(const std::string& text) {
  uint64_t hash = 14695981039346656037ull;
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  return hash;
}

// "pid N (開始 YYYY/MM/DD hh:mm:ss)" from the note "N T" (T in UTC seconds), or "".
std::string DescribeHolder(const std::string& note) {
  long long pid = 0, started = 0;
  if (std::sscanf(note.c_str(), "%lld %lld", &pid, &started) != 2 || pid <= 0) return "";
  const LocalTime t = ToLocalTime(started);
  char text[96];
  std::snprintf(text, sizeof text, "pid %lld (開始 %04d/%02d/%02d %02d:%02d:%02d)", pid, t.year,
                t.month, t.day, t.hour, t.minute, t.second);
  return text;
}

}  // namespace

std::string RunLock::LockPath(const EnvironmentSet& set, const ProgramPlace& place) {
  const std::string output = TrimBlanks(set.OutputFolder);
  std::string key = FoldCase(TrimBlanks(set.SetName));
  key += '\0';
  key += ResolvedPath(set.RootFolder);
  key += '\0';
  if (!output.empty()) key += ResolvedPath(output);
  // Not named after the program: the window and a batch runner under another name must meet.
  char name[40];
  std::snprintf(name, sizeof name, "veldra-run-%016" PRIx64 ".lock", Fnv1a(key));
  return place.folder + "/" + name;
}

RunLock::Outcome RunLock::Take(const EnvironmentSet& set, const ProgramPlace& place,
                               int64_t now_utc_seconds) {
  holder_.clear();
  const std::string note = std::to_string(getpid()) + " " + std::to_string(now_utc_seconds) + "\n";
  std::string holder_note;
  switch (lock_.TryTake(LockPath(set, place), note, holder_note)) {
    case FileLock::Outcome::kTaken:
      return Outcome::kTaken;
    case FileLock::Outcome::kHeldElsewhere:
      holder_ = DescribeHolder(holder_note);
      return Outcome::kHeld;
    case FileLock::Outcome::kFailed:
      break;
  }
  return Outcome::kUnavailable;
}

std::string RunLockedMessage(const std::string& holder) {
  std::string message(text::kRunLocked);
  if (!holder.empty()) message += std::string(text::kRunLockedHolder) + holder;
  return message;
}

}  // namespace veldra

#include "platform/text_file.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <new>

#include "platform/folder_tree.h"

namespace veldra {
namespace {

void SetError(std::string* err, const std::string& what, const std::string& path, int code) {
  if (err != nullptr) *err = what + " " + path + ": " + strerror(code);
}

// The process's umask, read once without changing it (/proc), or by setting and restoring it.
mode_t ProcessUmask() {
  static const mode_t mask = [] {
    if (FILE* f = fopen("/proc/self/status", "re")) {
      char line[256];
      unsigned value = 0;
      bool found = false;
      while (!found && fgets(line, sizeof line, f) != nullptr)
        found = sscanf(line, "Umask: %o", &value) == 1;
      fclose(f);
      if (found) return static_cast<mode_t>(value & 0777);
    }
    const mode_t m = umask(0);
    umask(m);
    return m;
  }();
  return mask;
}
// Read at start-up, while the process has one thread, so the umask(0) fallback cannot race.
[[maybe_unused]] const mode_t kUmaskAtStart = ProcessUmask();

bool WriteAll(int fd, std::string_view bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

// A number for the 8 characters of a temporary name, which another file's name is unlikely to
// end in. Each thread draws its seed once and steps a 64-bit mixer after that: one system call
// per thread, not per file. A clash is harmless anyway (O_EXCL and link refuse it, and the
// caller draws again).
uint64_t RandomDraw() {
  static thread_local uint64_t state = [] {
    uint64_t seed = 0;
    if (getrandom(&seed, sizeof seed, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof seed))
      seed = static_cast<uint64_t>(getpid()) << 32 ^ static_cast<uint64_t>(time(nullptr));
    return seed;
  }();
  state += 0x9E3779B97F4A7C15ull;  // splitmix64
  uint64_t r = state;
  r = (r ^ (r >> 30)) * 0xBF58476D1CE4E5B9ull;
  r = (r ^ (r >> 27)) * 0x94D049BB133111EBull;
  r ^= r >> 31;
  return r;
}

constexpr size_t kTemporaryTargetMax = 200;  // within the 255-byte limit of a file name
constexpr std::string_view kTemporaryMark = ".tmp-";
constexpr size_t kTemporaryDraw = 8;

}  // namespace

bool ReadFileBytes(const std::string& path, std::string& bytes, std::string* err) {
  bytes.clear();
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    SetError(err, "cannot open", path, errno);
    return false;
  }
  struct stat st;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
    bytes.reserve(static_cast<size_t>(st.st_size));
  char buffer[65536];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      const int code = errno;
      close(fd);
      bytes.clear();
      SetError(err, "cannot read", path, code);
      errno = code;
      return false;
    }
    bytes.append(buffer, static_cast<size_t>(n));
  }
  close(fd);
  return true;
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    const size_t next = end == std::string_view::npos ? text.size() : end + 1;
    if (end == std::string_view::npos)
      end = text.size();
    else if (end > start && text[end - 1] == '\r')
      --end;
    lines.emplace_back(text.substr(start, end - start));
    start = next;
  }
  return lines;
}

bool ReadTextLines(const std::string& path, Cp932Escape escape, std::vector<std::string>& lines,
                   std::string* err) {
  lines.clear();
  std::string bytes;
  if (!ReadFileBytes(path, bytes, err)) return false;
  lines = SplitLines(bytes);
  for (std::string& line : lines) line = DecodeCp932(line, escape);
  return true;
}

void AppendCp932Line(std::string& out, std::string_view utf8_line, Cp932Escape escape) {
  AppendCp932(out, utf8_line, escape);
  out += "\r\n";
}

bool CreateNewFile(const std::string& path, std::string_view bytes, std::string* err) {
  const int fd = open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
  if (fd < 0) {
    SetError(err, "cannot create", path, errno);
    return false;
  }
  const bool written = WriteAll(fd, bytes);
  const int write_errno = errno;
  const bool closed = close(fd) == 0;
  if (written && closed) return true;
  SetError(err, "cannot write", path, written ? errno : write_errno);
  unlink(path.c_str());  // the file is ours: we just created it
  return false;
}

namespace {

// The file a replace writes: a link is replaced behind it, at the file it leads to. exists
// and st tell about that file.
std::string ReplaceTarget(const std::string& path, struct stat& st, bool& exists) {
  exists = lstat(path.c_str(), &st) == 0;
  if (!exists || !S_ISLNK(st.st_mode)) return path;
  std::string target = path;
  if (char* resolved = realpath(path.c_str(), nullptr)) {
    target = resolved;
    free(resolved);
  }
  exists = stat(target.c_str(), &st) == 0;
  return target;
}

// A hidden name in the target's folder, as TemporaryNameOf makes it.
std::string HiddenNameOf(const std::string& target, uint64_t draw) {
  const size_t slash = target.rfind('/');
  if (slash == std::string::npos) return TemporaryNameOf(target, draw);
  return target.substr(0, slash + 1) +
         TemporaryNameOf(std::string_view(target).substr(slash + 1), draw);
}

// No fsync: the crash guarded against is the process being killed, after which the kernel still
// writes out what was written; losing both copies needs a power failure, and syncing every page
// would slow a run down by orders of magnitude.
bool Replace(const std::string& path, std::string_view bytes, std::string* err) {
  struct stat st;
  bool exists = false;
  const std::string target = ReplaceTarget(path, st, exists);
  if (target.empty() || target.back() == '/') {
    SetError(err, "cannot replace", path, EISDIR);
    return false;
  }
  const mode_t mode = exists ? (st.st_mode & 0777) : (0666 & ~ProcessUmask());

  std::string temp;
  int fd = -1;
  for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
    temp = HiddenNameOf(target, RandomDraw());
    fd = open(temp.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, mode);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    SetError(err, "cannot create a temporary file for", path, errno);
    return false;
  }
  int code = 0;
  // The umask may have taken bits of the old file's mode away.
  if (!WriteAll(fd, bytes) || ((mode & ProcessUmask()) != 0 && fchmod(fd, mode) != 0)) code = errno;
  if (close(fd) != 0 && code == 0) code = errno;
  if (code == 0 && rename(temp.c_str(), target.c_str()) != 0) code = errno;
  if (code != 0) {
    unlink(temp.c_str());
    SetError(err, "cannot replace", path, code);
    return false;
  }
  return true;
}

}  // namespace

bool ReplaceFile(const std::string& path, std::string_view bytes, std::string* err) {
  return Replace(path, bytes, err);
}

}  // namespace veldra

namespace veldra {

FileIdentity IdentityOf(int fd) {
  struct stat st;
  if (fstat(fd, &st) != 0) return {};
  return FileIdentity{
      static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino),
      static_cast<int64_t>(st.st_size),
      FileTime{static_cast<int64_t>(st.st_mtim.tv_sec), static_cast<int32_t>(st.st_mtim.tv_nsec)}};
}

std::string TemporaryNameOf(std::string_view target, uint64_t draw) {
  if (target.size() > kTemporaryTargetMax) target = target.substr(0, kTemporaryTargetMax);
  static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  std::string name = "." + std::string(target) + std::string(kTemporaryMark);
  for (size_t i = 0; i < kTemporaryDraw; ++i) {
    name += kDigits[draw % 36];
    draw /= 36;
  }
  return name;
}

std::string_view TemporaryNameTarget(std::string_view name) {
  const size_t tail = kTemporaryMark.size() + kTemporaryDraw;
  if (name.size() < tail + 2 || name[0] != '.') return {};
  if (name.substr(name.size() - tail, kTemporaryMark.size()) != kTemporaryMark) return {};
  for (char c : name.substr(name.size() - kTemporaryDraw)) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z'))) return {};
  }
  return name.substr(1, name.size() - tail - 1);
}

bool IsTemporaryNameOf(std::string_view name, std::string_view target) {
  if (target.size() > kTemporaryTargetMax) target = target.substr(0, kTemporaryTargetMax);
  return !target.empty() && TemporaryNameTarget(name) == target;
}

bool ReplaceFileAt(int dir_fd, const std::string& name, std::string_view bytes, std::string* aside,
                   FileIdentity* written, std::string* err) {
  if (aside != nullptr) aside->clear();
  std::string temp;
  int fd = -1;
  for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
    temp = TemporaryNameOf(name, RandomDraw());
    // 0666: the umask takes its bits away, and no old mode is carried over.
    fd = openat(dir_fd, temp.c_str(),
                O_CREAT | O_EXCL | O_WRONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    SetError(err, "cannot create a temporary file for", name, errno);
    return false;
  }
  int code = 0;
  if (!WriteAll(fd, bytes)) code = errno;
  if (code == 0 && written != nullptr) *written = IdentityOf(fd);
  if (close(fd) != 0 && code == 0) code = errno;
  std::string linked;
  if (code == 0 && aside != nullptr) {
    struct stat st;
    if (fstatat(dir_fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode)) {
      for (int attempt = 0; attempt < 16; ++attempt) {
        std::string candidate = TemporaryNameOf(name, RandomDraw());
        // linkat without AT_SYMLINK_FOLLOW names the entry itself, never a link's target.
        if (linkat(dir_fd, name.c_str(), dir_fd, candidate.c_str(), 0) == 0) {
          linked = std::move(candidate);
          break;
        }
        if (errno != EEXIST) break;
      }
    }
  }
  // renameat replaces the entry holding the name (a link is replaced, not written through); a
  // folder holding it makes this fail, and the folder stays.
  if (code == 0 && renameat(dir_fd, temp.c_str(), dir_fd, name.c_str()) != 0) code = errno;
  if (code != 0) {
    unlinkat(dir_fd, temp.c_str(), 0);
    if (!linked.empty()) unlinkat(dir_fd, linked.c_str(), 0);
    SetError(err, "cannot replace", name, code);
    errno = code;  // the cleanup above may have changed it
    return false;
  }
  if (aside != nullptr) *aside = std::move(linked);
  return true;
}

bool RemoveFileAt(int dir_fd, const std::string& name, std::string* aside) {
  if (aside != nullptr) aside->clear();
  struct stat st;
  if (fstatat(dir_fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return errno == ENOENT;
  if (S_ISDIR(st.st_mode)) return true;  // not ours: a folder is never removed
  if (aside != nullptr && S_ISREG(st.st_mode)) {
    for (int attempt = 0; attempt < 16; ++attempt) {
      std::string candidate = TemporaryNameOf(name, RandomDraw());
      if (renameat2(dir_fd, name.c_str(), dir_fd, candidate.c_str(), RENAME_NOREPLACE) == 0) {
        *aside = std::move(candidate);
        return true;
      }
      if (errno != EEXIST) break;
    }
  }
  return unlinkat(dir_fd, name.c_str(), 0) == 0 || errno == ENOENT;
}

bool HasOurReplaceMode(uint32_t owner, uint32_t mode) {
  // Asked twice for every page a run leaves alone: the user is read once (a run never changes it).
  static const uid_t user = geteuid();
  return owner == user && mode == (0666 & ~ProcessUmask());
}

bool HoldsSameBytesAt(int dir_fd, const std::string& name, std::string_view bytes, ByteSpan ignored,
                      FileIdentity* identity) {
  if (ignored.end > bytes.size() || ignored.empty()) ignored = ByteSpan{};
  const size_t fixed = bytes.size() - (ignored.end - ignored.begin);
  const int fd =
      openat(dir_fd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return false;
  const ScopedFd file(fd);
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
      !HasOurReplaceMode(static_cast<uint32_t>(st.st_uid), st.st_mode & 07777))
    return false;
  // Only the ignored span may differ in length, and only up to kIgnoredSpanMax.
  const auto size = static_cast<uint64_t>(st.st_size);
  if (ignored.empty() ? size != bytes.size() : size < fixed || size - fixed > kIgnoredSpanMax)
    return false;
  std::string old;
  try {
    old.resize(static_cast<size_t>(size));
  } catch (const std::bad_alloc&) {
    return false;
  }
  size_t done = 0;
  while (done < old.size()) {
    const ssize_t n = read(fd, old.data() + done, old.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;  // shorter than fstat said: changing under us
    done += static_cast<size_t>(n);
  }
  char probe;
  if (read(fd, &probe, 1) != 0) return false;  // longer than fstat said
  if (ignored.empty()) {
    if (old != bytes) return false;
  } else {
    const std::string_view before = bytes.substr(0, ignored.begin);
    const std::string_view after = bytes.substr(ignored.end);
    const std::string_view old_view(old);
    const std::string_view old_middle =
        old_view.substr(before.size(), old.size() - before.size() - after.size());
    if (!old_view.starts_with(before) || !old_view.ends_with(after) ||
        old_middle.find_first_of("\r\n") != std::string_view::npos)
      return false;
  }
  // The identity the file had before it was read: a change while it was read shows as another
  // last-write time to whoever checks it later.
  if (identity != nullptr)
    *identity = FileIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino),
                             static_cast<int64_t>(st.st_size),
                             FileTime{static_cast<int64_t>(st.st_mtim.tv_sec),
                                      static_cast<int32_t>(st.st_mtim.tv_nsec)}};
  return true;
}

RegularReadResult ReadRegularFileAt(int dir_fd, const std::string& name, size_t cap,
                                    std::string& bytes, bool* truncated,
                                    const FileIdentity* expected) {
  bytes.clear();
  if (truncated != nullptr) *truncated = false;
  const int fd =
      openat(dir_fd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    if (errno == ENOENT) return RegularReadResult::kMissing;
    return errno == ELOOP || errno == ENXIO ? RegularReadResult::kNotRegular
                                            : RegularReadResult::kError;
  }
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return RegularReadResult::kNotRegular;
  }
  if (expected != nullptr && IdentityOf(fd) != *expected) {
    close(fd);
    return RegularReadResult::kNotRegular;
  }
  const size_t size = st.st_size > 0 ? static_cast<size_t>(st.st_size) : 0;
  const size_t want = size < cap ? size : cap;
  if (truncated != nullptr) *truncated = size > cap;
  try {
    bytes.reserve(want);
  } catch (const std::bad_alloc&) {
    close(fd);
    return RegularReadResult::kError;
  }
  char buffer[65536];
  while (bytes.size() < cap) {
    const size_t chunk = std::min(sizeof buffer, cap - bytes.size());
    const ssize_t n = read(fd, buffer, chunk);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      close(fd);
      bytes.clear();
      return RegularReadResult::kError;
    }
    bytes.append(buffer, static_cast<size_t>(n));
  }
  if (truncated != nullptr && bytes.size() >= cap) {
    char probe;
    *truncated = *truncated || read(fd, &probe, 1) == 1;
  }
  close(fd);
  return RegularReadResult::kRead;
}

}  // namespace veldra

#include "platform/file_system.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/text_compare.h"
#include "platform/utf8.h"

namespace veldra {
namespace {

FileTime ModifiedTime(const struct stat& st) {
  return FileTime{static_cast<int64_t>(st.st_mtim.tv_sec),
                  static_cast<int32_t>(st.st_mtim.tv_nsec)};
}

// Opens a folder for reading its entries; nullptr (errno set) when it cannot be opened.
DIR* OpenFolder(const std::string& folder) {
  const int fd = open(folder.empty() ? "." : folder.c_str(), O_DIRECTORY | O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  DIR* dir = fdopendir(fd);
  if (dir == nullptr) {
    const int code = errno;
    close(fd);
    errno = code;
  }
  return dir;
}

bool IsDotOrDotDot(const char* name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Stats an entry as a listing shows it: links followed; a link that cannot be followed (dangling,
// a loop, an unreachable target) is a file of size 0 with the link's own time. False when the
// entry is gone.
bool StatEntry(int dir_fd, const char* name, struct stat& st, DirEntry& e) {
  if (fstatat(dir_fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
  e.owner = e.target_owner = static_cast<uint32_t>(st.st_uid);
  if (!S_ISLNK(st.st_mode)) return true;
  e.is_link = true;
  struct stat target;
  if (fstatat(dir_fd, name, &target, 0) == 0) {
    st = target;
    e.target_owner = static_cast<uint32_t>(target.st_uid);
  } else {
    e.dangling = true;
    st.st_size = 0;
  }
  return true;
}

// Matches folded texts unit by unit: a unit is a code point, or one byte that is not valid UTF-8.
bool MatchUnits(std::string_view name, std::string_view pattern) {
  const auto unit_length = [](std::string_view s, size_t pos) {
    uint32_t c = 0;
    const size_t len = DecodeUtf8(s, pos, c);
    return len == 0 ? size_t{1} : len;
  };
  size_t n = 0, p = 0;
  size_t star = std::string_view::npos, star_n = 0;  // last "*" seen and where it began to match
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = ++p;
      star_n = n;
      continue;
    }
    if (p < pattern.size()) {
      const size_t pl = unit_length(pattern, p);
      const size_t nl = unit_length(name, n);
      if ((pattern[p] == '?' && pl == 1) || pattern.substr(p, pl) == name.substr(n, nl)) {
        p += pl;
        n += nl;
        continue;
      }
    }
    if (star == std::string_view::npos) return false;
    // Let the last "*" take one more unit and try again from there.
    star_n += unit_length(name, star_n);
    n = star_n;
    p = star;
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace

bool ListFolder(const std::string& folder, std::vector<DirEntry>& entries, std::string* err) {
  entries.clear();
  const int fd = open(folder.empty() ? "." : folder.c_str(), O_DIRECTORY | O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (err != nullptr) *err = "cannot open folder " + folder + ": " + strerror(errno);
    return false;
  }
  const bool ok = ListFolderAt(fd, entries, err);
  close(fd);
  return ok;
}

bool ForEachEntryName(int fd, const std::function<void(const char* name)>& each) {
  alignas(struct dirent64) char buffer[32768];
  for (;;) {
    const ssize_t got = getdents64(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return got == 0;
    for (ssize_t at = 0; at < got;) {
      const auto* d = reinterpret_cast<const struct dirent64*>(buffer + at);
      at += d->d_reclen;
      if (!IsDotOrDotDot(d->d_name)) each(d->d_name);
    }
  }
}

bool ListFolderAt(int folder_fd, std::vector<DirEntry>& entries, std::string* err) {
  entries.clear();
  // A descriptor of its own for the listing, so the caller's stays open and unmoved.
  const int dir_fd = openat(folder_fd, ".", O_DIRECTORY | O_RDONLY | O_CLOEXEC);
  if (dir_fd < 0) {
    const int code = errno;
    if (err != nullptr) *err = std::string("cannot open folder: ") + strerror(code);
    errno = code;
    return false;
  }
  const bool ok = ForEachEntryName(dir_fd, [&](const char* name) {
    struct stat st;
    DirEntry e;
    if (!StatEntry(dir_fd, name, st, e)) return;  // vanished while we listed
    e.name = name;
    e.is_folder = S_ISDIR(st.st_mode);
    e.is_regular = S_ISREG(st.st_mode) && !e.dangling;
    e.size = e.is_folder ? 0 : static_cast<int64_t>(st.st_size);
    e.modified = ModifiedTime(st);
    e.changed =
        FileTime{static_cast<int64_t>(st.st_ctim.tv_sec), static_cast<int32_t>(st.st_ctim.tv_nsec)};
    e.id = FolderId{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
    entries.push_back(std::move(e));
  });
  const int code = errno;
  close(dir_fd);
  if (!ok) {
    if (err != nullptr) *err = std::string("cannot read folder: ") + strerror(code);
    errno = code;
  }
  return ok;
}

std::string RealPathAt(int dir_fd, const std::string& name) {
  // The kernel's name of the folder handle, then the entry resolved from there.
  const std::string proc = "/proc/self/fd/" + std::to_string(dir_fd) + "/" + name;
  return RealPath(proc);
}

std::string RealPath(const std::string& path) {
  char* resolved = realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return {};
  std::string out(resolved);
  free(resolved);
  return out;
}

bool StatFolder(const std::string& folder, FolderId& id, FileTime& modified) {
  struct stat st;
  if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  id = FolderId{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
  modified = ModifiedTime(st);
  return true;
}

namespace {

// The times utimensat and futimens take to set the last-write time alone.
struct LastWriteOnly {
  explicit LastWriteOnly(const FileTime& modified) {
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = static_cast<time_t>(modified.seconds);
    times[1].tv_nsec = modified.nanoseconds;
  }
  struct timespec times[2];
};

}  // namespace

bool RestoreModifiedTime(const std::string& path, const FileTime& modified) {
  return utimensat(AT_FDCWD, path.c_str(), LastWriteOnly(modified).times, 0) == 0;
}

bool ModifiedTimeAt(int fd, FileTime& modified) {
  struct stat st;
  if (fstat(fd, &st) != 0) return false;
  modified = ModifiedTime(st);
  return true;
}

bool RestoreModifiedTimeAt(int fd, const FileTime& modified) {
  return futimens(fd, LastWriteOnly(modified).times) == 0;
}

bool FileExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool FolderExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool DeleteFile(const std::string& path) { return unlink(path.c_str()) == 0; }

std::vector<std::string> ListMatchingFiles(const std::string& folder, const std::string& pattern) {
  std::vector<std::string> names;
  DIR* dir = OpenFolder(folder);
  if (dir == nullptr) return names;
  const std::string folded_pattern = FoldCase(pattern);
  while (const struct dirent* d = readdir(dir)) {
    if (IsDotOrDotDot(d->d_name)) continue;
    if (!MatchUnits(FoldCase(d->d_name), folded_pattern)) continue;
    struct stat st;
    if (fstatat(dirfd(dir), d->d_name, &st, 0) == 0 && S_ISREG(st.st_mode))
      names.emplace_back(d->d_name);
  }
  closedir(dir);
  return names;
}

bool WildcardMatch(const std::string& name, const std::string& pattern) {
  return MatchUnits(FoldCase(name), FoldCase(pattern));
}

}  // namespace veldra

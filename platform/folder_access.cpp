#include "platform/folder_access.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

namespace veldra {
namespace {

class RealFolders final : public FolderAccess {
 public:
  int OpenFolder(const std::string& path) override {
    return open(path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  }

  int OpenChild(int dir, const std::string& name, bool follow_link) override {
    return openat(dir, name.c_str(),
                  O_RDONLY | O_DIRECTORY | O_CLOEXEC | (follow_link ? 0 : O_NOFOLLOW));
  }

  int Duplicate(int dir) override { return fcntl(dir, F_DUPFD_CLOEXEC, 0); }

  void Close(int dir) override { close(dir); }

  bool Identify(int dir, FolderId& id, FileTime& modified) override {
    struct stat st;
    if (fstat(dir, &st) != 0) return false;
    if (!S_ISDIR(st.st_mode)) {
      errno = ENOTDIR;
      return false;
    }
    id = FolderId{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
    modified =
        FileTime{static_cast<int64_t>(st.st_mtim.tv_sec), static_cast<int32_t>(st.st_mtim.tv_nsec)};
    return true;
  }

  bool RestoreTime(int dir, const FileTime& modified) override {
    return RestoreModifiedTimeAt(dir, modified);
  }

  bool List(int dir, std::vector<DirEntry>& entries, std::string* err) override {
    return ListFolderAt(dir, entries, err);
  }

  bool StatAt(int dir, const std::string& name, EntryStat& stat) override {
    struct stat st;
    if (fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
    stat.type = S_ISREG(st.st_mode)   ? EntryStat::Type::kRegular
                : S_ISDIR(st.st_mode) ? EntryStat::Type::kFolder
                : S_ISLNK(st.st_mode) ? EntryStat::Type::kLink
                                      : EntryStat::Type::kOther;
    stat.identity = FileIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino),
                                 static_cast<int64_t>(st.st_size),
                                 FileTime{static_cast<int64_t>(st.st_mtim.tv_sec),
                                          static_cast<int32_t>(st.st_mtim.tv_nsec)}};
    stat.changed =
        FileTime{static_cast<int64_t>(st.st_ctim.tv_sec), static_cast<int32_t>(st.st_ctim.tv_nsec)};
    stat.owner = static_cast<uint32_t>(st.st_uid);
    stat.mode = static_cast<uint32_t>(st.st_mode & 07777);
    return true;
  }

  RegularReadResult ReadRegularAt(int dir, const std::string& name, size_t cap, std::string& bytes,
                                  bool* truncated, const FileIdentity* expected) override {
    return ReadRegularFileAt(dir, name, cap, bytes, truncated, expected);
  }

  bool CreateAt(int dir, const std::string& name, std::string_view bytes,
                std::string* err) override {
    const int fd = openat(dir, name.c_str(),
                          O_CREAT | O_EXCL | O_WRONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) {
      if (err != nullptr) *err = "cannot create " + name + ": " + strerror(errno);
      return false;
    }
    size_t done = 0;
    int code = 0;
    while (done < bytes.size()) {
      const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        code = errno;
        break;
      }
      done += static_cast<size_t>(n);
    }
    if (close(fd) != 0 && code == 0) code = errno;
    if (code == 0) return true;
    unlinkat(dir, name.c_str(), 0);  // ours: just created
    if (err != nullptr) *err = "cannot write " + name + ": " + strerror(code);
    errno = code;
    return false;
  }

  bool ReplaceAt(int dir, const std::string& name, std::string_view bytes, std::string* aside,
                 FileIdentity* written, std::string* err) override {
    return ReplaceFileAt(dir, name, bytes, aside, written, err);
  }

  bool RemoveAt(int dir, const std::string& name, std::string* aside) override {
    return RemoveFileAt(dir, name, aside);
  }

  bool HoldsSameAt(int dir, const std::string& name, std::string_view bytes, ByteSpan ignored,
                   FileIdentity* identity) override {
    return HoldsSameBytesAt(dir, name, bytes, ignored, identity);
  }

  bool UnlinkAt(int dir, const std::string& name) override {
    return unlinkat(dir, name.c_str(), 0) == 0;
  }

  bool ReplaceFile(const std::string& path, std::string_view bytes, std::string* err) override {
    return veldra::ReplaceFile(path, bytes, err);
  }
};

}  // namespace

bool FolderAccess::HoldsSameAt(int, const std::string&, std::string_view, ByteSpan, FileIdentity*) {
  return false;
}

bool IsOursAsReplaced(const EntryStat& stat) {
  return stat.type == EntryStat::Type::kRegular && HasOurReplaceMode(stat.owner, stat.mode);
}

FolderAccess& RealFolderAccess() {
  static RealFolders folders;
  return folders;
}

FolderHandle& FolderHandle::operator=(FolderHandle&& other) noexcept {
  if (this != &other) {
    Reset();
    access_ = other.access_;
    dir_ = other.dir_;
    other.dir_ = -1;
  }
  return *this;
}

void FolderHandle::Reset() {
  if (dir_ >= 0) access_->Close(dir_);
  dir_ = -1;
}

FolderTimeKeeper::FolderTimeKeeper(FolderAccess& access, int dir) : access_(access), dir_(dir) {
  FolderId id;
  have_time_ = dir >= 0 && access.Identify(dir, id, time_);
}

void FolderTimeKeeper::Restore() {
  if (!have_time_ || restored_) return;
  access_.RestoreTime(dir_, time_);
  restored_ = true;
}

}  // namespace veldra

#pragma once
// The narrow seam under the write path: every operation the run makes on the folders of the
// published tree and the output folder, through handles on folders. RealFolderAccess() is the
// file system; tests and fuzz targets put an in-memory folder tree behind the same interface
// (tests/support/memory_folders.h), so that every branch of a failed write can be reached.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "platform/text_file.h"

namespace veldra {

// What one entry of a folder is, the entry itself (a link at the name is not followed).
struct EntryStat {
  enum class Type { kRegular, kFolder, kLink, kOther };  // kOther: FIFOs, devices, sockets
  Type type = Type::kOther;
  FileIdentity identity;  // device, inode, size and last-write time of the entry
  FileTime changed;       // status change time
  uint32_t owner = 0;
  uint32_t mode = 0;  // permission bits (07777)
};

// A regular file as a replace of ours leaves it (HasOurReplaceMode): one a run may leave alone
// when it already holds what the run would write.
bool IsOursAsReplaced(const EntryStat& stat);

// Folder handles are non-negative numbers a FolderAccess gives out and takes back with Close;
// -1 stands for none. Every call that fails sets errno to say why.
class FolderAccess {
 public:
  virtual ~FolderAccess() = default;

  // A folder by its path; links on the path are followed (the operator's own path).
  virtual int OpenFolder(const std::string& path) = 0;
  // The sub-folder name of an open folder; a link at the name is followed only with follow_link
  // (ENOTDIR otherwise, as for any entry that is no folder).
  virtual int OpenChild(int dir, const std::string& name, bool follow_link) = 0;
  // A second handle on the same folder, closed on its own.
  virtual int Duplicate(int dir) = 0;
  virtual void Close(int dir) = 0;
  // The identity and last-write time of an open folder.
  virtual bool Identify(int dir, FolderId& id, FileTime& modified) = 0;
  // Puts an open folder's last-write time back (its access time is left alone).
  virtual bool RestoreTime(int dir, const FileTime& modified) = 0;

  // The folder's entries, as ListFolderAt gives them.
  virtual bool List(int dir, std::vector<DirEntry>& entries, std::string* err) = 0;
  // The entry name itself; false (ENOENT when nothing holds the name) when it cannot be had.
  virtual bool StatAt(int dir, const std::string& name, EntryStat& stat) = 0;
  // As ReadRegularFileAt: no link at the name followed, never blocking on a FIFO.
  virtual RegularReadResult ReadRegularAt(int dir, const std::string& name, size_t cap,
                                          std::string& bytes, bool* truncated,
                                          const FileIdentity* expected) = 0;

  // As HoldsSameBytesAt: the entry name is a regular file of ours that already holds bytes (apart
  // from the ignored span). The default never finds one the same, so every file is replaced.
  virtual bool HoldsSameAt(int dir, const std::string& name, std::string_view bytes,
                           ByteSpan ignored, FileIdentity* identity);
  // A new file that must not exist yet (no entry of any kind at the name), holding bytes.
  virtual bool CreateAt(int dir, const std::string& name, std::string_view bytes,
                        std::string* err) = 0;
  // As ReplaceFileAt: the entry holding name is replaced atomically, never written through.
  virtual bool ReplaceAt(int dir, const std::string& name, std::string_view bytes,
                         std::string* aside, FileIdentity* written, std::string* err) = 0;
  // As RemoveFileAt: true when no file holds the name afterwards; a folder is left alone.
  virtual bool RemoveAt(int dir, const std::string& name, std::string* aside) = 0;
  // Deletes the entry name (never a folder), whatever kind of file it is.
  virtual bool UnlinkAt(int dir, const std::string& name) = 0;

  // As ReplaceFile: a file of the operator's own by its path (a link there is followed).
  virtual bool ReplaceFile(const std::string& path, std::string_view bytes, std::string* err) = 0;
};

// The file system, for every thread of the process.
FolderAccess& RealFolderAccess();

// A folder handle that is closed when it goes out of scope.
class FolderHandle {
 public:
  FolderHandle() = default;
  FolderHandle(FolderAccess& access, int dir) : access_(&access), dir_(dir) {}
  ~FolderHandle() { Reset(); }
  FolderHandle(FolderHandle&& other) noexcept : access_(other.access_), dir_(other.dir_) {
    other.dir_ = -1;
  }
  FolderHandle& operator=(FolderHandle&& other) noexcept;
  FolderHandle(const FolderHandle&) = delete;
  FolderHandle& operator=(const FolderHandle&) = delete;

  bool ok() const { return dir_ >= 0; }
  int get() const { return dir_; }
  FolderAccess& access() const { return *access_; }
  void Reset();

 private:
  FolderAccess* access_ = nullptr;
  int dir_ = -1;
};

// Keeps a folder's last-write time across the run's own changes in it: the time is read when
// the keeper is made and put back by Restore, and at the end of its scope, so that the next run
// does not take the run's own writes for a change of the folder.
class FolderTimeKeeper {
 public:
  FolderTimeKeeper(FolderAccess& access, int dir);
  ~FolderTimeKeeper() { Restore(); }
  FolderTimeKeeper(const FolderTimeKeeper&) = delete;
  FolderTimeKeeper& operator=(const FolderTimeKeeper&) = delete;

  // False when the folder's time could not be read (nothing is put back then).
  bool have_time() const { return have_time_; }
  const FileTime& time() const { return time_; }
  // Puts the time back, once: later calls and the end of the scope do nothing more.
  void Restore();
  // Nothing was changed in the folder: its time is left as it is (putting it back would still
  // change the folder's change time).
  void Forget() { restored_ = true; }

 private:
  FolderAccess& access_;
  int dir_;
  FileTime time_;
  bool have_time_ = false;
  bool restored_ = false;
};

}  // namespace veldra

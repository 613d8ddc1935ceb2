#pragma once
// Failures injected into FolderAccess calls by operation and name (FaultPlan), and the calls of
// another FolderAccess with them (FaultyFolders), so that each failure branch of the write path
// can be reached on purpose.

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/folder_access.h"

namespace veldra::test {

// The operation of FolderAccess a failure is injected into.
enum class FolderOp {
  kOpen,         // OpenFolder (by path) and OpenChild (by the child's name)
  kList,         // by the folder's path as it was opened
  kStat,         // StatAt
  kRead,         // ReadRegularAt
  kCreate,       // CreateAt
  kReplace,      // ReplaceAt
  kRemove,       // RemoveAt
  kUnlink,       // UnlinkAt
  kRestoreTime,  // by the folder's path as it was opened
  kReplaceFile,  // ReplaceFile, by its path
};

// Failures to inject: an operation on a name fails with an error number, a number of times
// (or every time). Entry operations are matched on the entry's name, folder operations on the
// folder's path.
class FaultPlan {
 public:
  static constexpr int kAlways = -1;

  void Fail(FolderOp op, std::string name, int error, int times = kAlways);
  // True, with errno set, when this call is one to fail.
  bool Hits(FolderOp op, std::string_view name);
  // How many calls failed so far.
  size_t failures() const;

 private:
  struct Fault {
    FolderOp op;
    std::string name;
    int error;
    int times;
  };
  mutable std::mutex mutex_;
  std::vector<Fault> faults_;
  size_t failures_ = 0;
};

// The calls of another FolderAccess (the file system, most often) with failures injected. A
// handle has no path here: kList and kRestoreTime are matched on the name "".
class FaultyFolders final : public FolderAccess {
 public:
  explicit FaultyFolders(FolderAccess& inner = RealFolderAccess()) : inner_(inner) {}
  FaultPlan& faults() { return faults_; }

  int OpenFolder(const std::string& path) override;
  int OpenChild(int dir, const std::string& name, bool follow_link) override;
  int Duplicate(int dir) override { return inner_.Duplicate(dir); }
  void Close(int dir) override { inner_.Close(dir); }
  bool Identify(int dir, FolderId& id, FileTime& modified) override {
    return inner_.Identify(dir, id, modified);
  }
  bool RestoreTime(int dir, const FileTime& modified) override;
  bool List(int dir, std::vector<DirEntry>& entries, std::string* err) override;
  bool StatAt(int dir, const std::string& name, EntryStat& stat) override;
  RegularReadResult ReadRegularAt(int dir, const std::string& name, size_t cap, std::string& bytes,
                                  bool* truncated, const FileIdentity* expected) override;
  bool CreateAt(int dir, const std::string& name, std::string_view bytes,
                std::string* err) override;
  bool ReplaceAt(int dir, const std::string& name, std::string_view bytes, std::string* aside,
                 FileIdentity* written, std::string* err) override;
  bool RemoveAt(int dir, const std::string& name, std::string* aside) override;
  bool HoldsSameAt(int dir, const std::string& name, std::string_view bytes, ByteSpan ignored,
                   FileIdentity* identity) override {
    return inner_.HoldsSameAt(dir, name, bytes, ignored, identity);
  }
  bool UnlinkAt(int dir, const std::string& name) override;
  bool ReplaceFile(const std::string& path, std::string_view bytes, std::string* err) override;

 private:
  FolderAccess& inner_;
  FaultPlan faults_;
};

}  // namespace veldra::test

#include "tests/support/faulty_folders.h"

#include <errno.h>
#include <string.h>

namespace veldra::test {
namespace {

void SetError(std::string* err, const std::string& what, const std::string& name, int code) {
  if (err != nullptr) *err = what + " " + name + ": " + strerror(code);
  errno = code;
}

}  // namespace

void FaultPlan::Fail(FolderOp op, std::string name, int error, int times) {
  std::lock_guard lock(mutex_);
  faults_.push_back(Fault{op, std::move(name), error, times});
}

bool FaultPlan::Hits(FolderOp op, std::string_view name) {
  std::lock_guard lock(mutex_);
  for (Fault& fault : faults_) {
    if (fault.op != op || fault.name != name || fault.times == 0) continue;
    if (fault.times > 0) --fault.times;
    ++failures_;
    errno = fault.error;
    return true;
  }
  return false;
}

size_t FaultPlan::failures() const {
  std::lock_guard lock(mutex_);
  return failures_;
}

int FaultyFolders::OpenFolder(const std::string& path) {
  return faults_.Hits(FolderOp::kOpen, path) ? -1 : inner_.OpenFolder(path);
}

int FaultyFolders::OpenChild(int dir, const std::string& name, bool follow_link) {
  return faults_.Hits(FolderOp::kOpen, name) ? -1 : inner_.OpenChild(dir, name, follow_link);
}

bool FaultyFolders::RestoreTime(int dir, const FileTime& modified) {
  // A folder of the file system has no path here: its time fails by the name "".
  return !faults_.Hits(FolderOp::kRestoreTime, "") && inner_.RestoreTime(dir, modified);
}

bool FaultyFolders::List(int dir, std::vector<DirEntry>& entries, std::string* err) {
  if (faults_.Hits(FolderOp::kList, "")) {
    SetError(err, "cannot read folder", "", errno);
    return false;
  }
  return inner_.List(dir, entries, err);
}

bool FaultyFolders::StatAt(int dir, const std::string& name, EntryStat& stat) {
  return !faults_.Hits(FolderOp::kStat, name) && inner_.StatAt(dir, name, stat);
}

RegularReadResult FaultyFolders::ReadRegularAt(int dir, const std::string& name, size_t cap,
                                               std::string& bytes, bool* truncated,
                                               const FileIdentity* expected) {
  if (faults_.Hits(FolderOp::kRead, name)) return RegularReadResult::kError;
  return inner_.ReadRegularAt(dir, name, cap, bytes, truncated, expected);
}

bool FaultyFolders::CreateAt(int dir, const std::string& name, std::string_view bytes,
                             std::string* err) {
  if (faults_.Hits(FolderOp::kCreate, name)) {
    SetError(err, "cannot create", name, errno);
    return false;
  }
  return inner_.CreateAt(dir, name, bytes, err);
}

bool FaultyFolders::ReplaceAt(int dir, const std::string& name, std::string_view bytes,
                              std::string* aside, FileIdentity* written, std::string* err) {
  if (faults_.Hits(FolderOp::kReplace, name)) {
    if (aside != nullptr) aside->clear();
    SetError(err, "cannot replace", name, errno);
    return false;
  }
  return inner_.ReplaceAt(dir, name, bytes, aside, written, err);
}

bool FaultyFolders::RemoveAt(int dir, const std::string& name, std::string* aside) {
  if (faults_.Hits(FolderOp::kRemove, name)) {
    if (aside != nullptr) aside->clear();
    return false;
  }
  return inner_.RemoveAt(dir, name, aside);
}

bool FaultyFolders::UnlinkAt(int dir, const std::string& name) {
  return !faults_.Hits(FolderOp::kUnlink, name) && inner_.UnlinkAt(dir, name);
}

bool FaultyFolders::ReplaceFile(const std::string& path, std::string_view bytes, std::string* err) {
  if (faults_.Hits(FolderOp::kReplaceFile, path)) {
    SetError(err, "cannot replace", path, errno);
    return false;
  }
  return inner_.ReplaceFile(path, bytes, err);
}

}  // namespace veldra::test

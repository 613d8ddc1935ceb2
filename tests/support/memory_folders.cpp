#include "tests/support/memory_folders.h"

#include <errno.h>
#include <string.h>
#include <unistd.h>

namespace veldra::test {
namespace {

// Far above any descriptor number the system gives out: a handle passed to a system call by
// mistake fails with EBADF instead of touching a real file.
constexpr int kFirstHandle = 1 << 28;
constexpr uint64_t kDevice = 7;
constexpr int kMaxLinks = 40;  // links followed on one path, as the system allows

void SetError(std::string* err, const std::string& what, const std::string& name, int code) {
  if (err != nullptr) *err = what + " " + name + ": " + strerror(code);
  errno = code;
}

std::vector<std::string> Split(std::string_view path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start && path.substr(start, end - start) != ".")
      parts.emplace_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

}  // namespace

const uint32_t MemoryFolders::kOwnUser = static_cast<uint32_t>(geteuid());

MemoryFolders::MemoryFolders() : next_handle_(kFirstHandle) {
  NewNode(Type::kFolder, kOwnUser);  // the root, node 1
}

uint64_t MemoryFolders::NewNode(Type type, uint32_t owner) {
  const uint64_t id = next_node_++;
  Node& node = nodes_[id];
  node.type = type;
  node.owner = owner;
  node.modified = FileTime{clock_, 0};
  return id;
}

void MemoryFolders::Touch(uint64_t folder) { nodes_.at(folder).modified = FileTime{++clock_, 0}; }

uint64_t MemoryFolders::Child(uint64_t folder, const std::string& name) const {
  const Node& node = nodes_.at(folder);
  const auto it = node.children.find(name);
  return it == node.children.end() ? 0 : it->second;
}

uint64_t MemoryFolders::Resolve(std::string_view path, bool follow_last, int depth) const {
  if (depth > kMaxLinks) {
    errno = ELOOP;
    return 0;
  }
  const std::vector<std::string> parts = Split(path);
  uint64_t at = 1;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (nodes_.at(at).type != Type::kFolder) {
      errno = ENOTDIR;
      return 0;
    }
    uint64_t next = Child(at, parts[i]);
    if (next == 0) {
      errno = ENOENT;
      return 0;
    }
    if (nodes_.at(next).type == Type::kLink && (i + 1 < parts.size() || follow_last)) {
      next = Resolve(nodes_.at(next).bytes, true, depth + 1);
      if (next == 0) return 0;
    }
    at = next;
  }
  return at;
}

uint64_t MemoryFolders::ParentOf(const std::string& path, std::string& name) const {
  std::vector<std::string> parts = Split(path);
  if (parts.empty()) {
    errno = EINVAL;
    return 0;
  }
  name = parts.back();
  parts.pop_back();
  std::string parent;
  for (const std::string& part : parts) parent += "/" + part;
  const uint64_t folder = Resolve(parent, true);
  if (folder != 0 && nodes_.at(folder).type != Type::kFolder) {
    errno = ENOTDIR;
    return 0;
  }
  return folder;
}

uint64_t MemoryFolders::MakeFolders(const std::string& path) {
  uint64_t at = 1;
  for (const std::string& part : Split(path)) {
    uint64_t next = Child(at, part);
    if (next == 0) {
      next = NewNode(Type::kFolder, kOwnUser);
      nodes_.at(at).children[part] = next;
    }
    at = next;
  }
  return at;
}

void MemoryFolders::AddFolder(const std::string& path) {
  std::lock_guard lock(mutex_);
  MakeFolders(path);
}

void MemoryFolders::AddFile(const std::string& path, std::string bytes, uint32_t owner) {
  std::lock_guard lock(mutex_);
  const size_t slash = path.rfind('/');
  const uint64_t folder = MakeFolders(path.substr(0, slash));
  const uint64_t file = NewNode(Type::kRegular, owner);
  nodes_.at(file).bytes = std::move(bytes);
  nodes_.at(folder).children[path.substr(slash + 1)] = file;
}

void MemoryFolders::AddLink(const std::string& path, const std::string& target) {
  std::lock_guard lock(mutex_);
  const size_t slash = path.rfind('/');
  const uint64_t folder = MakeFolders(path.substr(0, slash));
  const uint64_t link = NewNode(Type::kLink, kOwnUser);
  nodes_.at(link).bytes = target;
  nodes_.at(folder).children[path.substr(slash + 1)] = link;
}

void MemoryFolders::AddFifo(const std::string& path) {
  std::lock_guard lock(mutex_);
  const size_t slash = path.rfind('/');
  const uint64_t folder = MakeFolders(path.substr(0, slash));
  nodes_.at(folder).children[path.substr(slash + 1)] = NewNode(Type::kFifo, kOwnUser);
}

void MemoryFolders::Move(const std::string& from, const std::string& to) {
  std::lock_guard lock(mutex_);
  std::string from_name, to_name;
  const uint64_t from_folder = ParentOf(from, from_name);
  const uint64_t to_folder = ParentOf(to, to_name);
  if (from_folder == 0 || to_folder == 0) return;
  const uint64_t node = Child(from_folder, from_name);
  if (node == 0) return;
  nodes_.at(from_folder).children.erase(from_name);
  nodes_.at(to_folder).children[to_name] = node;
  Touch(from_folder);
  Touch(to_folder);
}

void MemoryFolders::SetTime(const std::string& path, FileTime modified) {
  std::lock_guard lock(mutex_);
  if (const uint64_t node = Resolve(path, false)) nodes_.at(node).modified = modified;
}

bool MemoryFolders::IsFile(const std::string& path) const {
  std::lock_guard lock(mutex_);
  const uint64_t node = Resolve(path, false);
  return node != 0 && nodes_.at(node).type == Type::kRegular;
}

bool MemoryFolders::Exists(const std::string& path) const {
  std::lock_guard lock(mutex_);
  return Resolve(path, false) != 0;
}

std::string MemoryFolders::Bytes(const std::string& path) const {
  std::lock_guard lock(mutex_);
  const uint64_t node = Resolve(path, false);
  return node != 0 && nodes_.at(node).type == Type::kRegular ? nodes_.at(node).bytes : "";
}

FileTime MemoryFolders::Time(const std::string& path) const {
  std::lock_guard lock(mutex_);
  const uint64_t node = Resolve(path, false);
  return node != 0 ? nodes_.at(node).modified : FileTime{};
}

std::vector<std::string> MemoryFolders::Names(const std::string& folder) const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> names;
  const uint64_t node = Resolve(folder, true);
  if (node == 0 || nodes_.at(node).type != Type::kFolder) return names;
  for (const auto& [name, child] : nodes_.at(node).children) names.push_back(name);
  return names;
}

size_t MemoryFolders::open_handles() const {
  std::lock_guard lock(mutex_);
  return handles_.size();
}

int MemoryFolders::NewHandle(uint64_t node, std::string path) {
  if (nodes_.at(node).type != Type::kFolder) {
    errno = ENOTDIR;
    return -1;
  }
  const int handle = next_handle_++;
  handles_.emplace(handle, Handle{node, std::move(path)});
  return handle;
}

uint64_t MemoryFolders::FolderOf(int dir) const {
  const auto it = handles_.find(dir);
  if (it == handles_.end()) {
    errno = EBADF;
    return 0;
  }
  return it->second.node;
}

FileIdentity MemoryFolders::IdentityOf(uint64_t id) const {
  const Node& node = nodes_.at(id);
  const int64_t size = node.type == Type::kFolder ? 0 : static_cast<int64_t>(node.bytes.size());
  return FileIdentity{kDevice, id, size, node.modified};
}

std::string MemoryFolders::AsideName(const Node& folder, const std::string& name) {
  for (;;) {
    std::string candidate = TemporaryNameOf(name, draws_++);
    if (!folder.children.contains(candidate)) return candidate;
  }
}

int MemoryFolders::OpenFolder(const std::string& path) {
  std::lock_guard lock(mutex_);
  if (faults_.Hits(FolderOp::kOpen, path)) return -1;
  const uint64_t node = Resolve(path, true);
  return node == 0 ? -1 : NewHandle(node, path);
}

int MemoryFolders::OpenChild(int dir, const std::string& name, bool follow_link) {
  std::lock_guard lock(mutex_);
  const uint64_t folder = FolderOf(dir);
  if (folder == 0 || faults_.Hits(FolderOp::kOpen, name)) return -1;
  uint64_t child = Child(folder, name);
  if (child == 0) {
    errno = ENOENT;
    return -1;
  }
  if (nodes_.at(child).type == Type::kLink) {
    if (!follow_link) {
      errno = ENOTDIR;  // O_DIRECTORY | O_NOFOLLOW on a link
      return -1;
    }
    child = Resolve(nodes_.at(child).bytes, true, 1);
    if (child == 0) return -1;
  }
  std::string path = handles_.at(dir).path;
  if (path.empty() || path.back() != '/') path += '/';
  return NewHandle(child, path + name + "/");
}

int MemoryFolders::Duplicate(int dir) {
  std::lock_guard lock(mutex_);
  const uint64_t folder = FolderOf(dir);
  return folder == 0 ? -1 : NewHandle(folder, handles_.at(dir).path);
}

void MemoryFolders::Close(int dir) {
  std::lock_guard lock(mutex_);
  handles_.erase(dir);
}

bool MemoryFolders::Identify(int dir, FolderId& id, FileTime& modified) {
  std::lock_guard lock(mutex_);
  const uint64_t folder = FolderOf(dir);
  if (folder == 0) return false;
  id = FolderId{kDevice, folder};
  modified = nodes_.at(folder).modified;
  return true;
}

bool MemoryFolders::RestoreTime(int dir, const FileTime& modified) {
  std::lock_guard lock(mutex_);
  const uint64_t folder = FolderOf(dir);
  if (folder == 0 || faults_.Hits(FolderOp::kRestoreTime, handles_.at(dir).path)) return false;
  nodes_.at(folder).modified = modified;
  return true;
}

bool MemoryFolders::List(int dir, std::vector<DirEntry>& entries, std::string* err) {
  std::lock_guard lock(mutex_);
  entries.clear();
  const uint64_t folder = FolderOf(dir);
  if (folder == 0 || faults_.Hits(FolderOp::kList, handles_.at(dir).path)) {
    SetError(err, "cannot read folder", "", errno);
    return false;
  }
  for (const auto& [name, id] : nodes_.at(folder).children) {
    DirEntry entry;
    entry.name = name;
    uint64_t target = id;
    entry.owner = entry.target_owner = nodes_.at(id).owner;
    if (nodes_.at(id).type == Type::kLink) {
      entry.is_link = true;
      const int saved = errno;
      target = Resolve(nodes_.at(id).bytes, true, 1);
      errno = saved;
      if (target == 0) {
        entry.dangling = true;
        entry.modified = nodes_.at(id).modified;
        entry.id = FolderId{kDevice, id};
        entries.push_back(std::move(entry));
        continue;
      }
      entry.target_owner = nodes_.at(target).owner;
    }
    const Node& node = nodes_.at(target);
    entry.is_folder = node.type == Type::kFolder;
    entry.is_regular = node.type == Type::kRegular;
    entry.size = node.type == Type::kRegular ? static_cast<int64_t>(node.bytes.size()) : 0;
    entry.modified = node.modified;
    entry.id = FolderId{kDevice, target};
    entries.push_back(std::move(entry));
  }
  return true;
}

bool MemoryFolders::StatAt(int dir, const std::string& name, EntryStat& stat) {
  std::lock_guard lock(mutex_);
  const uint64_t folder = FolderOf(dir);
  if (folder == 0 || faults_.Hits(FolderOp::kStat, name)) return false;
  const uint64_t node = Child(folder, name);
  if (node == 0) {
    errno = ENOENT;
    return false;
  }
  switch (nodes_.at(node).type) {
    case Type::kFolder:
      stat.type = EntryStat::Type::kFolder;
      break;
    case Type::kRegular:
      stat.type = EntryStat::Type::kRegular;
      break;
    case Type::kLink:
      stat.type = EntryStat::Type::kLink;
      break;
    case Type::kFifo:
      stat.type = EntryStat::Type::kOther;
      break;
  }
  stat.identity = IdentityOf(node);
  stat.owner = nodes_.at(node).owner;
  return true;
}

RegularReadResult MemoryFolders::ReadRegularAt(int dir, const std::string& name, size_t cap,
                                               std::string& bytes, bool* truncated,
                                               const FileIdentity* expected) {
  std::lock_guard lock(mutex_);
  bytes.clear();
  if (truncated != nullptr) *truncated = false;
  const uint64_t folder = FolderOf(dir);
  if (folder == 0 || faults_.Hits(FolderOp::kRead, name)) return RegularReadResult::kError;
  const uint64_t node = Child(folder, name);
  if (node == 0) return RegularReadResult::kMissing;
  // A link is not followed and a FIFO not waited for; a folder is no regular file either.
  if (nodes_.at(node).type != Type::kRegular) return RegularReadResult::kNotRegular;
  if (expected != nullptr && IdentityOf(node) != *expected) return RegularReadResult::kNotRegular;
  const std::string& content = nodes_.at(node).bytes;
  bytes = content.substr(0, cap);
  if (truncated != nullptr) *truncated = content.size() > cap;
  return RegularReadResult::kRead;
}

uint64_t MemoryFolders::NewFile(std::string_view bytes) {
  const uint64_t file = NewNode(Type::kRegular, kOwnUser);
  nodes_.at(file).bytes = std::string(bytes);
  return file;
}

void MemoryFolders::PutNewFile(uint64_t folder, const std::string& name, std::string_view bytes) {
  nodes_.at(folder).children[name] = NewFile(bytes);
  Touch(folder);
}

bool MemoryFolders::CreateAt(int dir, const std::string& name, std::string_view bytes,
                             std::string* err) {
  std::lock_guard lock(mutex_);
  const uint64_t folder = FolderOf(dir);
  if (folder == 0 || faults_.Hits(FolderOp::kCreate, name)) {
    SetError(err, "cannot create", name, errno);
    return false;
  }
  if (Child(folder, name) != 0) {
    SetError(err, "cannot create", name, EEXIST);
    return false;
  }
  PutNewFile(folder, name, bytes);
  return true;
}

bool MemoryFolders::ReplaceAt(int dir, const std::string& name, std::string_view bytes,
                              std::string* aside, FileIdentity* written, std::string* err) {
  std::lock_guard lock(mutex_);
  if (aside != nullptr) aside->clear();
  const uint64_t folder = FolderOf(dir);
  if (folder == 0 || faults_.Hits(FolderOp::kReplace, name)) {
    SetError(err, "cannot replace", name, errno);
    return false;
  }
  const uint64_t old = Child(folder, name);
  // A folder holding the name stays, as rename leaves it.
  if (old != 0 && nodes_.at(old).type == Type::kFolder) {
    SetError(err, "cannot replace", name, EISDIR);
    return false;
  }
  // The file as its own node: the entry is replaced, never written through (a link stays
  // where it leads, a FIFO is never opened).
  Touch(folder);
  const uint64_t file = NewFile(bytes);
  Node& parent = nodes_.at(folder);
  if (aside != nullptr && old != 0 && nodes_.at(old).type == Type::kRegular) {
    *aside = AsideName(parent, name);
    parent.children[*aside] = old;
  }
  parent.children[name] = file;
  if (written != nullptr) *written = IdentityOf(file);
  return true;
}

bool MemoryFolders::RemoveAt(int dir, const std::string& name, std::string* aside) {
  std::lock_guard lock(mutex_);
  if (aside != nullptr) aside->clear();
  const uint64_t folder = FolderOf(dir);
  if (folder == 0 || faults_.Hits(FolderOp::kRemove, name)) return false;
  const uint64_t node = Child(folder, name);
  if (node == 0 || nodes_.at(node).type == Type::kFolder) return true;
  Node& parent = nodes_.at(folder);
  if (aside != nullptr && nodes_.at(node).type == Type::kRegular) {
    *aside = AsideName(parent, name);
    parent.children[*aside] = node;
  }
  parent.children.erase(name);
  Touch(folder);
  return true;
}

bool MemoryFolders::UnlinkAt(int dir, const std::string& name) {
  std::lock_guard lock(mutex_);
  const uint64_t folder = FolderOf(dir);
  if (folder == 0 || faults_.Hits(FolderOp::kUnlink, name)) return false;
  const uint64_t node = Child(folder, name);
  if (node == 0) {
    errno = ENOENT;
    return false;
  }
  if (nodes_.at(node).type == Type::kFolder) {
    errno = EISDIR;
    return false;
  }
  nodes_.at(folder).children.erase(name);
  Touch(folder);
  return true;
}

bool MemoryFolders::ReplaceFile(const std::string& path, std::string_view bytes, std::string* err) {
  std::lock_guard lock(mutex_);
  if (faults_.Hits(FolderOp::kReplaceFile, path)) {
    SetError(err, "cannot replace", path, errno);
    return false;
  }
  // A link at the path is replaced behind it, at the file it leads to.
  std::string target = path;
  if (const uint64_t at = Resolve(path, false); at != 0 && nodes_.at(at).type == Type::kLink)
    target = nodes_.at(at).bytes;
  std::string name;
  const uint64_t folder = ParentOf(target, name);
  if (folder == 0) {
    SetError(err, "cannot replace", path, errno);
    return false;
  }
  const uint64_t old = Child(folder, name);
  if (old != 0 && nodes_.at(old).type == Type::kFolder) {
    SetError(err, "cannot replace", path, EISDIR);
    return false;
  }
  PutNewFile(folder, name, bytes);
  return true;
}

}  // namespace veldra::test

#include "engine/own_file_digests.h"

#include <utility>

namespace veldra {
namespace {

FileKey KeyOf(const EntryStat& stat) {
  return FileKey{stat.identity.device, stat.identity.inode, stat.identity.size,
                 stat.identity.modified, stat.changed};
}

}  // namespace

OwnFileDigests::OwnFileDigests(TagCache* cache, std::string folder,
                               std::vector<TagCache::Record> known)
    : folder_(std::move(folder)) {
  if (cache == nullptr || cache->failed()) return;
  cache_ = cache;
  known_ = std::move(known);
}

bool OwnFileDigests::Holds(FolderAccess& folders, int dir, const std::string& name,
                           const std::string& digest, FileIdentity* identity) const {
  const TagCache::Record* record = nullptr;
  for (const TagCache::Record& known : known_) {
    if (known.name == name) record = &known;
  }
  if (record == nullptr || record->data != digest) return false;
  EntryStat stat;
  if (!folders.StatAt(dir, name, stat) || !IsOursAsReplaced(stat) || !(KeyOf(stat) == record->key))
    return false;
  if (identity != nullptr) *identity = stat.identity;
  return true;
}

void OwnFileDigests::Note(FolderAccess& folders, int dir, const std::string& name,
                          std::string digest, const FileIdentity& expected) {
  if (cache_ == nullptr) return;
  EntryStat stat;
  // Anything else at the name now (changed since it was written or compared, not ours) is not
  // recorded, and the record the name had goes: the next run compares the file's bytes.
  if (!folders.StatAt(dir, name, stat) || !IsOursAsReplaced(stat) || !(stat.identity == expected))
    digest.clear();
  noted_.push_back(TagCache::Record{name, KeyOf(stat), std::move(digest)});
}

void OwnFileDigests::Finish() {
  if (cache_ != nullptr && !noted_.empty()) cache_->StorePages(folder_, std::move(noted_));
  noted_.clear();
}

}  // namespace veldra

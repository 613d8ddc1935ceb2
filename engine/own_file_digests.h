#pragma once
// With SKIPSAME, what a folder's page and snapshot held when the run before wrote them (or found
// them the same): a digest of their bytes and the identity each file had then, kept in the tag
// cache. While a file still has that identity (device, inode, size, last-write and change time)
// and is ours as a replace leaves it, the run knows its bytes without reading it.

#include <string>
#include <vector>

#include "engine/tag_cache.h"
#include "platform/folder_access.h"

namespace veldra {

class OwnFileDigests {
 public:
  // The folder's records, as the cache's LookupPages or LookupFolder gave them; with a null or
  // failed cache nothing is known.
  OwnFileDigests(TagCache* cache, std::string folder, std::vector<TagCache::Record> known);
  OwnFileDigests(const OwnFileDigests&) = delete;
  OwnFileDigests& operator=(const OwnFileDigests&) = delete;

  // True when the entry name of the open folder is the file recorded for that name, unchanged
  // since, ours, and held bytes of this digest (ContentDigest). identity (when given) then
  // receives the file's identity.
  bool Holds(FolderAccess& folders, int dir, const std::string& name, const std::string& digest,
             FileIdentity* identity = nullptr) const;
  // The entry name now holds bytes of this digest, as the file `expected` (the one written, or
  // the one found holding them): recorded when the entry is still that file and ours, the old
  // record dropped otherwise.
  void Note(FolderAccess& folders, int dir, const std::string& name, std::string digest,
            const FileIdentity& expected);
  // Hands what was noted to the cache, to be written with other folders' records.
  void Finish();

 private:
  TagCache* cache_ = nullptr;
  std::string folder_;
  std::vector<TagCache::Record> known_;
  std::vector<TagCache::Record> noted_;
};

}  // namespace veldra

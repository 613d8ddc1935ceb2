#pragma once
// One folder's part of the tag cache while its page is built: the records of its files looked
// up at once, the files read for real kept, and the folder's records brought up to date after.

#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/entry_table.h"
#include "engine/page_context.h"
#include "engine/tag_cache.h"
#include "platform/file_tail.h"
#include "tags/byte_ranges.h"
#include "tags/tag_reader.h"

namespace veldra {

class FolderTags {
 public:
  // Looks up the records of the files of folder whose tags the page shows (or takes them from
  // looked_up, when the caller had them with others). Without a cache (the run's is null, or
  // none of the files has tags to read) every Find misses.
  FolderTags(const PageContext& context, const std::string& folder, const EntryTable& files,
             std::vector<TagCache::Record>* looked_up = nullptr);
  FolderTags(const FolderTags&) = delete;
  FolderTags& operator=(const FolderTags&) = delete;

  // The recorded byte ranges of the file of that name, when the record is of the file exactly
  // as listed. Thread-safe (nothing changes what Find sees).
  const ByteRanges* Find(std::string_view name) const;
  // Keeps what a read of the file took, for the cache. Thread-safe.
  void Put(std::string_view name, ByteRanges ranges);
  // Marks the folder seen by this run, and hands the cache the folder's new records and the
  // names of records whose files are gone or changed.
  void Finish();

 private:
  struct Slot {
    FileKey key;           // the file as listed
    bool settled = false;  // changed long enough before the run began to be cached
    bool held = false;     // the cache has a record of the file as listed
    bool put = false;
    ByteRanges ranges;
  };

  TagCache* cache_ = nullptr;
  std::string folder_;
  std::unordered_map<std::string, Slot> slots_;
  std::vector<std::string> stale_;  // names whose records no listed file matches
  std::mutex mutex_;
};

// ReadFileTailsAt (or ReadFileTails when dir_fd < 0), with the tails the cache holds taken from
// it and the others read and kept for it. tags may be null.
void ReadTailsCached(FolderTags* tags, int dir_fd, const std::string& folder,
                     std::vector<FileTail>& tails, size_t size, ReadPool* pool = nullptr);

// ReadFileTagsAt(folder + name), served from the cache when it holds what options need, the
// read kept for it otherwise. tags may be null.
bool ReadTagsCached(FolderTags* tags, const std::string& folder, const std::string& name,
                    const TagReadOptions& options, FileTags& out);

}  // namespace veldra

#include "engine/folder_tags.h"

#include <utility>

#include "engine/table_rows.h"
#include "tags/id3v1.h"
#include "tags/tag_reader.h"

namespace veldra {
namespace {

// A record that needs more than this is not kept (a picture TagLib read whole): such a file is
// read every run rather than let the cache grow by its pictures.
constexpr size_t kMaxRecordBytes = 256 * 1024;

bool Before(const FileTime& a, const FileTime& b) {
  return a.seconds < b.seconds || (a.seconds == b.seconds && a.nanoseconds < b.nanoseconds);
}

FileKey KeyOf(const Entry& entry) {
  return FileKey{entry.id.device, entry.id.inode, entry.size, entry.modified, entry.changed};
}

}  // namespace

FolderTags::FolderTags(const PageContext& context, const std::string& folder,
                       const EntryTable& files, std::vector<TagCache::Record>* looked_up)
    : folder_(folder) {
  TagCache* cache = context.run.tag_cache;
  if (cache == nullptr || cache->failed()) return;
  const bool reader = UsesTagReader(context.set);
  const bool classic_tags = RowsShowTags(context.set);
  // The reader's options are worked out only for a set that uses it (they cost a page's worth
  // of comparisons of column keys).
  const TagReadOptions options = reader ? TagOptionsFor(context) : TagReadOptions();
  for (const Entry& entry : files) {
    const bool wanted =
        reader ? HasTagsToRead(entry.name, options) : classic_tags && IsMp3Name(entry.name);
    if (!wanted) continue;
    Slot& slot = slots_[entry.name];
    slot.key = KeyOf(entry);
    slot.settled = Before(entry.changed, context.run.TagCacheSettledBefore);
  }
  // Every folder is marked seen (Finish), so that the sweep leaves it to sets that read its
  // files; a folder without files this set reads is not looked up.
  cache_ = cache;
  if (slots_.empty()) return;
  std::unordered_map<std::string_view, FileKey> listed;  // every file, read by this set or not
  for (const Entry& entry : files) listed.emplace(entry.name, KeyOf(entry));
  std::vector<TagCache::Record> records =
      looked_up != nullptr ? std::move(*looked_up) : cache->Lookup(folder);
  for (TagCache::Record& record : records) {
    // A record goes when its file is gone or changed, not when this set merely does not read
    // it (another set's TAGS=ALL records of FLAC files, say).
    const auto file = listed.find(record.name);
    if (file == listed.end() || !(file->second == record.key)) {
      stale_.push_back(std::move(record.name));
      continue;
    }
    const auto it = slots_.find(record.name);
    if (it == slots_.end()) continue;
    if (!ByteRanges::Parse(record.data, it->second.ranges)) {
      stale_.push_back(std::move(record.name));
      continue;
    }
    it->second.held = true;
  }
}

const ByteRanges* FolderTags::Find(std::string_view name) const {
  if (cache_ == nullptr) return nullptr;
  const auto it = slots_.find(std::string(name));
  return it != slots_.end() && it->second.held ? &it->second.ranges : nullptr;
}

void FolderTags::Put(std::string_view name, ByteRanges ranges) {
  if (cache_ == nullptr || ranges.empty()) return;
  const std::lock_guard<std::mutex> lock(mutex_);
  const auto it = slots_.find(std::string(name));
  if (it == slots_.end() || !it->second.settled) return;
  Slot& slot = it->second;
  if (ranges.file_size() != slot.key.size) return;
  // A record another set's read left stays part of it: two sets sharing the cache complete the
  // record rather than replace each other's.
  if (slot.held) ranges.Merge(slot.ranges);
  if (ranges.byte_count() > kMaxRecordBytes) return;
  slot.ranges = std::move(ranges);
  slot.put = true;
}

void FolderTags::Finish() {
  if (cache_ == nullptr) return;
  std::vector<TagCache::Record> records;
  for (auto& [name, slot] : slots_) {
    if (slot.put) records.push_back(TagCache::Record{name, slot.key, slot.ranges.Serialize()});
  }
  cache_->Store(folder_, std::move(records), std::move(stale_));
  cache_ = nullptr;
}

void ReadTailsCached(FolderTags* tags, int dir_fd, const std::string& folder,
                     std::vector<FileTail>& tails, size_t size, ReadPool* pool) {
  const auto read = [&](std::vector<FileTail>& batch) {
    if (dir_fd >= 0)
      ReadFileTailsAt(dir_fd, batch, size, pool);
    else
      ReadFileTails(folder, batch, size, pool);
  };
  if (tags == nullptr) {
    read(tails);
    return;
  }
  std::vector<FileTail> misses;
  std::vector<size_t> miss_of;
  for (size_t i = 0; i < tails.size(); ++i) {
    FileTail& tail = tails[i];
    const ByteRanges* held = tags->Find(tail.name);
    const int64_t at = tail.listed_size - static_cast<int64_t>(size);
    const uint8_t* bytes =
        held != nullptr && tail.listed_size >= 0 && at >= 0 ? held->Find(at, size) : nullptr;
    if (bytes != nullptr) {
      tail.result = TailReadResult::kRead;
      tail.bytes.assign(bytes, bytes + size);
      continue;
    }
    miss_of.push_back(i);
    misses.push_back(std::move(tail));
  }
  if (!misses.empty()) read(misses);
  for (size_t j = 0; j < misses.size(); ++j) {
    FileTail& tail = misses[j];
    if (tail.result == TailReadResult::kRead && tail.listed_size >= 0) {
      ByteRanges ranges(tail.listed_size);
      ranges.Add(tail.listed_size - static_cast<int64_t>(size), tail.bytes.data(),
                 tail.bytes.size());
      tags->Put(tail.name, std::move(ranges));
    }
    tails[miss_of[j]] = std::move(tail);
  }
}

bool ReadTagsCached(FolderTags* tags, const std::string& folder, const std::string& name,
                    const TagReadOptions& options, FileTags& out) {
  if (tags == nullptr) return ReadFileTagsAt(folder + name, name, options, out);
  if (const ByteRanges* held = tags->Find(name);
      held != nullptr && ReadFileTagsFrom(*held, name, options, out))
    return true;
  if (!HasTagsToRead(name, options)) return true;
  ReadOnlyFile file;
  if (!file.Open(folder + name)) return true;
  ByteRanges record;
  const bool read = ReadFileTagsIn(file, name, options, out, false, &record);
  tags->Put(name, std::move(record));
  return read;
}

}  // namespace veldra

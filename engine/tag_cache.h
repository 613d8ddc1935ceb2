#pragma once
// The tag cache: the raw bytes tag reads used, per file, kept between runs in an SQLite
// database so that a run over an unchanged tree reads one database instead of every file.
// Records are raw (each run decodes them with its own set's code page and genre table) and are
// used only while the file's device, inode, size, modification time and change time all match.
//
// Layout (tags.sqlite, WAL mode):
//   folders(id, path, seen)   one row per folder a run looked at; seen: that run's start time
//   files(folder, name, device, inode, size, mtime, mtime_ns, ctime, ctime_ns, data)
//                              one row per file; data is a serialized ByteRanges
//   pages(folder, name, device, inode, size, mtime, mtime_ns, ctime, ctime_ns, digest)
//                              one row per page or snapshot a run wrote or found the same (with
//                              SKIPSAME): the file as it was then, and a digest of its bytes
// Nothing the cache does fails a run: a cache that cannot be opened, is locked, damaged or
// unwritable is left out (a damaged file is set aside and made anew), and the run reads files.

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace veldra {

// What a cache record is valid for: the file exactly as the listing saw it.
struct FileKey {
  uint64_t device = 0;
  uint64_t inode = 0;
  int64_t size = 0;
  FileTime modified;
  FileTime changed;
  friend bool operator==(const FileKey&, const FileKey&) = default;
};

class TagCache {
 public:
  static constexpr const char* kFileName = "tags.sqlite";

  struct Record {
    std::string name;  // within its folder
    FileKey key;
    std::string data;
  };

  // Opens the cache in folder (created, mode 0700, with its parent when missing), creating the
  // database when there is none and setting a damaged one aside (as tags.sqlite.damaged).
  // nullptr when no cache can be used for this run. run_start (nanoseconds since the epoch) is
  // the time this run marks the folders it sees with.
  static std::unique_ptr<TagCache> Open(const std::string& folder, int64_t run_start);
  ~TagCache();
  TagCache(const TagCache&) = delete;
  TagCache& operator=(const TagCache&) = delete;

  // The stored records of one folder's files (path as the walk spells it, with its trailing
  // separator). Empty when the cache holds none, or has failed.
  std::vector<Record> Lookup(const std::string& folder);
  // Marks the folder seen by this run, stores records (replacing those of the same names) and
  // removes the records named in stale. Written with other folders' in one transaction.
  void Store(const std::string& folder, std::vector<Record> records,
             std::vector<std::string> stale);
  // The page records of one folder (data: the digest), and storing them: a record with empty
  // data removes the one of its name. Written with other folders' in one transaction.
  std::vector<Record> LookupPages(const std::string& folder);
  // Lookup and LookupPages in one query.
  struct FolderRecords {
    std::vector<Record> files;
    std::vector<Record> pages;
  };
  FolderRecords LookupFolder(const std::string& folder);
  void StorePages(const std::string& folder, std::vector<Record> pages);
  // After a complete walk of root: removes the folders at or below root that no run has seen
  // since this one started. Folders elsewhere (another set's tree) are left alone.
  void Sweep(const std::string& root);
  // Writes what is pending.
  void Flush();

  bool failed() const { return failed_; }

 private:
  struct PendingFolder {
    std::string path;
    std::vector<Record> records;
    std::vector<std::string> stale;
    std::vector<Record> pages;
  };

  explicit TagCache(sqlite3* db, std::string path, int64_t run_start);
  bool Prepare();
  // The rows of a lookup statement, each put into files or (when a first column says 1) pages.
  void LookupIn(sqlite3_stmt* stmt, const std::string& folder, std::vector<Record>& files,
                std::vector<Record>* pages);
  void FlushLocked();
  bool WriteFolder(const PendingFolder& folder);
  // Notes a failed call: the cache is left out for the rest of the run; a damaged database is
  // set aside when the cache is closed.
  void Fail(int code);

  sqlite3* db_;
  std::string path_;
  int64_t run_start_;
  std::mutex mutex_;
  bool failed_ = false;
  bool damaged_ = false;
  sqlite3_stmt* lookup_ = nullptr;
  sqlite3_stmt* folder_ = nullptr;
  sqlite3_stmt* put_ = nullptr;
  sqlite3_stmt* remove_ = nullptr;
  sqlite3_stmt* lookup_pages_ = nullptr;
  sqlite3_stmt* lookup_both_ = nullptr;
  sqlite3_stmt* put_page_ = nullptr;
  sqlite3_stmt* remove_page_ = nullptr;
  std::vector<PendingFolder> pending_;
  size_t pending_bytes_ = 0;
};

}  // namespace veldra

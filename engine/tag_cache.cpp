#include "engine/tag_cache.h"

#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <utility>

namespace veldra {
namespace {

// How long a call waits for another run's write to end before the cache is left out.
constexpr int kBusyMilliseconds = 2000;
// Folders written in one transaction, and the bytes of records that start a write early.
constexpr size_t kFoldersPerWrite = 256;
constexpr size_t kBytesPerWrite = 8 * 1024 * 1024;
// 1: folders and files; 2 adds pages (a version-1 database is brought up to 2, keeping its
// records).
constexpr int kSchemaVersion = 2;

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS folders("
    " id INTEGER PRIMARY KEY, path BLOB NOT NULL UNIQUE, seen INTEGER NOT NULL);"
    "CREATE TABLE IF NOT EXISTS files("
    " folder INTEGER NOT NULL, name BLOB NOT NULL,"
    " device INTEGER NOT NULL, inode INTEGER NOT NULL, size INTEGER NOT NULL,"
    " mtime INTEGER NOT NULL, mtime_ns INTEGER NOT NULL,"
    " ctime INTEGER NOT NULL, ctime_ns INTEGER NOT NULL,"
    " data BLOB NOT NULL, PRIMARY KEY(folder, name)) WITHOUT ROWID;"
    "CREATE TABLE IF NOT EXISTS pages("
    " folder INTEGER NOT NULL, name BLOB NOT NULL,"
    " device INTEGER NOT NULL, inode INTEGER NOT NULL, size INTEGER NOT NULL,"
    " mtime INTEGER NOT NULL, mtime_ns INTEGER NOT NULL,"
    " ctime INTEGER NOT NULL, ctime_ns INTEGER NOT NULL,"
    " digest BLOB NOT NULL, PRIMARY KEY(folder, name)) WITHOUT ROWID;";

bool IsDamage(int code) {
  code &= 0xFF;
  return code == SQLITE_CORRUPT || code == SQLITE_NOTADB;
}

// Makes folder and its missing parents, new ones readable by the user alone.
bool MakeFolders(const std::string& folder) {
  struct stat st;
  if (stat(folder.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  const size_t slash = folder.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && !MakeFolders(folder.substr(0, slash)))
    return false;
  return mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

// Moves a damaged database (and its journal files) out of the way of a new one.
void SetAside(const std::string& path) {
  rename(path.c_str(), (path + ".damaged").c_str());
  unlink((path + "-wal").c_str());
  unlink((path + "-shm").c_str());
}

void BindBlob(sqlite3_stmt* stmt, int index, const std::string& bytes) {
  sqlite3_bind_blob(stmt, index, bytes.data(), static_cast<int>(bytes.size()), SQLITE_STATIC);
}

std::string ColumnBlob(sqlite3_stmt* stmt, int column) {
  const void* bytes = sqlite3_column_blob(stmt, column);
  const int size = sqlite3_column_bytes(stmt, column);
  return bytes == nullptr ? std::string() : std::string(static_cast<const char*>(bytes), size);
}

// Opens the database and sets it up: the schema code, or SQLITE_OK with *out set.
int OpenDatabase(const std::string& path, sqlite3** out) {
  *out = nullptr;
  sqlite3* db = nullptr;
  int code = sqlite3_open_v2(
      path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (code == SQLITE_OK) {
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, kBusyMilliseconds);
    code = sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;", nullptr, nullptr,
                        nullptr);
  }
  int version = 0;
  if (code == SQLITE_OK) {
    sqlite3_stmt* stmt = nullptr;
    code = sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &stmt, nullptr);
    if (code == SQLITE_OK) {
      code = sqlite3_step(stmt);
      if (code == SQLITE_ROW) {
        version = sqlite3_column_int(stmt, 0);
        code = SQLITE_OK;
      }
    }
    sqlite3_finalize(stmt);
  }
  // A database of another form (another version of the program) is set aside like a damaged
  // one, and the cache made anew in this form.
  if (code == SQLITE_OK && (version < 0 || version > kSchemaVersion)) code = SQLITE_NOTADB;
  if (code == SQLITE_OK && version < kSchemaVersion) {
    const std::string setup = std::string("BEGIN IMMEDIATE;") + kSchema +
                              "PRAGMA user_version=" + std::to_string(kSchemaVersion) + ";COMMIT;";
    code = sqlite3_exec(db, setup.c_str(), nullptr, nullptr, nullptr);
    if (code != SQLITE_OK) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
  }
  if (code != SQLITE_OK) {
    sqlite3_close_v2(db);
    return code;
  }
  *out = db;
  return SQLITE_OK;
}

}  // namespace

std::unique_ptr<TagCache> TagCache::Open(const std::string& folder, int64_t run_start) {
  if (folder.empty() || !MakeFolders(folder)) return nullptr;
  const std::string path = folder + "/" + kFileName;
  sqlite3* db = nullptr;
  int code = OpenDatabase(path, &db);
  if (IsDamage(code)) {
    SetAside(path);
    code = OpenDatabase(path, &db);
  }
  if (code != SQLITE_OK) return nullptr;
  std::unique_ptr<TagCache> cache(new TagCache(db, path, run_start));
  if (!cache->Prepare()) return nullptr;
  return cache;
}

TagCache::TagCache(sqlite3* db, std::string path, int64_t run_start)
    : db_(db), path_(std::move(path)), run_start_(run_start) {}

TagCache::~TagCache() {
  Flush();
  for (sqlite3_stmt* stmt :
       {lookup_, folder_, put_, remove_, lookup_pages_, lookup_both_, put_page_, remove_page_})
    sqlite3_finalize(stmt);
  sqlite3_close_v2(db_);
  if (damaged_) SetAside(path_);  // the next run makes a new one
}

bool TagCache::Prepare() {
  // Every lookup gives a first column that says where a row goes: 0 files, 1 pages.
  constexpr const char* kFileRows =
      "SELECT 0, f.name, f.device, f.inode, f.size, f.mtime, f.mtime_ns, f.ctime, f.ctime_ns,"
      " f.data FROM folders d JOIN files f ON f.folder = d.id WHERE d.path = ?1";
  constexpr const char* kPageRows =
      "SELECT 1, p.name, p.device, p.inode, p.size, p.mtime, p.mtime_ns, p.ctime, p.ctime_ns,"
      " p.digest FROM folders d JOIN pages p ON p.folder = d.id WHERE d.path = ?1";
  const std::string both = std::string(kFileRows) + " UNION ALL " + kPageRows;
  const std::pair<sqlite3_stmt**, const char*> statements[] = {
      {&lookup_, kFileRows},
      {&folder_,
       "INSERT INTO folders(path, seen) VALUES(?1, ?2)"
       " ON CONFLICT(path) DO UPDATE SET seen = max(seen, excluded.seen) RETURNING id"},
      {&put_, "INSERT OR REPLACE INTO files VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)"},
      {&remove_, "DELETE FROM files WHERE folder = ?1 AND name = ?2"},
      {&lookup_pages_, kPageRows},
      {&lookup_both_, both.c_str()},
      {&put_page_, "INSERT OR REPLACE INTO pages VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)"},
      {&remove_page_, "DELETE FROM pages WHERE folder = ?1 AND name = ?2"},
  };
  for (const auto& [stmt, sql] : statements) {
    const int code = sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, stmt, nullptr);
    if (code != SQLITE_OK) {
      Fail(code);
      return false;
    }
  }
  return true;
}

void TagCache::Fail(int code) {
  failed_ = true;
  if (IsDamage(code)) damaged_ = true;
}

std::vector<TagCache::Record> TagCache::Lookup(const std::string& folder) {
  std::vector<Record> files;
  LookupIn(lookup_, folder, files, nullptr);
  return files;
}

std::vector<TagCache::Record> TagCache::LookupPages(const std::string& folder) {
  std::vector<Record> pages;
  LookupIn(lookup_pages_, folder, pages, nullptr);
  return pages;
}

TagCache::FolderRecords TagCache::LookupFolder(const std::string& folder) {
  FolderRecords records;
  LookupIn(lookup_both_, folder, records.files, &records.pages);
  return records;
}

void TagCache::LookupIn(sqlite3_stmt* stmt, const std::string& folder, std::vector<Record>& files,
                        std::vector<Record>* pages) {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (failed_) return;
  BindBlob(stmt, 1, folder);
  int code;
  while ((code = sqlite3_step(stmt)) == SQLITE_ROW) {
    Record record;
    record.name = ColumnBlob(stmt, 1);
    record.key.device = static_cast<uint64_t>(sqlite3_column_int64(stmt, 2));
    record.key.inode = static_cast<uint64_t>(sqlite3_column_int64(stmt, 3));
    record.key.size = sqlite3_column_int64(stmt, 4);
    record.key.modified = {sqlite3_column_int64(stmt, 5),
                           static_cast<int32_t>(sqlite3_column_int(stmt, 6))};
    record.key.changed = {sqlite3_column_int64(stmt, 7),
                          static_cast<int32_t>(sqlite3_column_int(stmt, 8))};
    record.data = ColumnBlob(stmt, 9);
    if (pages != nullptr && sqlite3_column_int(stmt, 0) == 1)
      pages->push_back(std::move(record));
    else
      files.push_back(std::move(record));
  }
  sqlite3_reset(stmt);
  sqlite3_clear_bindings(stmt);
  if (code != SQLITE_DONE) {
    Fail(code);
    files.clear();
    if (pages != nullptr) pages->clear();
  }
}

void TagCache::Store(const std::string& folder, std::vector<Record> records,
                     std::vector<std::string> stale) {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (failed_) return;
  for (const Record& record : records) pending_bytes_ += record.data.size() + record.name.size();
  pending_.push_back(PendingFolder{folder, std::move(records), std::move(stale), {}});
  if (pending_.size() >= kFoldersPerWrite || pending_bytes_ >= kBytesPerWrite) FlushLocked();
}

void TagCache::StorePages(const std::string& folder, std::vector<Record> pages) {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (failed_ || pages.empty()) return;
  for (const Record& page : pages) pending_bytes_ += page.data.size() + page.name.size();
  pending_.push_back(PendingFolder{folder, {}, {}, std::move(pages)});
  if (pending_.size() >= kFoldersPerWrite || pending_bytes_ >= kBytesPerWrite) FlushLocked();
}

void TagCache::Flush() {
  const std::lock_guard<std::mutex> lock(mutex_);
  FlushLocked();
}

void TagCache::FlushLocked() {
  std::vector<PendingFolder> pending = std::move(pending_);
  pending_.clear();
  pending_bytes_ = 0;
  if (failed_ || pending.empty()) return;
  int code = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
  if (code != SQLITE_OK) {
    Fail(code);  // locked by another writer for longer than we wait, or unwritable
    return;
  }
  for (const PendingFolder& folder : pending) {
    if (!WriteFolder(folder)) {
      sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
      return;
    }
  }
  code = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
  if (code != SQLITE_OK) {
    Fail(code);
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  }
}

bool TagCache::WriteFolder(const PendingFolder& folder) {
  BindBlob(folder_, 1, folder.path);
  sqlite3_bind_int64(folder_, 2, run_start_);
  int code = sqlite3_step(folder_);
  const int64_t id = code == SQLITE_ROW ? sqlite3_column_int64(folder_, 0) : 0;
  if (code == SQLITE_ROW) code = sqlite3_step(folder_);
  sqlite3_reset(folder_);
  if (code != SQLITE_DONE) {
    Fail(code);
    return false;
  }
  const auto run = [this](sqlite3_stmt* stmt) {
    const int result = sqlite3_step(stmt);
    sqlite3_reset(stmt);
    if (result == SQLITE_DONE) return true;
    Fail(result);
    return false;
  };
  for (const std::string& name : folder.stale) {
    sqlite3_bind_int64(remove_, 1, id);
    BindBlob(remove_, 2, name);
    if (!run(remove_)) return false;
  }
  const auto put = [&](sqlite3_stmt* stmt, const Record& record) {
    sqlite3_bind_int64(stmt, 1, id);
    BindBlob(stmt, 2, record.name);
    sqlite3_bind_int64(stmt, 3, static_cast<int64_t>(record.key.device));
    sqlite3_bind_int64(stmt, 4, static_cast<int64_t>(record.key.inode));
    sqlite3_bind_int64(stmt, 5, record.key.size);
    sqlite3_bind_int64(stmt, 6, record.key.modified.seconds);
    sqlite3_bind_int(stmt, 7, record.key.modified.nanoseconds);
    sqlite3_bind_int64(stmt, 8, record.key.changed.seconds);
    sqlite3_bind_int(stmt, 9, record.key.changed.nanoseconds);
    BindBlob(stmt, 10, record.data);
    return run(stmt);
  };
  for (const Record& record : folder.records) {
    if (!put(put_, record)) return false;
  }
  for (const Record& page : folder.pages) {
    if (!page.data.empty()) {
      if (!put(put_page_, page)) return false;
      continue;
    }
    sqlite3_bind_int64(remove_page_, 1, id);
    BindBlob(remove_page_, 2, page.name);
    if (!run(remove_page_)) return false;
  }
  return true;
}

void TagCache::Sweep(const std::string& root) {
  const std::lock_guard<std::mutex> lock(mutex_);
  FlushLocked();
  if (failed_ || root.empty()) return;
  // Every path below root starts with root; the first byte string after all of them is root
  // with its last byte raised by one (root ends with the separator, so that is never 0xFF).
  std::string after = root;
  after.back() = static_cast<char>(static_cast<uint8_t>(after.back()) + 1);
  constexpr const char* kSweep =
      "BEGIN IMMEDIATE;"
      "DELETE FROM files WHERE folder IN (SELECT id FROM folders"
      " WHERE path >= ?1 AND path < ?2 AND seen < ?3);"
      "DELETE FROM pages WHERE folder IN (SELECT id FROM folders"
      " WHERE path >= ?1 AND path < ?2 AND seen < ?3);"
      "DELETE FROM folders WHERE path >= ?1 AND path < ?2 AND seen < ?3;"
      "COMMIT;";
  const char* sql = kSweep;
  while (*sql != '\0') {
    sqlite3_stmt* stmt = nullptr;
    int code = sqlite3_prepare_v2(db_, sql, -1, &stmt, &sql);
    if (code == SQLITE_OK && stmt != nullptr) {
      if (sqlite3_bind_parameter_count(stmt) >= 3) {
        BindBlob(stmt, 1, root);
        BindBlob(stmt, 2, after);
        sqlite3_bind_int64(stmt, 3, run_start_);
      }
      code = sqlite3_step(stmt);
      if (code == SQLITE_DONE) code = SQLITE_OK;
    }
    sqlite3_finalize(stmt);
    if (code != SQLITE_OK) {
      Fail(code);
      sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
      return;
    }
  }
}

}  // namespace veldra

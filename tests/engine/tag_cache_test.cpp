// The tag cache's store: records per folder, pruning, the sweep under one root, and a damaged
// or unusable database file.

#include "engine/tag_cache.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace veldra {
namespace {

constexpr int64_t kSecond = 1000000000;

TagCache::Record MakeRecord(const std::string& name, uint64_t inode, const std::string& data) {
  TagCache::Record record;
  record.name = name;
  record.key = FileKey{7, inode, 1000, {1600000000, 123456789}, {1600000001, 987654321}};
  record.data = data;
  return record;
}

std::vector<std::string> Names(const std::vector<TagCache::Record>& records) {
  std::vector<std::string> names;
  for (const auto& record : records) names.push_back(record.name);
  std::sort(names.begin(), names.end());
  return names;
}

TEST(TagCache, StoresLooksUpAndPrunesPerFolder) {
  test::TempDir dir;
  const std::string folder = dir / "cache/veldra";
  {
    auto cache = TagCache::Open(folder, 10 * kSecond);
    ASSERT_NE(cache, nullptr);
    cache->Store("/m/a/", {MakeRecord("one.mp3", 1, "R1"), MakeRecord("two.mp3", 2, "R2")}, {});
    cache->Store("/m/b/", {MakeRecord("one.mp3", 3, "R3")}, {});
  }
  struct stat st;
  ASSERT_EQ(stat(folder.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  auto cache = TagCache::Open(folder, 20 * kSecond);
  ASSERT_NE(cache, nullptr);
  const auto a = cache->Lookup("/m/a/");
  ASSERT_EQ(Names(a), (std::vector<std::string>{"one.mp3", "two.mp3"}));
  const TagCache::Record& one = a[0].name == "one.mp3" ? a[0] : a[1];
  EXPECT_EQ(one.key, MakeRecord("one.mp3", 1, "").key);  // nanoseconds and all
  EXPECT_EQ(one.data, "R1");
  // Pruning one name and replacing another.
  cache->Store("/m/a/", {MakeRecord("one.mp3", 9, "R9")}, {"two.mp3"});
  cache->Flush();
  const auto pruned = cache->Lookup("/m/a/");
  ASSERT_EQ(pruned.size(), 1u);
  EXPECT_EQ(pruned[0].key.inode, 9u);
  EXPECT_EQ(pruned[0].data, "R9");
  EXPECT_TRUE(cache->Lookup("/m/").empty());
  EXPECT_FALSE(cache->failed());
}

TEST(TagCache, SweepsUnseenFoldersUnderItsRootOnly) {
  test::TempDir dir;
  const std::string folder = dir / "cache";
  {
    auto first = TagCache::Open(folder, 10 * kSecond);
    ASSERT_NE(first, nullptr);
    for (const char* path : {"/m/", "/m/a/", "/m/gone/", "/m/gone/deep/", "/m0/", "/other/"})
      first->Store(path, {MakeRecord("x.mp3", 1, "R")}, {});
  }
  {
    // A later run of the tree /m/ sees /m/ and /m/a/ only; a run of another set started in
    // between has seen /m/gone/ after this run began, so it stays too.
    auto run = TagCache::Open(folder, 20 * kSecond);
    auto other = TagCache::Open(folder, 25 * kSecond);
    ASSERT_NE(run, nullptr);
    ASSERT_NE(other, nullptr);
    run->Store("/m/", {}, {});
    run->Store("/m/a/", {}, {});
    other->Store("/m/gone/", {}, {});
    other->Flush();
    run->Sweep("/m/");
    EXPECT_FALSE(run->failed());
  }
  auto cache = TagCache::Open(folder, 30 * kSecond);
  ASSERT_NE(cache, nullptr);
  for (const char* kept : {"/m/", "/m/a/", "/m/gone/", "/m0/", "/other/"})
    EXPECT_EQ(cache->Lookup(kept).size(), 1u) << kept;
  EXPECT_TRUE(cache->Lookup("/m/gone/deep/").empty());
}

// Page records beside file records: a cache made by the version before them keeps its file
// records and gains the page table; a record with empty data removes its name's; the sweep takes
// a folder's page records with it.
TEST(TagCache, PageRecordsUpgradeStoreRemoveAndSweep) {
  test::TempDir dir;
  const std::string folder = dir / "cache";
  test::MakeFolders(folder);
  const std::string path = folder + "/" + TagCache::kFileName;
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db,
                         "CREATE TABLE folders(id INTEGER PRIMARY KEY, path BLOB NOT NULL UNIQUE,"
                         " seen INTEGER NOT NULL);"
                         "CREATE TABLE files(folder INTEGER NOT NULL, name BLOB NOT NULL,"
                         " device INTEGER NOT NULL, inode INTEGER NOT NULL, size INTEGER NOT NULL,"
                         " mtime INTEGER NOT NULL, mtime_ns INTEGER NOT NULL, ctime INTEGER NOT "
                         "NULL, ctime_ns INTEGER NOT NULL, data BLOB NOT NULL,"
                         " PRIMARY KEY(folder, name)) WITHOUT ROWID;"
                         "INSERT INTO folders VALUES(1, CAST('/m/a/' AS BLOB), 1);"
                         "INSERT INTO files VALUES(1, CAST('old.mp3' AS BLOB), 7, 1, 1000,"
                         " 1600000000, 123456789, 1600000001, 987654321, CAST('R0' AS BLOB));"
                         "PRAGMA user_version=1;",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);
  {
    auto cache = TagCache::Open(folder, 10 * kSecond);
    ASSERT_NE(cache, nullptr);
    const auto files = cache->Lookup("/m/a/");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].data, "R0");
    cache->StorePages("/m/a/", {MakeRecord("index.htm", 2, "D1"), MakeRecord("x.csv", 3, "D2")});
    cache->StorePages("/m/b/", {MakeRecord("index.htm", 4, "D3")});
    cache->Flush();
    EXPECT_EQ(Names(cache->LookupPages("/m/a/")), (std::vector<std::string>{"index.htm", "x.csv"}));
    cache->StorePages("/m/a/", {MakeRecord("x.csv", 3, "")});
    cache->Flush();
    const auto pages = cache->LookupPages("/m/a/");
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].data, "D1");
    EXPECT_EQ(pages[0].key, MakeRecord("", 2, "").key);
    EXPECT_TRUE(cache->Lookup("/m/b/").empty());  // page records are not file records
  }
  auto cache = TagCache::Open(folder, 20 * kSecond);
  ASSERT_NE(cache, nullptr);
  cache->StorePages("/m/a/", {MakeRecord("index.htm", 5, "D5")});
  cache->Sweep("/m/");  // /m/b/ was not seen by this run
  EXPECT_EQ(cache->LookupPages("/m/a/").size(), 1u);
  EXPECT_TRUE(cache->LookupPages("/m/b/").empty());
  EXPECT_FALSE(cache->failed());
}

TEST(TagCache, DamagedOrUnusableFilesNeverFail) {
  test::TempDir dir;
  const std::string folder = dir / "cache";
  const std::string path = folder + "/" + TagCache::kFileName;
  // Garbage where the database should be: set aside, and a new one made.
  test::WriteFile(path, std::string(8192, '\x5A'));
  {
    auto cache = TagCache::Open(folder, kSecond);
    ASSERT_NE(cache, nullptr);
    cache->Store("/m/", {MakeRecord("x.mp3", 1, "R")}, {});
  }
  EXPECT_EQ(test::ReadFile(path + ".damaged"), std::string(8192, '\x5A'));
  {
    auto cache = TagCache::Open(folder, 2 * kSecond);
    ASSERT_NE(cache, nullptr);
    EXPECT_EQ(cache->Lookup("/m/").size(), 1u);
  }
  // Damaged pages behind a valid header: found when the records are read, the cache is left
  // out for the rest of the run, and the file is set aside when it closes.
  {
    const std::string bytes = test::ReadFile(path);
    ASSERT_GT(bytes.size(), 4096u);
    test::WriteFile(path, bytes.substr(0, 4096) + std::string(bytes.size() - 4096, '\xA5'));
    auto cache = TagCache::Open(folder, 3 * kSecond);
    if (cache != nullptr) {
      EXPECT_TRUE(cache->Lookup("/m/").empty());
      EXPECT_TRUE(cache->failed());
      cache->Store("/m/", {MakeRecord("x.mp3", 1, "R")}, {});  // ignored, no crash
    }
  }
  {
    auto cache = TagCache::Open(folder, 4 * kSecond);
    ASSERT_NE(cache, nullptr);
    EXPECT_TRUE(cache->Lookup("/m/").empty());
    EXPECT_FALSE(cache->failed());
  }
  // A folder that cannot be made (a file in its place) or a database that is a folder: no cache.
  test::WriteFile(dir / "file", "x");
  EXPECT_EQ(TagCache::Open(dir / "file/veldra", kSecond), nullptr);
  test::MakeFolders(dir / "c2/" + TagCache::kFileName);
  EXPECT_EQ(TagCache::Open(dir / "c2", kSecond), nullptr);
  EXPECT_EQ(TagCache::Open("", kSecond), nullptr);
}

}  // namespace
}  // namespace veldra

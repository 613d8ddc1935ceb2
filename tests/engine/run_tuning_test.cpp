// Pages do not depend on how a run spreads its work over threads: the same tree run with no
// threads at all, one of each, many, and the file rows of a ten-file folder split into parts
// gives the same bytes in every file it writes.

#include "engine/run_tuning.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <ostream>
#include <tuple>

#include "engine/run.h"
#include "tests/engine/engine_test_util.h"
#include "tests/support/temp_dir.h"

namespace veldra {

void PrintTo(const RunTuning& t, std::ostream* os) {
  *os << "writers " << t.writer_threads << ", removers " << t.remover_threads << ", readers "
      << t.read_threads << ", rows in " << t.row_parts << " parts over " << t.split_files_over
      << ", listing ahead " << t.list_ahead_threads << " after " << t.list_ahead_after_us << " us";
}

namespace {

using test::MakeFolders;
using test::TempDir;
using test::Threads;
using test::WriteFile;
using Files = std::map<std::string, std::string>;  // relative path: bytes

RunTuning Split(RunTuning tuning, size_t parts) {
  tuning.split_files_over = 9;  // the folder of ten files is split, the others are not
  tuning.row_parts = parts;
  return tuning;
}

// Every folder listed ahead, as on a cold disk, by this many threads.
RunTuning ListingAhead(RunTuning tuning, size_t threads) {
  tuning.list_ahead_threads = threads;
  tuning.list_ahead_after_us = 0;
  return tuning;
}

// Writes the tree, its files pushed out of the page cache so that their tag reads wait for the
// disk and go to the reader threads (where the file system lets them be pushed out).
void MakeTree(const std::string& root) {
  std::vector<std::string> paths;
  const auto add = [&](const std::string& relative, const std::string& bytes) {
    MakeFolders(std::filesystem::path(root + relative).parent_path().string() + "/");
    WriteFile(root + relative, bytes);
    paths.push_back(root + relative);
  };
  for (int i = 0; i < 10; ++i) {
    const std::string n = std::to_string(i);
    if (i % 4 == 3)
      add("ten/notes" + n + ".txt", "text " + n);
    else
      add("ten/曲" + n + ".mp3",
          test::Mp3("題名" + n, "歌手" + n, "c" + n, static_cast<uint8_t>(i + 1), 13));
  }
  add("ten/sub/a.mp3", test::Mp3("a", "b", "c", 1, 2));
  add("other/deep/x.mp3", std::string(200, 'U'));  // no tag
  add("other/deep/y.MP3", test::Mp3("y", "", "", 0, 255));
  add("root.mp3", test::Mp3("root", "artist", "", 7, 1));
  for (const std::string& path : paths) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    fsync(fd);  // clean pages can be dropped
    posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    close(fd);
  }
}

// Every file below folder, by path relative to it.
Files FilesBelow(const std::string& folder) {
  Files files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file())
      files[std::filesystem::relative(entry.path(), folder).string()] =
          test::ReadFile(entry.path().string());
  }
  return files;
}

// A fresh tree (at the same paths each time) run with the tuning: every file of the tree and of
// the program folder afterwards.
Files RunWith(const RunTuning& tuning, bool all_tags) {
  TempDir dir;
  const std::string root = dir / "tree/";
  MakeTree(root);
  EnvironmentSet set = test::DefaultSet(root, "/music/");
  set.ShowNewMark = true;
  set.NewMarkText = "<NEW>";
  set.Playlist = true;
  set.Feed = true;
  set.ReadAllTags = all_tags;
  MakeFolders(dir / "program/");
  const test::FixedClock clock;
  const RunResult result =
      ExecuteRun(set, test::PlaceIn(dir / "program/"), clock, nullptr, nullptr, tuning);
  EXPECT_TRUE(result.report.problems.empty());
  EXPECT_EQ(result.report.pages_written, 5u);
  Files files = FilesBelow(dir.path());
  // Paths inside the files name the temporary folder, which differs from run to run.
  for (auto& [name, bytes] : files) {
    for (size_t at; (at = bytes.find(dir.path())) != std::string::npos;)
      bytes.replace(at, dir.path().size(), "<dir>/");
  }
  return files;
}

class RunTuningTest : public ::testing::TestWithParam<std::tuple<RunTuning, bool>> {};

TEST_P(RunTuningTest, WritesWhatARunWithoutThreadsWrites) {
  const auto& [tuning, all_tags] = GetParam();
  const Files expected = RunWith(Threads(0, 0, 0), all_tags);
  const Files got = RunWith(tuning, all_tags);
  ASSERT_EQ(got.size(), expected.size());
  for (const auto& [name, bytes] : expected) {
    ASSERT_TRUE(got.contains(name)) << name;
    EXPECT_EQ(got.at(name), bytes) << name;
  }
  // The pages carry the tags, so that a tag read going astray would show.
  EXPECT_NE(expected.at("tree/ten/index.htm").find(EncodeCp932("題名5", Cp932Escape::kHtml)),
            std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Tunings, RunTuningTest,
    ::testing::Combine(::testing::Values(Threads(1, 1, 1), Threads(4, 3, 8), RunTuning(),
                                         Split(Threads(0, 0, 0), 2), Split(Threads(2, 2, 4), 3),
                                         Split(Threads(1, 0, 0), 10),
                                         ListingAhead(Threads(2, 2, 4), 3)),
                       ::testing::Bool()));

}  // namespace
}  // namespace veldra

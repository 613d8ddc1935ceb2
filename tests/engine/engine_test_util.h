#pragma once
// Shared pieces of the engine tests: a fixed clock, a default set, setting times, reading pages.

#include <string>
#include <vector>

#include "engine/page_context.h"
#include "engine/run.h"
#include "engine/run_tuning.h"
#include "engine/table_rows.h"
#include "platform/cp932.h"
#include "platform/file_system.h"
#include "platform/local_time.h"
#include "platform/text_file.h"
#include "settings/column_key.h"
#include "settings/environment_set.h"
#include "settings/set_file.h"
#include "tags/id3v1.h"
#include "tags/tag_reader.h"

namespace veldra::test {

// 2000/01/02 14:05 in Tokyo.
inline constexpr int64_t kNow = 946789500;

class FixedClock final : public Clock {
 public:
  explicit FixedClock(int64_t now = kNow) : now_(now) {}
  int64_t NowUtcSeconds() const override { return now_; }

 private:
  int64_t now_;
};

// UTC seconds of a Tokyo local time (no daylight saving there).
constexpr int64_t TokyoTime(int days_since_2000_01_01, int hour, int minute) {
  return 946684800 + int64_t{days_since_2000_01_01} * 86400 + (hour - 9) * 3600 + minute * 60;
}

// The settings a new set has, for a tree at root served at url.
inline EnvironmentSet DefaultSet(const std::string& root, const std::string& url) {
  EnvironmentSet set;
  set.SetName = "VELDRA";
  set.RootFolder = root;
  set.RootUrl = url;
  set.TableTag = "<TABLE border=1 cellspacing=0 cellpadding=3>";
  set.FolderMarkText = "(DIR)";
  set.OutputFileName = "index.htm";
  set.HairlineText = "<HR>";
  set.HeaderFileName = "VELDRA-Head-htm.txt";
  set.FooterFileName = "VELDRA-Foot-htm.txt";
  set.ProcessId3 = true;
  set.OutputColumns = DefaultOutputColumns();
  set.HiddenColumns = {"ID3-TRACK"};
  return set;
}

// Sets the last-write time of a file or folder.
inline void SetTime(const std::string& path, int64_t utc_seconds) {
  RestoreModifiedTime(path, FileTime{utc_seconds, 0});
}

// A page or template file as UTF-8 lines.
inline std::vector<std::string> FileLines(const std::string& path) {
  std::vector<std::string> lines;
  ReadTextLines(path, Cp932Escape::kHtml, lines);
  return lines;
}

// CP932 bytes of UTF-8 lines, each followed by CR LF.
inline std::string Cp932Lines(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) AppendCp932Line(out, line, Cp932Escape::kHtml);
  return out;
}

// An MP3 file: 300 bytes of audio and an ID3v1.1 block with the texts in CP932 and the album
// blank.
inline std::string Mp3(const std::string& title, const std::string& artist,
                       const std::string& comment, uint8_t track, uint8_t genre) {
  std::string block = "TAG";
  const auto field = [&block](const std::string& utf8, size_t width) {
    std::string bytes = EncodeCp932(utf8, Cp932Escape::kHtml);
    bytes.resize(width, '\0');
    block += bytes;
  };
  field(title, 30);
  field(artist, 30);
  field("  ", 30);
  field("1999", 4);
  field(comment, 28);
  block += '\0';
  block += static_cast<char>(track);
  block += static_cast<char>(genre);
  return std::string(300, 'U') + block;
}

// The program folder of a test (a TempDir path without its trailing separator).
inline ProgramPlace PlaceIn(const std::string& folder_with_separator) {
  return ProgramPlace{folder_with_separator.substr(0, folder_with_separator.size() - 1), "VELDRA"};
}

// Runs a set (after its input steps) at a fixed time.
inline RunResult RunAt(const EnvironmentSet& set, const ProgramPlace& place, int64_t now = kNow,
                       RunObserver* observer = nullptr) {
  const FixedClock clock(now);
  return ExecuteRun(set, place, clock, observer);
}

// The run's tuning with the given thread counts (0: inline) and page queue.
inline RunTuning Threads(size_t writers, size_t removers, size_t readers,
                         size_t max_queued_pages = RunTuning().max_queued_pages) {
  RunTuning tuning;
  tuning.writer_threads = writers;
  tuning.remover_threads = removers;
  tuning.read_threads = readers;
  tuning.list_ahead_threads = readers == 0 ? 0 : tuning.list_ahead_threads;
  tuning.max_queued_pages = max_queued_pages;
  return tuning;
}

// The row of a file on the page of folder, its tag read from the file by path the way a run
// reads it: a tag that cannot be read leaves the record fresh (its cells read "<BR>"), and
// without a tag column the tag is not read at all.
inline std::string FileRow(const PageContext& context, std::string_view folder,
                           std::string_view name, std::string_view time_text, int64_t size,
                           std::string_view mark) {
  Id3Tag tag;
  if (UsesTagReader(context.set)) {
    FileTags more;
    ReadFileTagsAt(std::string(folder) + std::string(name), name, TagOptionsFor(context), more);
    return FileRowWithTag(context, folder, name, time_text, size, mark, more.v1, &more);
  }
  if (RowsShowTags(context.set)) ReadId3Tag(std::string(folder) + std::string(name), tag);
  return FileRowWithTag(context, folder, name, time_text, size, mark, tag);
}

// A run observer that records the order of events.
class RecordingObserver final : public RunObserver {
 public:
  void FolderStarted(const std::string& folder) override { started.push_back(folder); }
  void PageWritten(const std::string& folder, size_t count) override {
    written.push_back(folder);
    counts.push_back(count);
  }
  std::vector<std::string> started;
  std::vector<std::string> written;
  std::vector<size_t> counts;
};

}  // namespace veldra::test

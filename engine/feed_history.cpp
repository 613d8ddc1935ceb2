#include "engine/feed_history.h"

#include <algorithm>
#include <charconv>
#include <unordered_set>

#include "engine/id3_tails.h"
#include "engine/page_head.h"
#include "engine/run_context.h"
#include "engine/table_rows.h"
#include "platform/file_tail.h"
#include "platform/percent_escape.h"
#include "platform/text_compare.h"
#include "platform/text_file.h"
#include "tags/tag_reader.h"

namespace veldra {
namespace {

// Format 1 holds the ID3v1 record (16 fields a line); format 2 adds what the tag reader read:
// a flag, the seven column texts, play time in milliseconds and bitrate (-1 when unknown).
constexpr std::string_view kHistoryFirstLineV1 = "VELDRA mp3+ feed history 1";
constexpr std::string_view kHistoryFirstLine = "VELDRA mp3+ feed history 2";
constexpr size_t kFieldCountV1 = 16;
constexpr size_t kFieldCount = 26;

// The bytes a field cannot hold as they are.
constexpr std::string_view kFieldEscaped("\t\r\n\0", 4);

bool ParseInt(std::string_view text, int64_t& value) {
  if (text.empty()) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

std::vector<std::string_view> SplitTabs(std::string_view line) {
  std::vector<std::string_view> fields;
  for (;;) {
    const size_t tab = line.find('\t');
    fields.push_back(line.substr(0, tab));
    if (tab == std::string_view::npos) return fields;
    line.remove_prefix(tab + 1);
  }
}

// A relative folder path as we write it: names each followed by "/", none empty, "." or "..".
bool IsRelativeFolder(std::string_view folder) {
  if (folder.empty()) return true;
  if (folder.front() == '/' || folder.back() != '/') return false;
  for (size_t start = 0; start < folder.size();) {
    const size_t slash = folder.find('/', start);
    const std::string_view name = folder.substr(start, slash - start);
    if (name.empty() || name == "." || name == "..") return false;
    start = slash + 1;
  }
  return true;
}

bool IsName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos;
}

std::optional<ChangeEvent> ParseLine(std::string_view line, size_t field_count) {
  const std::vector<std::string_view> raw = SplitTabs(line);
  if (raw.size() != field_count) return std::nullopt;
  std::vector<std::string> f(field_count);
  for (size_t i = 0; i < field_count; ++i) {
    if (!PercentUnescape(raw[i], f[i])) return std::nullopt;
  }
  ChangeEvent event;
  int64_t genre = 0;
  int64_t tail0 = 0;
  int64_t tail1 = 0;
  if (!ParseInt(f[0], event.run_time) || event.run_time < 0) return std::nullopt;
  if (f[1] == "new") {
    event.kind = ChangeKind::kNew;
  } else if (f[1] == "updated") {
    event.kind = ChangeKind::kUpdated;
  } else {
    return std::nullopt;
  }
  if (f[2] != "D" && f[2] != "F") return std::nullopt;
  event.is_folder = f[2] == "D";
  if (!IsRelativeFolder(f[3]) || !IsName(f[4])) return std::nullopt;
  event.folder = std::move(f[3]);
  event.name = std::move(f[4]);
  event.time_text = std::move(f[5]);
  if (!ParseInt(f[6], event.size) || event.size < 0) return std::nullopt;
  if (f[7] != "0" && f[7] != "1") return std::nullopt;
  event.has_tag = f[7] == "1";
  if (!ParseInt(f[13], genre) || genre < 0 || genre > 255) return std::nullopt;
  if (!ParseInt(f[14], tail0) || tail0 < 0 || tail0 > 255) return std::nullopt;
  if (!ParseInt(f[15], tail1) || tail1 < 0 || tail1 > 255) return std::nullopt;
  if (event.has_tag) {
    event.tag.Marker = "TAG";
    event.tag.Title = std::move(f[8]);
    event.tag.Artist = std::move(f[9]);
    event.tag.Album = std::move(f[10]);
    event.tag.Year = std::move(f[11]);
    event.tag.Comment = std::move(f[12]);
    event.tag.Genre = static_cast<uint8_t>(genre);
    event.tag.comment_tail = {static_cast<uint8_t>(tail0), static_cast<uint8_t>(tail1)};
  }
  if (field_count == kFieldCountV1) return event;
  if (f[16] != "0" && f[16] != "1") return std::nullopt;
  event.has_fields = f[16] == "1";
  int64_t milliseconds = -1;
  int64_t bits_per_second = -1;
  if (!ParseInt(f[24], milliseconds) || milliseconds < -1) return std::nullopt;
  if (!ParseInt(f[25], bits_per_second) || bits_per_second < -1) return std::nullopt;
  if (event.has_fields) {
    TagFields& t = event.fields;
    std::string* texts[] = {&t.title, &t.artist, &t.album, &t.comment, &t.year, &t.genre, &t.track};
    for (size_t i = 0; i < 7; ++i) *texts[i] = std::move(f[17 + i]);
    event.stream = StreamInfo{milliseconds, bits_per_second};
  }
  return event;
}

}  // namespace

std::optional<ChangeKind> DecideChange(EntryKind kind, const SnapshotIndex& previous,
                                       std::string_view name, std::string_view time_text,
                                       std::string_view size_text) {
  // The same decision ChangeMark makes, with both marks shown and told apart by their texts.
  static const MarkSettings kBoth{true, true, "N", "U"};
  const std::string mark = ChangeMark(kind, previous, name, time_text, size_text, kBoth);
  if (mark == "N") return ChangeKind::kNew;
  if (mark == "U") return ChangeKind::kUpdated;
  return std::nullopt;
}

std::string ChangeEvent::Title() const {
  if (has_fields) {
    std::string title = CleanText(fields.title);
    if (!title.empty()) return title;
  }
  if (has_tag) {
    std::string title = CleanTagField(tag.Title);
    if (!title.empty()) return title;
  }
  return name;
}

std::vector<ChangeEvent> CollectFolderChanges(const PageContext& context, int dir_fd,
                                              std::string_view folder, const EntryTable& folders,
                                              const EntryTable& files,
                                              const FolderSnapshot& previous) {
  const SnapshotIndex index(previous);
  const std::string relative = RelativeFolderPath(context.run, folder);
  std::vector<ChangeEvent> events;
  const auto add = [&](const Entry& entry, bool is_folder, ChangeKind kind) {
    ChangeEvent event;
    event.kind = kind;
    event.is_folder = is_folder;
    event.folder = relative;
    event.name = entry.name;
    event.time_text = entry.time_text;
    event.size = entry.size;
    events.push_back(std::move(event));
  };
  for (const Entry& entry : folders) {
    if (const auto kind = DecideChange(EntryKind::kFolder, index, entry.name, entry.time_text, ""))
      add(entry, true, *kind);
  }
  std::vector<FileTail> tails;
  std::vector<size_t> tail_event;  // per tail: its event
  // Rows that read tags with the tag reader: the entry's cells and title come from it too.
  const bool reader = context.set.ProcessId3 && UsesTagReader(context.set);
  TagReadOptions options = TagOptionsFor(context);
  options.tags = true;  // the title, even when no tag column is shown
  options.columns = 0x7F;
  const std::string folder_path(folder);
  for (const Entry& entry : files) {
    const auto kind =
        DecideChange(EntryKind::kFile, index, entry.name, entry.time_text, entry.size_text);
    if (!kind) continue;
    add(entry, false, *kind);
    if (reader) {
      if (!HasTagsToRead(entry.name, options)) continue;
      FileTags tags;
      ChangeEvent& event = events.back();
      try {
        if (!ReadFileTagsAt(folder_path + entry.name, entry.name, options, tags)) continue;
      } catch (...) {
        continue;  // an entry without tags, as its row shows it
      }
      event.has_tag = tags.v1.HasTag();
      if (event.has_tag) event.tag = std::move(tags.v1);
      event.has_fields = true;
      event.fields = std::move(tags.fields);
      event.stream = tags.stream;
    } else if (context.set.ProcessId3 && IsMp3Name(entry.name) && dir_fd >= 0) {
      tails.push_back(TailOf(entry));
      tail_event.push_back(events.size() - 1);
    }
  }
  ReadId3TagsAt(nullptr, dir_fd, folder_path, tails, context.reads, [&](size_t i, Id3Tag& tag) {
    ChangeEvent& event = events[tail_event[i]];
    event.has_tag = true;
    event.tag = std::move(tag);
  });
  return events;
}

std::string FeedHistoryName(const std::string& set_name) { return set_name + ".feed"; }

std::string FormatFeedHistory(const std::vector<ChangeEvent>& events) {
  std::string text(kHistoryFirstLine);
  text += '\n';
  for (const ChangeEvent& e : events) {
    const Id3Tag& t = e.tag;
    const std::string fields[kFieldCount] = {
        std::to_string(e.run_time),
        e.kind == ChangeKind::kNew ? "new" : "updated",
        e.is_folder ? "D" : "F",
        e.folder,
        e.name,
        e.time_text,
        std::to_string(e.size),
        e.has_tag ? "1" : "0",
        e.has_tag ? t.Title : "",
        e.has_tag ? t.Artist : "",
        e.has_tag ? t.Album : "",
        e.has_tag ? t.Year : "",
        e.has_tag ? t.Comment : "",
        std::to_string(e.has_tag ? t.Genre : 0),
        std::to_string(e.has_tag ? t.comment_tail[0] : 0),
        std::to_string(e.has_tag ? t.comment_tail[1] : 0),
        e.has_fields ? "1" : "0",
        e.has_fields ? e.fields.title : "",
        e.has_fields ? e.fields.artist : "",
        e.has_fields ? e.fields.album : "",
        e.has_fields ? e.fields.comment : "",
        e.has_fields ? e.fields.year : "",
        e.has_fields ? e.fields.genre : "",
        e.has_fields ? e.fields.track : "",
        std::to_string(e.has_fields ? e.stream.milliseconds : -1),
        std::to_string(e.has_fields ? e.stream.bits_per_second : -1),
    };
    for (size_t i = 0; i < kFieldCount; ++i) {
      if (i > 0) text += '\t';
      text += PercentEscape(fields[i], kFieldEscaped);
    }
    text += '\n';
  }
  return text;
}

std::vector<ChangeEvent> ParseFeedHistory(std::string_view text) {
  std::vector<ChangeEvent> events;
  const size_t first_end = text.find('\n');
  if (first_end == std::string_view::npos) return events;
  const std::string_view first_line = text.substr(0, first_end);
  size_t field_count = 0;
  if (first_line == kHistoryFirstLine) {
    field_count = kFieldCount;
  } else if (first_line == kHistoryFirstLineV1) {
    field_count = kFieldCountV1;  // written before the tag reader's fields were kept
  } else {
    return events;
  }
  text.remove_prefix(first_end + 1);
  while (!text.empty() && events.size() < kFeedEntryLimit) {
    const size_t end = text.find('\n');
    if (end == std::string_view::npos) break;  // a last line without its end was cut short
    if (auto event = ParseLine(text.substr(0, end), field_count))
      events.push_back(std::move(*event));
    text.remove_prefix(end + 1);
  }
  return events;
}

std::vector<ChangeEvent> ReadFeedHistoryAt(int dir_fd, const std::string& name) {
  std::string bytes;
  if (ReadRegularFileAt(dir_fd, name, kFeedHistoryCap, bytes) != RegularReadResult::kRead)
    return {};
  return ParseFeedHistory(bytes);
}

std::string EventPath(const ChangeEvent& event) { return event.folder + event.name; }

std::vector<ChangeEvent> MergeFeedHistory(std::vector<ChangeEvent> this_run,
                                          const std::vector<ChangeEvent>& earlier, size_t limit) {
  std::vector<ChangeEvent> merged;
  std::unordered_set<std::string> seen;
  const auto add = [&](ChangeEvent&& event) {
    if (merged.size() >= limit) return;
    std::string key = std::to_string(event.run_time) +
                      (event.kind == ChangeKind::kNew ? "n" : "u") + (event.is_folder ? "D" : "F") +
                      EventPath(event);
    if (seen.insert(std::move(key)).second) merged.push_back(std::move(event));
  };
  for (ChangeEvent& event : this_run) add(std::move(event));
  // Earlier runs newest first, whatever order the file held them in.
  std::vector<ChangeEvent> older = earlier;
  std::stable_sort(older.begin(), older.end(), [](const ChangeEvent& a, const ChangeEvent& b) {
    return a.run_time > b.run_time;
  });
  for (ChangeEvent& event : older) add(std::move(event));
  return merged;
}

}  // namespace veldra

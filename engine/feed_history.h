#pragma once
// What's new: the entries a run marks new or updated, collected while pages are built, and the
// history of earlier runs' entries kept beside the set file (never in the published tree).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/change_mark.h"
#include "engine/entry_table.h"
#include "engine/folder_snapshot.h"
#include "engine/page_context.h"
#include "tags/id3v1.h"
#include "tags/tag_text.h"

namespace veldra {

enum class ChangeKind { kNew, kUpdated };

// The change decision behind the marks, whether or not a mark is shown: kNew for an entry the
// previous snapshot lacks, kUpdated for one whose time (and, for a file, size) differs.
std::optional<ChangeKind> DecideChange(EntryKind kind, const SnapshotIndex& previous,
                                       std::string_view name, std::string_view time_text,
                                       std::string_view size_text);

// One entry of the feed: a file or folder a run found new or updated.
struct ChangeEvent {
  int64_t run_time = 0;  // the run's start, UTC seconds
  ChangeKind kind = ChangeKind::kNew;
  bool is_folder = false;
  std::string folder;  // relative to the root folder, "/" after each name; "" for the root
  std::string name;
  std::string time_text;  // as the page's time cell shows it
  int64_t size = 0;
  bool has_tag = false;  // the fields below come from the file's ID3v1 tag
  Id3Tag tag;
  // What the tag reader read (when the set reads tags with it: TAGS=ALL, another code page, or a
  // play time or bitrate column): the cleaned column texts and the stream facts.
  bool has_fields = false;
  TagFields fields;
  StreamInfo stream;

  // The title the tag reader found, else the ID3v1 title when there is one, else the name.
  std::string Title() const;
};

// The changes of one folder's entries against its previous snapshot, in page order (folders,
// then files). Tags of changed files are read when ProcessId3 is on: the ID3v1 tail of MP3 files
// through dir_fd, or, when the rows use the tag reader, whatever it reads as the rows do.
std::vector<ChangeEvent> CollectFolderChanges(const PageContext& context, int dir_fd,
                                              std::string_view folder, const EntryTable& folders,
                                              const EntryTable& files,
                                              const FolderSnapshot& previous);

inline constexpr size_t kFeedEntryLimit = 200;
// A history file larger than this is read up to here (the lines before the cap count).
inline constexpr size_t kFeedHistoryCap = 4 * 1024 * 1024;

// The history file of a set: "<set name>.feed" in the program folder.
std::string FeedHistoryName(const std::string& set_name);

// History text: a first line naming the format, then one entry per line, fields separated by
// tabs, "%", tab, CR and LF in a field percent-encoded. Written in format 2 (the ID3v1 record,
// then what the tag reader read); format 1 (the ID3v1 record alone) is still read.
std::string FormatFeedHistory(const std::vector<ChangeEvent>& events);
// Reads history text of either format as untrusted input: lines that are not well-formed are
// skipped.
std::vector<ChangeEvent> ParseFeedHistory(std::string_view text);

// Reads the history file `name` of the folder dir_fd: a regular file, not through a link, never
// blocking, at most kFeedHistoryCap bytes; anything else reads as no history.
std::vector<ChangeEvent> ReadFeedHistoryAt(int dir_fd, const std::string& name);

// This run's entries first, then the earlier ones, without repeating an id; the first `limit`.
std::vector<ChangeEvent> MergeFeedHistory(std::vector<ChangeEvent> this_run,
                                          const std::vector<ChangeEvent>& earlier,
                                          size_t limit = kFeedEntryLimit);

// The entry's path below the root, "/" between names (a folder without a trailing "/").
std::string EventPath(const ChangeEvent& event);

}  // namespace veldra

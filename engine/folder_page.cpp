#include "engine/folder_page.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <new>
#include <thread>
#include <vector>

#include "engine/change_mark.h"
#include "engine/file_tag_rows.h"
#include "engine/folder_snapshot.h"
#include "engine/folder_tags.h"
#include "engine/page_head.h"
#include "engine/playlist.h"
#include "engine/table_rows.h"
#include "engine/whats_new_page.h"
#include "platform/content_digest.h"
#include "platform/file_system.h"
#include "platform/file_tail.h"
#include "platform/worker_threads.h"
#include "tags/id3v1.h"

namespace veldra {

namespace {

// Adds the rows of files[begin, end). Tags are read a batch of files at a time, so that reads
// the cache cannot serve overlap.
void AddFileRows(PageBuffer& page, const RowWriter& rows, const PageContext& context,
                 const std::string& folder, int dir_fd, const EntryTable& files, size_t begin,
                 size_t end, const SnapshotIndex& index, FolderTags* cached) {
  // Tags beyond the classic ID3v1 tail take a reader of their own (engine/file_tag_rows.cpp).
  if (UsesTagReader(context.set)) {
    AddFileRowsReadingTags(page, rows, context, folder, files, begin, end, index, cached);
    return;
  }
  const EnvironmentSet& set = context.set;
  const bool marks = context.run.MarksWanted;
  const MarkSettings mark_settings{set.ShowNewMark, set.ShowUpdateMark, set.NewMarkText,
                                   set.UpdateMarkText};
  const bool show_tags = RowsShowTags(set);
  std::vector<FileTail> tails;
  std::vector<size_t> tail_of(kTailBatch);  // per file of the batch: its index in tails, or none
  constexpr size_t kNoTail = static_cast<size_t>(-1);
  for (size_t start = begin; start < end; start += kTailBatch) {
    const size_t count = std::min(kTailBatch, end - start);
    tails.clear();
    for (size_t i = 0; i < count; ++i) {
      const std::string& name = files[start + i].name;
      tail_of[i] = kNoTail;
      if (!show_tags || !IsMp3Name(name)) continue;
      tail_of[i] = tails.size();
      const Entry& entry = files[start + i];
      tails.push_back(
          FileTail{name, entry.size, {}, {}, entry.is_link, entry.id.device, entry.id.inode});
    }
    ReadTailsCached(cached, dir_fd, folder, tails, kId3BlockSize, context.reads);
    for (size_t i = 0; i < count; ++i) {
      const Entry& entry = files[start + i];
      const std::string_view mark =
          marks ? ChangeMarkText(EntryKind::kFile, index, entry.name, entry.time_text,
                                 entry.size_text, mark_settings)
                : std::string_view();
      // A tag that cannot be read leaves the record fresh: its cells read "<BR>".
      Id3Tag tag;
      if (tail_of[i] != kNoTail) DecodeId3Tail(tails[tail_of[i]], tag);
      rows.AddFileRow(page, entry.name, entry.time_text, entry.size, mark, tag);
    }
  }
}

}  // namespace

namespace {

std::string BuildPage(const PageContext& context, std::string_view folder, int dir_fd,
                      const EntryTable& folders, const EntryTable& files,
                      const FolderSnapshot& previous, ByteSpan* date_time = nullptr,
                      FolderTags* cached = nullptr) {
  const EnvironmentSet& set = context.set;
  const bool marks = context.run.MarksWanted;
  const MarkSettings mark_settings{set.ShowNewMark, set.ShowUpdateMark, set.NewMarkText,
                                   set.UpdateMarkText};
  const SnapshotIndex index(previous);
  const std::string folder_path(folder);

  PageBuffer page;
  WritePageHead(page, context, folder, folders.size(), files.size());
  RowWriter rows(context, folder);
  for (const Entry& entry : folders) {
    const std::string_view mark = marks ? ChangeMarkText(EntryKind::kFolder, index, entry.name,
                                                         entry.time_text, "", mark_settings)
                                        : std::string_view();
    rows.AddFolderRow(page, entry.name, mark);
  }
  page.AddLine(kFoldersToFiles);
  // A large folder's file rows are built in parts side by side, then joined in order.
  const RunTuning& tuning = context.tuning;
  const size_t parts = files.size() > tuning.split_files_over
                           ? std::clamp<size_t>(tuning.row_parts, 1, files.size())
                           : 1;
  const auto part_begin = [&](size_t part) { return files.size() * part / parts; };
  std::vector<PageBuffer> part_rows(parts);
  std::vector<char> part_out_of_memory(parts, 0);  // thrown again on the building thread
  const auto build_part = [&](size_t part) {
    try {
      AddFileRows(part == 0 ? page : part_rows[part], rows, context, folder_path, dir_fd, files,
                  part_begin(part), part_begin(part + 1), index, cached);
    } catch (const std::bad_alloc&) {
      part_out_of_memory[part] = 1;
    }
  };
  std::vector<std::thread> helpers =
      StartThreads(parts - 1, [&build_part](size_t i) { build_part(i + 1); });
  build_part(0);
  for (size_t part = helpers.size() + 1; part < parts; ++part) build_part(part);
  JoinThreads(helpers);
  for (size_t part = 0; part < parts; ++part) {
    if (part_out_of_memory[part]) throw std::bad_alloc();
    if (part > 0) page.Append(part_rows[part].Take());
  }
  WriteTableEnd(page, context.run);
  if (date_time != nullptr) *date_time = page.date_time();
  return page.Take();
}

}  // namespace

std::string BuildFolderPage(const PageContext& context, std::string_view folder,
                            const EntryTable& folders, const EntryTable& files,
                            const FolderSnapshot& previous) {
  return BuildPage(context, folder, -1, folders, files, previous);
}

void WriteTableEnd(PageBuffer& page, const RunContext& run) {
  page.AddLine("</TABLE>");
  for (const std::string& line : run.FooterLines) page.AddLine(line);
}

FolderPageFiles PrepareFolderPage(const PageContext& context, FolderTree& tree, size_t index,
                                  const std::string& folder, const EntryTable& folders,
                                  const EntryTable& files) {
  const RunContext& run = context.run;
  FolderPageFiles out;
  out.folder = folder;
  out.tree = &tree;
  out.index = index;
  out.page_name = run.OutputFileName;
  out.snapshot_name = run.OutputFileName + ".csv";
  out.marks_wanted = run.MarksWanted;
  const FolderHandle dir = tree.OpenHandle(index);
  out.skip_same = context.set.SkipSame;
  // SKIPSAME: the folder's page records come with its tag records, in one query.
  TagCache::FolderRecords records;
  const bool looked_up = out.skip_same && dir.ok() && run.tag_cache != nullptr;
  if (looked_up) {
    records = run.tag_cache->LookupFolder(folder);
    out.digests = std::make_unique<OwnFileDigests>(run.tag_cache, folder, std::move(records.pages));
  }
  // The snapshot is made from the listing alone. When the old one is known to hold the same
  // bytes, those are its records, and it need not be read.
  FolderSnapshot previous;
  if (run.MarksWanted) {
    out.snapshot = FormatSnapshot(folders, files);
    bool known_same = false;
    if (out.digests != nullptr) {
      out.snapshot_digest = ContentDigest(out.snapshot);
      known_same =
          out.digests->Holds(dir.access(), dir.get(), out.snapshot_name, out.snapshot_digest);
    }
    // A folder that cannot be opened again is reported when its page is written.
    if (known_same)
      previous = ParseSnapshot(out.snapshot);
    else if (dir.ok())
      previous = ReadSnapshotAt(dir.get(), out.snapshot_name, folders.size() + files.size());
  }
  FolderTags cached(context, folder, files, looked_up ? &records.files : nullptr);
  out.page = BuildPage(context, folder, dir.ok() ? dir.get() : -1, folders, files, previous,
                       &out.page_date_time, &cached);
  if (out.digests != nullptr) out.page_digest = ContentDigest(out.page, out.page_date_time);
  if (context.set.Playlist) {
    out.playlist_wanted = true;
    out.playlist_name = PlaylistName(run.OutputFileName);
    out.playlist = BuildFolderPlaylist(context, folder, dir.ok() ? dir.get() : -1, files, &cached);
  }
  cached.Finish();
  if (context.set.Feed)
    out.changes =
        CollectFolderChanges(context, dir.ok() ? dir.get() : -1, folder, folders, files, previous);
  return out;
}

}  // namespace veldra

#include "engine/folder_page.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <system_error>
#include <thread>

#include "engine/change_mark.h"
#include "engine/file_tag_rows.h"
#include "engine/folder_snapshot.h"
#include "engine/folder_tags.h"
#include "engine/page_head.h"
#include "engine/playlist.h"
#include "engine/table_rows.h"
#include "engine/whats_new_page.h"
#include "platform/file_system.h"
#include "platform/file_tail.h"
#include "tags/id3v1.h"

namespace veldra {

namespace {

// A folder with more files than this has its file rows built by two threads, halves apiece.
constexpr size_t kFilesToSplit = 8192;

// Adds the rows of files[begin, end). Tags are read a batch of files at a time, so that reads
// the cache cannot serve overlap.
void AddFileRows(PageBuffer& page, const PageContext& context, const std::string& folder,
                 int dir_fd, const EntryTable& files, size_t begin, size_t end,
                 const SnapshotIndex& index, FolderTags* cached) {
  // Tags beyond the classic ID3v1 tail take a reader of their own (engine/file_tag_rows.cpp).
  if (UsesTagReader(context.set)) {
    AddFileRowsReadingTags(page, context, folder, files, begin, end, index, cached);
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
    ReadTailsCached(cached, dir_fd, folder, tails, kId3BlockSize);
    for (size_t i = 0; i < count; ++i) {
      const Entry& entry = files[start + i];
      const std::string mark = marks ? ChangeMark(EntryKind::kFile, index, entry.name,
                                                  entry.time_text, entry.size_text, mark_settings)
                                     : std::string();
      // A tag that cannot be read leaves the record fresh: its cells read "<BR>".
      Id3Tag tag;
      if (tail_of[i] != kNoTail) DecodeId3Tail(tails[tail_of[i]], tag);
      WriteFileRows(page, context, folder, entry.name, entry.time_text, entry.size, mark, tag);
    }
  }
}

}  // namespace

namespace {

std::string BuildPage(const PageContext& context, std::string_view folder, int dir_fd,
                      const EntryTable& folders, const EntryTable& files,
                      const FolderSnapshot& previous, FolderTags* cached = nullptr) {
  const EnvironmentSet& set = context.set;
  const bool marks = context.run.MarksWanted;
  const MarkSettings mark_settings{set.ShowNewMark, set.ShowUpdateMark, set.NewMarkText,
                                   set.UpdateMarkText};
  const SnapshotIndex index(previous);
  const std::string folder_path(folder);

  PageBuffer page;
  WritePageHead(page, context, folder, folders.size(), files.size());
  for (const Entry& entry : folders) {
    const std::string mark = marks ? ChangeMark(EntryKind::kFolder, index, entry.name,
                                                entry.time_text, "", mark_settings)
                                   : std::string();
    WriteFolderRows(page, context, folder, entry.name, mark);
  }
  page.AddLine(kFoldersToFiles);
  const size_t half = files.size() > kFilesToSplit ? files.size() / 2 : files.size();
  PageBuffer second_half;
  std::thread helper;
  bool helper_out_of_memory = false;
  if (half < files.size()) {
    try {
      helper = std::thread([&] {
        try {
          AddFileRows(second_half, context, folder_path, dir_fd, files, half, files.size(), index,
                      cached);
        } catch (const std::bad_alloc&) {
          helper_out_of_memory = true;  // thrown again on the building thread
        }
      });
    } catch (const std::system_error&) {
    }
  }
  try {
    AddFileRows(page, context, folder_path, dir_fd, files, 0, half, index, cached);
  } catch (const std::bad_alloc&) {
    if (helper.joinable()) helper.join();
    throw;
  }
  if (helper.joinable()) {
    helper.join();
    if (helper_out_of_memory) throw std::bad_alloc();
    page.Append(second_half.Take());
  } else {
    AddFileRows(page, context, folder_path, dir_fd, files, half, files.size(), index, cached);
  }
  WriteTableEnd(page, context.run);
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

namespace {

// The folder's playlist: replaced when it holds audio, our old one removed when it no longer
// does; a file of that name that is not ours is left alone.
void WritePlaylistAt(int dir_fd, const FolderPageFiles& files, FolderPageResult& result) {
  if (files.playlist.empty()) {
    if (IsOwnFileAt(dir_fd, files.playlist_name, kPlaylistFirstLines))
      RemoveFileAt(dir_fd, files.playlist_name);
    return;
  }
  if (!MayReplaceOwnFileAt(dir_fd, files.playlist_name, kPlaylistFirstLines)) {
    result.playlist_not_ours = true;
    return;
  }
  result.playlist_failed = !ReplaceFileAt(dir_fd, files.playlist_name, files.playlist);
}

}  // namespace

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
  const ScopedFd dir(tree.Open(index));
  // A folder that cannot be opened again is reported when its page is written.
  const FolderSnapshot previous =
      run.MarksWanted && dir.ok()
          ? ReadSnapshotAt(dir.get(), out.snapshot_name, folders.size() + files.size())
          : FolderSnapshot();
  FolderTags cached(context, folder, files);
  out.page =
      BuildPage(context, folder, dir.ok() ? dir.get() : -1, folders, files, previous, &cached);
  if (run.MarksWanted) out.snapshot = FormatSnapshot(folders, files);
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

FolderPageResult WriteFolderPageFiles(const FolderPageFiles& files, SetAsideFiles* aside) {
  FolderPageResult result;
  if (files.tree == nullptr) return result;
  const ScopedFd dir(files.tree->Open(files.index));
  if (!dir.ok()) {
    result.folder_gone = true;
    result.error = errno;
    return result;
  }
  FileTime modified;
  const bool have_time = ModifiedTimeAt(dir.get(), modified);

  // Replaces a file, setting the old one aside when asked to.
  const auto replace = [&](const std::string& name, const std::string& bytes, FileIdentity* id) {
    std::string old;
    const bool replaced =
        ReplaceFileAt(dir.get(), name, bytes, aside != nullptr ? &old : nullptr, id);
    if (!replaced) result.error = errno;
    if (aside != nullptr && !old.empty()) aside->paths.push_back(std::move(old));
    return replaced;
  };

  result.page_written = replace(files.page_name, files.page, &result.page);
  if (result.page_written) {
    if (files.marks_wanted) {
      result.snapshot_written = replace(files.snapshot_name, files.snapshot, nullptr);
    } else {
      std::string old;
      result.snapshot_written =
          RemoveFileAt(dir.get(), files.snapshot_name, aside != nullptr ? &old : nullptr);
      if (!result.snapshot_written) result.error = errno;
      if (aside != nullptr && !old.empty()) aside->paths.push_back(std::move(old));
    }
  }
  if (result.page_written && files.playlist_wanted) WritePlaylistAt(dir.get(), files, result);
  if (have_time) RestoreModifiedTimeAt(dir.get(), modified);
  if (aside != nullptr) {
    aside->folder = files.folder;
    aside->tree = files.tree;
    aside->index = files.index;
    aside->folder_time = modified;
    aside->have_folder_time = have_time;
  }
  return result;
}

void RemoveSetAside(const SetAsideFiles& aside) {
  if (aside.paths.empty() || aside.tree == nullptr) return;
  const ScopedFd dir(aside.tree->Open(aside.index));
  if (!dir.ok()) return;  // the next run removes them as leftovers
  for (const std::string& name : aside.paths) unlinkat(dir.get(), name.c_str(), 0);
  if (aside.have_folder_time) RestoreModifiedTimeAt(dir.get(), aside.folder_time);
}

FolderPageResult WriteFolderPage(const PageContext& context, const std::string& folder,
                                 const EntryTable& folders, const EntryTable& files) {
  FolderTree tree(2);
  const size_t root = tree.AddRoot(folder);
  if (root == FolderTree::kNone) return {};
  return WriteFolderPageFiles(PrepareFolderPage(context, tree, root, folder, folders, files));
}

}  // namespace veldra

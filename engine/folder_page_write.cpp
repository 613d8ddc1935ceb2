#include "engine/folder_page_write.h"

#include <errno.h>

#include "engine/playlist.h"
#include "engine/whats_new_page.h"
#include "platform/folder_access.h"

namespace veldra {
namespace {

// The folder's playlist: replaced when it holds audio, our old one removed when it no longer
// does; a file of that name that is not ours is left alone. False when nothing in the folder was
// changed.
bool WritePlaylistAt(const FolderHandle& dir, const FolderPageFiles& files,
                     FolderPageResult& result) {
  FolderAccess& folders = dir.access();
  if (files.playlist.empty()) {
    if (!IsOwnFileAt(folders, dir.get(), files.playlist_name, kPlaylistFirstLines)) return false;
    folders.RemoveAt(dir.get(), files.playlist_name, nullptr);
    return true;
  }
  if (files.skip_same &&
      folders.HoldsSameAt(dir.get(), files.playlist_name, files.playlist, {}, nullptr))
    return false;
  if (!MayReplaceOwnFileAt(folders, dir.get(), files.playlist_name, kPlaylistFirstLines)) {
    result.playlist_not_ours = true;
    return false;
  }
  result.playlist_failed =
      !folders.ReplaceAt(dir.get(), files.playlist_name, files.playlist, nullptr, nullptr, nullptr);
  return true;
}

}  // namespace

FolderPageResult WriteFolderPageFiles(const FolderPageFiles& files, SetAsideFiles* aside) {
  FolderPageResult result;
  if (files.tree == nullptr) return result;
  const FolderHandle dir = files.tree->OpenHandle(files.index);
  if (!dir.ok()) {
    result.folder_gone = true;
    result.error = errno;
    return result;
  }
  FolderAccess& folders = dir.access();
  FolderTimeKeeper folder_time(folders, dir.get());

  // Replaces a file, setting the old one aside when asked to; with SKIPSAME a file that holds
  // the same bytes already stays (left_alone): known so from its recorded digest, or found so
  // by reading it. What the file holds afterwards is recorded with its digest.
  bool touched = false;
  OwnFileDigests* digests = files.digests.get();
  const auto replace = [&](const std::string& name, const std::string& bytes, ByteSpan ignored,
                           const std::string& digest, FileIdentity* id, bool& left_alone) {
    FileIdentity identity;
    if (files.skip_same && digests != nullptr &&
        digests->Holds(folders, dir.get(), name, digest, &identity)) {
      if (id != nullptr) *id = identity;
      left_alone = true;
      return true;
    }
    if (files.skip_same && folders.HoldsSameAt(dir.get(), name, bytes, ignored, &identity)) {
      if (digests != nullptr) digests->Note(folders, dir.get(), name, digest, identity);
      if (id != nullptr) *id = identity;
      left_alone = true;
      return true;
    }
    touched = true;
    std::string old;
    const bool replaced = folders.ReplaceAt(dir.get(), name, bytes,
                                            aside != nullptr ? &old : nullptr, &identity, nullptr);
    if (!replaced) result.error = errno;
    if (replaced && digests != nullptr) digests->Note(folders, dir.get(), name, digest, identity);
    if (replaced && id != nullptr) *id = identity;
    if (aside != nullptr && !old.empty()) aside->paths.push_back(std::move(old));
    return replaced;
  };

  // Gathering: a page whose gathered page would be the same is not written and deleted again,
  // when no entry holds its name in the folder (a page left by a stopped run is written over).
  SkippedPage skipped;
  EntryStat page_stat;
  if (files.skip_same && files.guess != nullptr &&
      !folders.StatAt(dir.get(), files.page_name, page_stat) && errno == ENOENT &&
      files.guess->Matches(files.folder, files.page, files.page_date_time, skipped)) {
    skipped.folder = files.index;
    result.skipped = std::move(skipped);
    result.page_written = true;
    result.page_left_alone = true;
  } else {
    result.page_written = replace(files.page_name, files.page, files.page_date_time,
                                  files.page_digest, &result.page, result.page_left_alone);
  }
  if (result.page_written) {
    if (files.marks_wanted) {
      result.snapshot_written = replace(files.snapshot_name, files.snapshot, {},
                                        files.snapshot_digest, nullptr, result.snapshot_left_alone);
    } else {
      touched = true;
      std::string old;
      result.snapshot_written =
          folders.RemoveAt(dir.get(), files.snapshot_name, aside != nullptr ? &old : nullptr);
      if (!result.snapshot_written) result.error = errno;
      if (aside != nullptr && !old.empty()) aside->paths.push_back(std::move(old));
    }
  }
  if (result.page_written && files.playlist_wanted && WritePlaylistAt(dir, files, result))
    touched = true;
  if (digests != nullptr) digests->Finish();
  // A folder nothing was written into keeps its times untouched (its change time included).
  if (touched)
    folder_time.Restore();
  else
    folder_time.Forget();
  if (aside != nullptr) {
    aside->folder = files.folder;
    aside->tree = files.tree;
    aside->index = files.index;
    aside->folder_time = folder_time.time();
    aside->have_folder_time = folder_time.have_time();
  }
  return result;
}

void RemoveSetAside(const SetAsideFiles& aside) {
  if (aside.paths.empty() || aside.tree == nullptr) return;
  const FolderHandle dir = aside.tree->OpenHandle(aside.index);
  if (!dir.ok()) return;  // the next run removes them as leftovers
  for (const std::string& name : aside.paths) dir.access().UnlinkAt(dir.get(), name);
  if (aside.have_folder_time) dir.access().RestoreTime(dir.get(), aside.folder_time);
}

FolderPageResult WriteFolderPage(const PageContext& context, const std::string& folder,
                                 const EntryTable& folders, const EntryTable& files) {
  FolderTree tree(2);
  const size_t root = tree.AddRoot(folder);
  if (root == FolderTree::kNone) return {};
  return WriteFolderPageFiles(PrepareFolderPage(context, tree, root, folder, folders, files));
}

}  // namespace veldra

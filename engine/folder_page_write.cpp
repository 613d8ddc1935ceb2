#include "engine/folder_page_write.h"

#include <errno.h>

#include "engine/playlist.h"
#include "engine/whats_new_page.h"
#include "platform/folder_access.h"

namespace veldra {
namespace {

// The folder's playlist: replaced when it holds audio, our old one removed when it no longer
// does; a file of that name that is not ours is left alone.
void WritePlaylistAt(const FolderHandle& dir, const FolderPageFiles& files,
                     FolderPageResult& result) {
  FolderAccess& folders = dir.access();
  if (files.playlist.empty()) {
    if (IsOwnFileAt(folders, dir.get(), files.playlist_name, kPlaylistFirstLines))
      folders.RemoveAt(dir.get(), files.playlist_name, nullptr);
    return;
  }
  if (!MayReplaceOwnFileAt(folders, dir.get(), files.playlist_name, kPlaylistFirstLines)) {
    result.playlist_not_ours = true;
    return;
  }
  result.playlist_failed =
      !folders.ReplaceAt(dir.get(), files.playlist_name, files.playlist, nullptr, nullptr, nullptr);
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

  // Replaces a file, setting the old one aside when asked to.
  const auto replace = [&](const std::string& name, const std::string& bytes, FileIdentity* id) {
    std::string old;
    const bool replaced =
        folders.ReplaceAt(dir.get(), name, bytes, aside != nullptr ? &old : nullptr, id, nullptr);
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
          folders.RemoveAt(dir.get(), files.snapshot_name, aside != nullptr ? &old : nullptr);
      if (!result.snapshot_written) result.error = errno;
      if (aside != nullptr && !old.empty()) aside->paths.push_back(std::move(old));
    }
  }
  if (result.page_written && files.playlist_wanted) WritePlaylistAt(dir, files, result);
  folder_time.Restore();
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

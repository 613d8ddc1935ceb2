#pragma once
// Writing one folder's page and snapshot, as PrepareFolderPage built them, through the handles
// of the walk's folder tree (and so through its FolderAccess).

#include <optional>
#include <string>
#include <vector>

#include "engine/entry_table.h"
#include "engine/folder_page.h"
#include "engine/page_context.h"
#include "platform/file_system.h"
#include "platform/folder_tree.h"

namespace veldra {

struct FolderPageResult {
  bool page_written = false;
  bool snapshot_written = false;  // or, when marks are not wanted, the old one removed
  bool folder_gone = false;       // the folder could not be opened as the one listed
  int error = 0;                  // errno of the call that failed, when one did
  FileIdentity page;              // the written page, when page_written
  bool page_left_alone = false;   // SKIPSAME: the old page held the same bytes and stays
  bool snapshot_left_alone = false;
  // SKIPSAME when gathering: the page was not written, its old gathered page holds it.
  std::optional<SkippedPage> skipped;
  bool playlist_not_ours = false;  // a file of the playlist's name that is not ours: left alone
  bool playlist_failed = false;
};

// The old page and snapshot of a folder, set aside under hidden names by WriteFolderPageFiles,
// and the folder's time to put back once they are deleted.
struct SetAsideFiles {
  std::string folder;
  FolderTree* tree = nullptr;
  size_t index = FolderTree::kNone;
  std::vector<std::string> paths;  // names within the folder
  FileTime folder_time;
  bool have_folder_time = false;
};

// Replaces the page (and the snapshot when marks are wanted, or removes the old snapshot when
// not). With skip_same, a file that already holds the new bytes (the page: apart from the
// date-time text of its date line) and is ours as HoldsSameBytesAt says is left as it is. Each
// file is replaced atomically; when the page cannot be written the old page and
// snapshot stay as they were. The folder's last-write time is put back afterwards, so the next
// run does not see the run's own writes as a change. Safe to call from any thread.
// With aside, the old files are not freed but set aside (see ReplaceFileSettingAside) and
// listed there, for RemoveSetAside to delete later, off the writer's path.
FolderPageResult WriteFolderPageFiles(const FolderPageFiles& files, SetAsideFiles* aside = nullptr);

// Deletes set-aside files, then puts the folder's time back.
void RemoveSetAside(const SetAsideFiles& aside);

// PrepareFolderPage and WriteFolderPageFiles in one, on the file system.
FolderPageResult WriteFolderPage(const PageContext& context, const std::string& folder,
                                 const EntryTable& folders, const EntryTable& files);

}  // namespace veldra

#pragma once
// Writing one folder's page and snapshot.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/entry_table.h"
#include "engine/feed_history.h"
#include "engine/folder_snapshot.h"
#include "engine/gathered_page.h"
#include "engine/page_context.h"
#include "platform/file_system.h"
#include "platform/folder_tree.h"

namespace veldra {

// The page of a folder, built in memory: head, folder rows, the folder-to-file marker, file
// rows, table end and footer. Marks come from previous (empty when marks are not wanted).
std::string BuildFolderPage(const PageContext& context, std::string_view folder,
                            const EntryTable& folders, const EntryTable& files,
                            const FolderSnapshot& previous);

// "</TABLE>" and the footer lines.
void WriteTableEnd(PageBuffer& page, const RunContext& run);

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

// One folder's page and snapshot as built, ready to be written.
struct FolderPageFiles {
  std::string folder;
  FolderTree* tree = nullptr;  // the folder is tree's folder `index`; its writes go through it
  size_t index = FolderTree::kNone;
  std::string page_name;  // within the folder
  std::string snapshot_name;
  std::string page;
  ByteSpan page_date_time;  // the date-time text of the page's date line
  std::string snapshot;     // written when marks_wanted; otherwise the old snapshot is removed
  bool skip_same = false;   // SKIPSAME: a file whose old bytes are the same is left alone
  // SKIPSAME when gathering (may be null): a page whose old gathered page holds it already is not
  // written into the folder at all.
  const GatheredPageGuess* guess = nullptr;
  bool marks_wanted = false;
  std::vector<ChangeEvent> changes;  // with FEED: the entries found new or updated
  bool playlist_wanted = false;      // PLAYLIST: written after the page, or removed when empty
  std::string playlist_name;
  std::string playlist;
};

// Reads the folder's previous snapshot (when marks are wanted) and builds its page and new
// snapshot.
// The folder is tree's folder `index` (folder its path, for links and the report).
FolderPageFiles PrepareFolderPage(const PageContext& context, FolderTree& tree, size_t index,
                                  const std::string& folder, const EntryTable& folders,
                                  const EntryTable& files);

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
// date-time text of its date line) and is ours as HoldsSameBytesAt says is left as it is. Each file
// is replaced atomically; when the page cannot be written the old page and snapshot stay as they
// were. The folder's last-write time is put back afterwards, so the next run does not see the run's
// own writes as a change. Safe to call from any thread. With aside, the old files are not freed but
// set aside (see ReplaceFileSettingAside) and listed there, for RemoveSetAside to delete later, off
// the writer's path.
FolderPageResult WriteFolderPageFiles(const FolderPageFiles& files, SetAsideFiles* aside = nullptr);

// Deletes set-aside files, then puts the folder's time back.
void RemoveSetAside(const SetAsideFiles& aside);

// PrepareFolderPage and WriteFolderPageFiles in one.
FolderPageResult WriteFolderPage(const PageContext& context, const std::string& folder,
                                 const EntryTable& folders, const EntryTable& files);

}  // namespace veldra

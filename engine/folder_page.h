#pragma once
// Building one folder's page and snapshot in memory (engine/folder_page_write.h writes them).

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/entry_table.h"
#include "engine/feed_history.h"
#include "engine/folder_snapshot.h"
#include "engine/gathered_page.h"
#include "engine/own_file_digests.h"
#include "engine/page_context.h"
#include "platform/folder_tree.h"

namespace veldra {

// The page of a folder, built in memory: head, folder rows, the folder-to-file marker, file
// rows, table end and footer. Marks come from previous (empty when marks are not wanted).
std::string BuildFolderPage(const PageContext& context, std::string_view folder,
                            const EntryTable& folders, const EntryTable& files,
                            const FolderSnapshot& previous);

// "</TABLE>" and the footer lines.
void WriteTableEnd(PageBuffer& page, const RunContext& run);

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
  // SKIPSAME with the tag cache: the digests of the page and snapshot (ContentDigest, the page's
  // without its date-time text) and what the cache recorded of the folder's old ones. A file
  // the records do not vouch for is compared by its bytes, and what it then holds is recorded.
  std::unique_ptr<OwnFileDigests> digests;
  std::string page_digest;
  std::string snapshot_digest;
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

}  // namespace veldra

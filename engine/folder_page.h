#pragma once
// Writing one folder's page and snapshot.

#include <string>
#include <string_view>

#include "engine/entry_table.h"
#include "engine/folder_snapshot.h"
#include "engine/page_context.h"

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
};

// One folder's page and snapshot as built, ready to be written.
struct FolderPageFiles {
  std::string folder;
  std::string page_path;
  std::string snapshot_path;
  std::string page;
  std::string snapshot;  // written when marks_wanted; otherwise the old snapshot is removed
  bool marks_wanted = false;
};

// Reads the folder's previous snapshot (when marks are wanted) and builds its page and new
// snapshot.
FolderPageFiles PrepareFolderPage(const PageContext& context, const std::string& folder,
                                  const EntryTable& folders, const EntryTable& files);

// Replaces the page (and the snapshot when marks are wanted, or removes the old snapshot when
// not). Each file is replaced atomically; when the page cannot be written the old page and
// snapshot stay as they were. The folder's last-write time is put back afterwards, so the next
// run does not see the run's own writes as a change. Safe to call from any thread.
FolderPageResult WriteFolderPageFiles(const FolderPageFiles& files);

// PrepareFolderPage and WriteFolderPageFiles in one.
FolderPageResult WriteFolderPage(const PageContext& context, const std::string& folder,
                                 const EntryTable& folders, const EntryTable& files);

}  // namespace veldra

#include "engine/folder_page.h"

#include "engine/change_mark.h"
#include "engine/folder_snapshot.h"
#include "engine/page_head.h"
#include "engine/table_rows.h"
#include "platform/file_system.h"

namespace veldra {

std::string BuildFolderPage(const PageContext& context, std::string_view folder,
                            const EntryTable& folders, const EntryTable& files,
                            const FolderSnapshot& previous) {
  const EnvironmentSet& set = context.set;
  const bool marks = context.run.MarksWanted;
  const MarkSettings mark_settings{set.ShowNewMark, set.ShowUpdateMark, set.NewMarkText,
                                   set.UpdateMarkText};
  const SnapshotIndex index(previous);

  PageBuffer page;
  WritePageHead(page, context, folder, folders.size(), files.size());
  for (const Entry& entry : folders) {
    const std::string mark =
        marks ? ChangeMark(EntryKind::kFolder, index, entry.name, entry.time_text, "",
                           mark_settings)
              : std::string();
    WriteFolderRows(page, context, folder, entry.name, mark);
  }
  page.AddLine(kFoldersToFiles);
  for (const Entry& entry : files) {
    const std::string mark =
        marks ? ChangeMark(EntryKind::kFile, index, entry.name, entry.time_text,
                           entry.size_text, mark_settings)
              : std::string();
    WriteFileRows(page, context, folder, entry.name, entry.time_text, entry.size, mark);
  }
  WriteTableEnd(page, context.run);
  return page.bytes();
}

void WriteTableEnd(PageBuffer& page, const RunContext& run) {
  page.AddLine("</TABLE>");
  for (const std::string& line : run.FooterLines) page.AddLine(line);
}

FolderPageResult WriteFolderPage(const PageContext& context, const std::string& folder,
                                 const EntryTable& folders, const EntryTable& files) {
  const RunContext& run = context.run;
  const std::string page_path = folder + run.OutputFileName;
  const std::string snapshot_path = page_path + ".csv";

  const FolderSnapshot previous = run.MarksWanted ? ReadSnapshot(snapshot_path) : FolderSnapshot();
  const std::string page = BuildFolderPage(context, folder, folders, files, previous);

  FolderId id;
  FileTime modified;
  const bool have_time = StatFolder(folder, id, modified);

  FolderPageResult result;
  result.page_written = ReplaceFile(page_path, page);
  if (result.page_written) {
    if (run.MarksWanted) {
      result.snapshot_written = ReplaceFile(snapshot_path, FormatSnapshot(folders, files));
    } else {
      result.snapshot_written = DeleteFile(snapshot_path) || !FileExists(snapshot_path);
    }
  }
  if (have_time) RestoreModifiedTime(folder, modified);
  return result;
}

}  // namespace veldra

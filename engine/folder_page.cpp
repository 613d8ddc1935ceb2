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
    const std::string mark = marks ? ChangeMark(EntryKind::kFolder, index, entry.name,
                                                entry.time_text, "", mark_settings)
                                   : std::string();
    WriteFolderRows(page, context, folder, entry.name, mark);
  }
  page.AddLine(kFoldersToFiles);
  for (const Entry& entry : files) {
    const std::string mark = marks ? ChangeMark(EntryKind::kFile, index, entry.name,
                                                entry.time_text, entry.size_text, mark_settings)
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

FolderPageFiles PrepareFolderPage(const PageContext& context, const std::string& folder,
                                  const EntryTable& folders, const EntryTable& files) {
  const RunContext& run = context.run;
  FolderPageFiles out;
  out.folder = folder;
  out.page_path = folder + run.OutputFileName;
  out.snapshot_path = out.page_path + ".csv";
  out.marks_wanted = run.MarksWanted;
  const FolderSnapshot previous =
      run.MarksWanted ? ReadSnapshot(out.snapshot_path) : FolderSnapshot();
  out.page = BuildFolderPage(context, folder, folders, files, previous);
  if (run.MarksWanted) out.snapshot = FormatSnapshot(folders, files);
  return out;
}

FolderPageResult WriteFolderPageFiles(const FolderPageFiles& files) {
  FolderId id;
  FileTime modified;
  const bool have_time = StatFolder(files.folder, id, modified);

  FolderPageResult result;
  result.page_written = ReplaceFile(files.page_path, files.page);
  if (result.page_written) {
    if (files.marks_wanted) {
      result.snapshot_written = ReplaceFile(files.snapshot_path, files.snapshot);
    } else {
      result.snapshot_written = DeleteFile(files.snapshot_path) || !FileExists(files.snapshot_path);
    }
  }
  if (have_time) RestoreModifiedTime(files.folder, modified);
  return result;
}

FolderPageResult WriteFolderPage(const PageContext& context, const std::string& folder,
                                 const EntryTable& folders, const EntryTable& files) {
  return WriteFolderPageFiles(PrepareFolderPage(context, folder, folders, files));
}

}  // namespace veldra

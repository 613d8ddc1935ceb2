#include "engine/folder_page.h"

#include <algorithm>
#include <functional>
#include <system_error>
#include <thread>

#include "engine/change_mark.h"
#include "engine/file_tag_rows.h"
#include "engine/folder_snapshot.h"
#include "engine/page_head.h"
#include "engine/table_rows.h"
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
                 const EntryTable& files, size_t begin, size_t end, const SnapshotIndex& index) {
  // Tags beyond the classic ID3v1 tail take a reader of their own (engine/file_tag_rows.cpp).
  if (UsesTagReader(context.set)) {
    AddFileRowsReadingTags(page, context, folder, files, begin, end, index);
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
      tails.push_back(FileTail{name, files[start + i].size, {}, {}});
    }
    ReadFileTails(folder, tails, kId3BlockSize);
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

std::string BuildFolderPage(const PageContext& context, std::string_view folder,
                            const EntryTable& folders, const EntryTable& files,
                            const FolderSnapshot& previous) {
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
  if (half < files.size()) {
    try {
      helper = std::thread(AddFileRows, std::ref(second_half), std::cref(context),
                           std::cref(folder_path), std::cref(files), half, files.size(),
                           std::cref(index));
    } catch (const std::system_error&) {
    }
  }
  AddFileRows(page, context, folder_path, files, 0, half, index);
  if (helper.joinable()) {
    helper.join();
    page.Append(second_half.Take());
  } else {
    AddFileRows(page, context, folder_path, files, half, files.size(), index);
  }
  WriteTableEnd(page, context.run);
  return page.Take();
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

FolderPageResult WriteFolderPageFiles(const FolderPageFiles& files, SetAsideFiles* aside) {
  FolderId id;
  FileTime modified;
  const bool have_time = StatFolder(files.folder, id, modified);

  // Replaces a file, setting the old one aside when asked to.
  const auto replace = [aside](const std::string& path, const std::string& bytes) {
    if (aside == nullptr) return ReplaceFile(path, bytes);
    std::string old;
    const bool replaced = ReplaceFileSettingAside(path, bytes, old);
    if (!old.empty()) aside->paths.push_back(std::move(old));
    return replaced;
  };

  FolderPageResult result;
  result.page_written = replace(files.page_path, files.page);
  if (result.page_written) {
    if (files.marks_wanted) {
      result.snapshot_written = replace(files.snapshot_path, files.snapshot);
    } else {
      std::string old;
      if (aside != nullptr && MoveFileAside(files.snapshot_path, old)) {
        aside->paths.push_back(std::move(old));
        result.snapshot_written = true;
      } else {
        result.snapshot_written =
            DeleteFile(files.snapshot_path) || !FileExists(files.snapshot_path);
      }
    }
  }
  if (have_time) RestoreModifiedTime(files.folder, modified);
  if (aside != nullptr) {
    aside->folder = files.folder;
    aside->folder_time = modified;
    aside->have_folder_time = have_time;
  }
  return result;
}

void RemoveSetAside(const SetAsideFiles& aside) {
  if (aside.paths.empty()) return;
  for (const std::string& path : aside.paths) DeleteFile(path);
  if (aside.have_folder_time) RestoreModifiedTime(aside.folder, aside.folder_time);
}

FolderPageResult WriteFolderPage(const PageContext& context, const std::string& folder,
                                 const EntryTable& folders, const EntryTable& files) {
  return WriteFolderPageFiles(PrepareFolderPage(context, folder, folders, files));
}

}  // namespace veldra

#include "engine/file_tag_rows.h"

#include <algorithm>
#include <functional>
#include <vector>

#include "engine/change_mark.h"
#include "engine/table_rows.h"
#include "platform/read_only_file.h"
#include "platform/read_pool.h"
#include "tags/tag_reader.h"

namespace veldra {
namespace {

// Files whose reads are in flight at once; each holds one open file while it reads.
constexpr size_t kBatch = 64;

}  // namespace

void AddFileRowsReadingTags(PageBuffer& page, const RowWriter& rows, const PageContext& context,
                            const std::string& folder, const EntryTable& files, size_t begin,
                            size_t end, const SnapshotIndex& index, FolderTags* cached) {
  const EnvironmentSet& set = context.set;
  const bool marks = context.run.MarksWanted;
  const MarkSettings mark_settings{set.ShowNewMark, set.ShowUpdateMark, set.NewMarkText,
                                   set.UpdateMarkText};
  const TagReadOptions options = TagOptionsFor(context);
  std::vector<FileTags> tags(kBatch);
  std::vector<ReadOnlyFile> open_files(kBatch);
  std::vector<ByteRanges> records(cached != nullptr ? kBatch : 0);
  std::vector<std::function<void()>> jobs;
  for (size_t start = begin; start < end; start += kBatch) {
    const size_t count = std::min(kBatch, end - start);
    jobs.clear();
    for (size_t i = 0; i < count; ++i) {
      tags[i] = FileTags();
      const std::string& name = files[start + i].name;
      if (!HasTagsToRead(name, options)) continue;
      FileTags* out = &tags[i];
      // What the tag cache holds of the file as listed; read for real when this set needs more.
      if (const ByteRanges* held = cached != nullptr ? cached->Find(name) : nullptr) {
        try {
          if (ReadFileTagsFrom(*held, name, options, *out)) continue;
        } catch (...) {
          *out = FileTags();
        }
      }
      ReadOnlyFile* file = &open_files[i];
      ByteRanges* record = cached != nullptr ? &records[i] : nullptr;
      if (!file->Open(folder + name)) continue;  // not a regular file: empty cells
      // Files the page cache holds are read here at once; the others go to the reader threads,
      // still open, so that their disk reads overlap.
      try {
        if (ReadFileTagsIn(*file, name, options, *out, true, record)) {
          file->Close();
          if (record != nullptr) cached->Put(name, std::move(*record));
          continue;
        }
      } catch (...) {
        *out = FileTags();
        file->Close();
        continue;
      }
      jobs.emplace_back([&name, &options, out, file, record, cached] {
        try {
          ReadFileTagsIn(*file, name, options, *out, false, record);
          file->Close();
          if (record != nullptr) cached->Put(name, std::move(*record));
        } catch (...) {
          *out = FileTags();  // the row stays, with empty tag cells
          file->Close();
        }
      });
    }
    RunReadJobs(context.reads, jobs);
    for (size_t i = 0; i < count; ++i) {
      const Entry& entry = files[start + i];
      const std::string_view mark =
          marks ? ChangeMarkText(EntryKind::kFile, index, entry.name, entry.time_text,
                                 entry.size_text, mark_settings)
                : std::string_view();
      rows.AddFileRow(page, entry.name, entry.time_text, entry.size, mark, tags[i].v1, &tags[i]);
    }
  }
}

}  // namespace veldra

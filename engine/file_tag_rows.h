#pragma once
// File rows whose tags the tag reader reads (TAGS=ALL, another code page, or the play time and
// bitrate columns): a batch of files at a time, their reads side by side.

#include <cstddef>
#include <string>

#include "engine/change_mark.h"
#include "engine/entry_table.h"
#include "engine/folder_tags.h"
#include "engine/page_context.h"
#include "engine/table_rows.h"

namespace veldra {

// Adds the rows of files[begin, end) of folder to page through rows (made for folder), marks
// from index.
void AddFileRowsReadingTags(PageBuffer& page, const RowWriter& rows, const PageContext& context,
                            const std::string& folder, const EntryTable& files, size_t begin,
                            size_t end, const SnapshotIndex& index, FolderTags* cached = nullptr);

}  // namespace veldra

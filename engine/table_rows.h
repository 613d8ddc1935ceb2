#pragma once
// The table rows of a folder page: one line per sub-folder and per file.

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/page_context.h"
#include "tags/id3v1.h"
#include "tags/tag_reader.h"

namespace veldra {

// A size in KiB rounded to a whole number, halves away from zero: "0KB", "1KB" for 600 bytes.
std::string KilobyteText(int64_t size);

// A size in MiB rounded to one decimal, halves away from zero: "(0.0MB)", "(3.3MB)" for 3.25 MiB.
std::string MegabyteText(int64_t size);

// True when file rows show tag cells (ProcessId3 on and a tag column listed): only then are
// tags read.
bool RowsShowTags(const EnvironmentSet& set);

// True when file rows show PLAY TIME or BITRATE (ProcessId3 on and one of them listed).
bool RowsShowStream(const EnvironmentSet& set);

// True when file rows need the tag reader rather than the classic ID3v1 tail: TAGS=ALL or a code
// page other than 932 with a tag column shown, or a stream column shown.
bool UsesTagReader(const EnvironmentSet& set);

// What the tag reader reads for the rows of a run.
TagReadOptions TagOptionsFor(const PageContext& context);

// The row of a file on the page of folder, with the file's tag already read (a fresh record when
// it has none or is no MP3 file, or no tag column is listed).
// With more (what the tag reader read), TAGS=ALL columns come from its fields and the stream
// columns from its stream facts; without it those columns read "<BR>".
std::string FileRowWithTag(const PageContext& context, std::string_view folder,
                           std::string_view name, std::string_view time_text, int64_t size,
                           std::string_view mark, const Id3Tag& tag,
                           const FileTags* more = nullptr);

// The row of a sub-folder named name on the page of folder, linking to the sub-folder's page.
std::string FolderRow(const PageContext& context, std::string_view folder, std::string_view name,
                      std::string_view mark);

// Add the rows to a page.
void WriteFileRows(PageBuffer& page, const PageContext& context, std::string_view folder,
                   std::string_view name, std::string_view time_text, int64_t size,
                   std::string_view mark, const Id3Tag& tag, const FileTags* more = nullptr);
void WriteFolderRows(PageBuffer& page, const PageContext& context, std::string_view folder,
                     std::string_view name, std::string_view mark);

}  // namespace veldra

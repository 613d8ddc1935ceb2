#pragma once
// The table rows of a folder page: one line per sub-folder and per file.

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/page_context.h"
#include "tags/id3v1.h"

namespace veldra {

// A size in KiB rounded to a whole number, halves away from zero: "0KB", "1KB" for 600 bytes.
std::string KilobyteText(int64_t size);

// A size in MiB rounded to one decimal, halves away from zero: "(0.0MB)", "(3.3MB)" for 3.25 MiB.
std::string MegabyteText(int64_t size);

// The row of a file on the page of folder (reads the file's ID3v1 tag when ProcessId3 is on and
// a tag column is listed).
std::string FileRow(const PageContext& context, std::string_view folder, std::string_view name,
                    std::string_view time_text, int64_t size, std::string_view mark);

// True when file rows show tag cells (ProcessId3 on and a tag column listed): only then are
// tags read.
bool RowsShowTags(const EnvironmentSet& set);

// FileRow with the file's tag already read (a fresh record when it has none or is no MP3 file).
std::string FileRowWithTag(const PageContext& context, std::string_view folder,
                           std::string_view name, std::string_view time_text, int64_t size,
                           std::string_view mark, const Id3Tag& tag);

// The row of a sub-folder named name on the page of folder, linking to the sub-folder's page.
std::string FolderRow(const PageContext& context, std::string_view folder, std::string_view name,
                      std::string_view mark);

// Add the rows to a page.
void WriteFileRows(PageBuffer& page, const PageContext& context, std::string_view folder,
                   std::string_view name, std::string_view time_text, int64_t size,
                   std::string_view mark, const Id3Tag& tag);
void WriteFolderRows(PageBuffer& page, const PageContext& context, std::string_view folder,
                     std::string_view name, std::string_view mark);

}  // namespace veldra

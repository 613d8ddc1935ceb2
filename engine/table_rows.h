#pragma once
// The table rows of a folder page: one line per sub-folder and per file.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/html_text.h"
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

// Writes the rows of one folder's page: the rows FileRowWithTag and FolderRow make, each as a line
// of the page. What the settings and the folder make of every row (the column list, the cell
// tags, the link's start) is worked out once, and rows are converted to CP932 as they are
// written, with no row text in between.
class RowWriter {
 public:
  RowWriter(const PageContext& context, std::string_view folder);

  void AddFileRow(PageBuffer& page, std::string_view name, std::string_view time_text, int64_t size,
                  std::string_view mark, const Id3Tag& tag, const FileTags* more = nullptr) const;
  void AddFolderRow(PageBuffer& page, std::string_view name, std::string_view mark) const;

  // The rows as UTF-8 text, for FileRowWithTag and FolderRow.
  void FileRowText(std::string& out, std::string_view name, std::string_view time_text,
                   int64_t size, std::string_view mark, const Id3Tag& tag,
                   const FileTags* more) const;
  void FolderRowText(std::string& out, std::string_view name, std::string_view mark) const;

  enum class Column : unsigned char {
    kFileSize,
    kTimeStamp,
    kTitle,
    kArtist,
    kAlbum,
    kComment,
    kYear,
    kGenre,
    kTrack,
    kPlayTime,
    kBitrate,
    kNone,  // a key rows show no cell for
  };

  // The parts of a row that are the same on every row of the page, in one text form.
  struct Pieces {
    std::string cell;             // "<TD" + td + ">"
    std::string right_cell;       // "<TD align=right" + td + ">"
    std::string center_cell;      // "<TD align=center" + td + ">"
    std::string file_start;       // up to the file's part of the link
    std::string folder_start;     // up to the sub-folder's part of the link
    std::string folder_link_end;  // "/" + page name + '">'
    std::string folder_end;       // the empty cells after a sub-folder's name, "</TR>"
  };

 private:
  void FileRow(std::string& out, TextForm form, const Pieces& pieces, std::string_view name,
               std::string_view time_text, int64_t size, std::string_view mark, const Id3Tag& tag,
               const FileTags* more) const;
  void FolderRowIn(std::string& out, TextForm form, const Pieces& pieces, std::string_view name,
                   std::string_view mark) const;
  void AddLink(std::string& out, TextForm form, std::string_view name) const;

  const RunContext& run_;  // those of the context: a context is often a temporary
  const EnvironmentSet& set_;
  std::vector<Column> columns_;
  std::string relative_;    // the folder below the root, "/" at its end
  bool relative_in_start_;  // the relative path's link text is part of the pieces' starts
  Pieces utf8_;
  Pieces cp932_;
};

}  // namespace veldra

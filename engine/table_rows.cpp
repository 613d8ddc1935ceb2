#include "engine/table_rows.h"

#include "engine/html_text.h"
#include "engine/page_head.h"
#include "platform/code_page.h"
#include "platform/file_name.h"
#include "platform/text_compare.h"
#include "settings/column_key.h"
#include "tags/id3v1.h"

namespace veldra {
namespace {

constexpr int64_t kKiB = 1024;
constexpr int64_t kMiB = 1024 * 1024;

bool IsTagColumn(std::string_view key) {
  for (std::string_view tag_key :
       {kKeyTitle, kKeyArtist, kKeyAlbum, kKeyComment, kKeyYear, kKeyGenre, kKeyTrack}) {
    if (EqualsNoCase(key, tag_key)) return true;
  }
  return false;
}

std::string Cell(std::string_view attributes, std::string_view text) {
  return "<TD" + std::string(attributes) + ">" + std::string(text) + "</TD>";
}

// A cleaned column text of the tag reader: "<BR>" when empty, escaped otherwise.
std::string FieldCell(const std::string& text) { return text.empty() ? "<BR>" : EscapeText(text); }

// A tag field or genre name as cell text: "<BR>" when nothing is left after cutting at the first
// NUL and trimming blanks, the escaped text otherwise (a field may hold any bytes).
std::string TagCell(const std::string& field) { return FieldCell(CleanTagField(field)); }

// A PLAY TIME or BITRATE cell; "" for any other key.
std::string StreamCell(std::string_view key, const std::string& td, const FileTags* more) {
  std::string text;
  if (EqualsNoCase(key, kKeyPlayTime)) {
    if (more != nullptr) text = PlayTimeText(more->stream.milliseconds);
  } else if (EqualsNoCase(key, kKeyBitrate)) {
    if (more != nullptr) text = BitrateText(more->stream.bits_per_second);
  } else {
    return "";
  }
  return "<TD align=right" + td + ">" + (text.empty() ? "<BR>" : text) + "</TD>";
}

// The data cells of a file row when tags come from every source (TAGS=ALL).
std::string AllTagCells(const EnvironmentSet& set, const std::string& td,
                        std::string_view time_text, int64_t size, const FileTags& more) {
  const TagFields& f = more.fields;
  std::string cells;
  for (const std::string& key : set.OutputColumns) {
    if (EqualsNoCase(key, kKeyFileSize)) {
      cells += "<TD align=right" + td + ">" + MegabyteText(size) + "</TD>";
    } else if (EqualsNoCase(key, kKeyTimeStamp)) {
      cells += Cell(td, time_text);
    } else if (EqualsNoCase(key, kKeyTitle)) {
      cells += Cell(td, FieldCell(f.title));
    } else if (EqualsNoCase(key, kKeyArtist)) {
      cells += Cell(td, FieldCell(f.artist));
    } else if (EqualsNoCase(key, kKeyAlbum)) {
      cells += Cell(td, FieldCell(f.album));
    } else if (EqualsNoCase(key, kKeyComment)) {
      cells += Cell(td, FieldCell(f.comment));
    } else if (EqualsNoCase(key, kKeyYear)) {
      cells += "<TD align=center" + td + ">" + FieldCell(f.year) + "</TD>";
    } else if (EqualsNoCase(key, kKeyGenre)) {
      cells += Cell(td, FieldCell(f.genre));
    } else if (EqualsNoCase(key, kKeyTrack)) {
      cells += Cell(td, FieldCell(f.track));
    } else {
      cells += StreamCell(key, td, &more);
    }
  }
  return cells;
}

}  // namespace

std::string KilobyteText(int64_t size) {
  if (size < 0) size = 0;
  return std::to_string(size / kKiB + (size % kKiB >= kKiB / 2 ? 1 : 0)) + "KB";
}

std::string MegabyteText(int64_t size) {
  if (size < 0) size = 0;
  // Tenths of a MiB, in integers: the remainder times ten stays far below 2^63.
  const int64_t rest_tenths = (size % kMiB) * 10;
  const int64_t tenths = size / kMiB * 10 + rest_tenths / kMiB + (rest_tenths % kMiB >= kMiB / 2);
  std::string text = "(";
  text += std::to_string(tenths / 10);
  text += '.';
  text += static_cast<char>('0' + tenths % 10);
  return text + "MB)";
}

bool RowsShowTags(const EnvironmentSet& set) {
  if (!set.ProcessId3) return false;
  for (const std::string& key : set.OutputColumns) {
    if (IsTagColumn(key)) return true;
  }
  return false;
}

bool RowsShowStream(const EnvironmentSet& set) {
  if (!set.ProcessId3) return false;
  for (const std::string& key : set.OutputColumns) {
    if (EqualsNoCase(key, kKeyPlayTime) || EqualsNoCase(key, kKeyBitrate)) return true;
  }
  return false;
}

bool UsesTagReader(const EnvironmentSet& set) {
  if (RowsShowStream(set)) return true;
  return RowsShowTags(set) && (set.ReadAllTags || ParseCodePage(set.CodePage) != kDefaultCodePage);
}

TagReadOptions TagOptionsFor(const PageContext& context) {
  TagReadOptions options;
  options.all_tags = context.set.ReadAllTags;
  options.tags = RowsShowTags(context.set);
  options.stream = RowsShowStream(context.set);
  options.code_page = ParseCodePage(context.set.CodePage);
  if (options.code_page == 0) options.code_page = kDefaultCodePage;
  options.genres = &context.run.genres;
  options.columns = 0;
  for (const std::string& key : context.set.OutputColumns) {
    const std::string_view order[] = {kKeyTitle, kKeyArtist, kKeyAlbum, kKeyComment,
                                      kKeyYear,  kKeyGenre,  kKeyTrack};
    for (unsigned i = 0; i < 7; ++i) {
      if (EqualsNoCase(key, order[i])) options.columns |= 1u << i;
    }
  }
  return options;
}

std::string FileRowWithTag(const PageContext& context, std::string_view folder,
                           std::string_view name, std::string_view time_text, int64_t size,
                           std::string_view mark, const Id3Tag& tag, const FileTags* more) {
  const RunContext& run = context.run;
  const EnvironmentSet& set = context.set;
  const std::string& td = run.TdAttributes;
  const std::string relative = RelativeFolderPath(run, folder);

  std::string row = "<TR>" + Cell(td, run.FileMark) + "<TD" + td + "><A HREF=\"" + run.RootUrl +
                    EncodeHrefPath(relative + std::string(name)) + "\">";
  row += EscapeText(set.HideExtension ? StripExtension(name) : std::string(name));
  row += "</A>";
  row += mark;
  row += "</TD>";

  if (!set.ProcessId3) {
    row += "<TD align=right" + td + ">" + KilobyteText(size) + MegabyteText(size) + "</TD>";
    return row + "</TR>";
  }

  const bool has_tag = tag.HasTag();
  if (set.ReadAllTags && more != nullptr)
    return row + AllTagCells(set, td, time_text, size, *more) + "</TR>";

  for (const std::string& key : set.OutputColumns) {
    if (EqualsNoCase(key, kKeyFileSize)) {
      row += "<TD align=right" + td + ">" + MegabyteText(size) + "</TD>";
    } else if (EqualsNoCase(key, kKeyTimeStamp)) {
      row += Cell(td, time_text);
    } else if (EqualsNoCase(key, kKeyTitle)) {
      row += Cell(td, TagCell(tag.Title));
    } else if (EqualsNoCase(key, kKeyArtist)) {
      row += Cell(td, TagCell(tag.Artist));
    } else if (EqualsNoCase(key, kKeyAlbum)) {
      row += Cell(td, TagCell(tag.Album));
    } else if (EqualsNoCase(key, kKeyComment)) {
      row += Cell(td, TagCell(tag.Comment));
    } else if (EqualsNoCase(key, kKeyYear)) {
      row += "<TD align=center" + td + ">" + TagCell(tag.Year) + "</TD>";
    } else if (EqualsNoCase(key, kKeyGenre)) {
      row += Cell(td, has_tag ? TagCell(run.genres[tag.Genre]) : "<BR>");
    } else if (EqualsNoCase(key, kKeyTrack)) {
      row += Cell(td, FieldCell(TrackText(tag)));
    } else {
      row += StreamCell(key, td, more);
    }
  }
  return row + "</TR>";
}

std::string FolderRow(const PageContext& context, std::string_view folder, std::string_view name,
                      std::string_view mark) {
  const RunContext& run = context.run;
  const std::string& td = run.TdAttributes;
  std::string row = "<TR>" + Cell(td, run.FolderMark) + "<TD" + td + "><A HREF=\"" + run.RootUrl +
                    EncodeHrefPath(RelativeFolderPath(run, folder) + std::string(name)) + "/" +
                    run.OutputFileName + "\">" + EscapeText(name) + "</A>";
  row += mark;
  row += "</TD>";
  const size_t empty_cells = context.set.ProcessId3 ? context.set.OutputColumns.size() : 1;
  for (size_t i = 0; i < empty_cells; ++i) row += Cell(td, "<BR>");
  return row + "</TR>";
}

void WriteFileRows(PageBuffer& page, const PageContext& context, std::string_view folder,
                   std::string_view name, std::string_view time_text, int64_t size,
                   std::string_view mark, const Id3Tag& tag, const FileTags* more) {
  page.AddLine(FileRowWithTag(context, folder, name, time_text, size, mark, tag, more));
}

void WriteFolderRows(PageBuffer& page, const PageContext& context, std::string_view folder,
                     std::string_view name, std::string_view mark) {
  page.AddLine(FolderRow(context, folder, name, mark));
}

}  // namespace veldra

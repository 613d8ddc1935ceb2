#include "engine/table_rows.h"

#include <charconv>
#include <utility>

#include "engine/html_text.h"
#include "engine/page_head.h"
#include "platform/code_page.h"
#include "platform/cp932.h"
#include "platform/file_name.h"
#include "platform/text_compare.h"
#include "settings/column_key.h"
#include "tags/id3v1.h"
#include "tags/tag_text.h"

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

// A row text in the form a row is being written in. Markup of the row itself is ASCII and goes in
// as it is; the settings' own HTML (marks, cell attributes, the root URL) is converted; names and
// tag fields are escaped.
class RowText {
 public:
  RowText(std::string& out, TextForm form) : out_(out), form_(form) {}
  void Ascii(std::string_view markup) { out_ += markup; }
  void Html(std::string_view html) {
    if (form_ == TextForm::kCp932) {
      AppendCp932(out_, html, Cp932Escape::kHtml);
    } else {
      out_ += html;
    }
  }
  void Text(std::string_view text) { AppendEscapedText(out_, text, form_); }
  void Href(std::string_view path) { AppendHrefPath(out_, path, form_); }
  // A cell's text: "<BR>" when empty, escaped otherwise.
  void Field(std::string_view text) {
    if (text.empty()) {
      out_ += "<BR>";
    } else {
      Text(text);
    }
  }
  std::string& out() { return out_; }

 private:
  std::string& out_;
  TextForm form_;
};

// A tag field or genre name as cell text: cut at the first NUL, blanks trimmed (CleanTagField,
// without a copy).
std::string_view CleanField(std::string_view field) {
  field = field.substr(0, field.find('\0'));
  const size_t first = field.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return field.substr(first, field.find_last_not_of(' ') - first + 1);
}

void AppendNumber(std::string& out, int64_t n) {
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, n);
  out.append(digits, result.ptr);
}

void AppendKilobyteText(std::string& out, int64_t size) {
  if (size < 0) size = 0;
  AppendNumber(out, size / kKiB + (size % kKiB >= kKiB / 2 ? 1 : 0));
  out += "KB";
}

void AppendMegabyteText(std::string& out, int64_t size) {
  if (size < 0) size = 0;
  // Tenths of a MiB, in integers: the remainder times ten stays far below 2^63.
  const int64_t rest_tenths = (size % kMiB) * 10;
  const int64_t tenths = size / kMiB * 10 + rest_tenths / kMiB + (rest_tenths % kMiB >= kMiB / 2);
  out += '(';
  AppendNumber(out, tenths / 10);
  out += '.';
  out += static_cast<char>('0' + tenths % 10);
  out += "MB)";
}

RowWriter::Column ColumnOf(std::string_view key) {
  using Column = RowWriter::Column;
  static constexpr std::pair<std::string_view, Column> kColumns[] = {
      {kKeyFileSize, Column::kFileSize}, {kKeyTimeStamp, Column::kTimeStamp},
      {kKeyTitle, Column::kTitle},       {kKeyArtist, Column::kArtist},
      {kKeyAlbum, Column::kAlbum},       {kKeyComment, Column::kComment},
      {kKeyYear, Column::kYear},         {kKeyGenre, Column::kGenre},
      {kKeyTrack, Column::kTrack},       {kKeyPlayTime, Column::kPlayTime},
      {kKeyBitrate, Column::kBitrate}};
  for (const auto& [column_key, column] : kColumns) {
    if (EqualsNoCase(key, column_key)) return column;
  }
  return Column::kNone;
}

}  // namespace

std::string KilobyteText(int64_t size) {
  std::string text;
  AppendKilobyteText(text, size);
  return text;
}

std::string MegabyteText(int64_t size) {
  std::string text;
  AppendMegabyteText(text, size);
  return text;
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

RowWriter::RowWriter(const PageContext& context, std::string_view folder)
    : run_(context.run), set_(context.set), relative_(RelativeFolderPath(context.run, folder)) {
  const RunContext& run = run_;
  const EnvironmentSet& set = set_;
  columns_.reserve(set.OutputColumns.size());
  for (const std::string& key : set.OutputColumns) columns_.push_back(ColumnOf(key));
  // The link of a name is the encoded relative path and then the encoded name: the same as
  // encoding both at once when no character spans the two, as none can after a "/".
  relative_in_start_ = relative_.empty() || relative_.back() == '/';
  // Rows are converted text by text. That makes the same bytes as converting whole rows because
  // no character can span two texts: every text from the settings (which may hold any bytes)
  // stands between ASCII markup, and names and tag fields come out of escaping as valid UTF-8.
  const auto make = [&](Pieces& pieces, TextForm form) {
    const auto piece = [form](std::string& out, auto&& write) {
      RowText text(out, form);
      write(text);
    };
    const std::string& td = run.TdAttributes;
    piece(pieces.cell, [&](RowText& t) {
      t.Ascii("<TD");
      t.Html(td);
      t.Ascii(">");
    });
    piece(pieces.right_cell, [&](RowText& t) {
      t.Ascii("<TD align=right");
      t.Html(td);
      t.Ascii(">");
    });
    piece(pieces.center_cell, [&](RowText& t) {
      t.Ascii("<TD align=center");
      t.Html(td);
      t.Ascii(">");
    });
    const auto start = [&](std::string& out, const std::string& row_mark) {
      piece(out, [&](RowText& t) {
        t.Ascii("<TR>");
        t.Ascii(pieces.cell);  // already in this form
        t.Html(row_mark);
        t.Ascii("</TD>");
        t.Ascii(pieces.cell);
        t.Ascii("<A HREF=\"");
        t.Html(run.RootUrl);
        if (relative_in_start_) t.Href(relative_);
      });
    };
    start(pieces.file_start, run.FileMark);
    start(pieces.folder_start, run.FolderMark);
    piece(pieces.folder_link_end, [&](RowText& t) {
      t.Ascii("/");
      t.Html(run.OutputFileName);
      t.Ascii("\">");
    });
    const size_t empty_cells = set.ProcessId3 ? set.OutputColumns.size() : 1;
    for (size_t i = 0; i < empty_cells; ++i) {
      pieces.folder_end += pieces.cell;
      pieces.folder_end += "<BR></TD>";
    }
    pieces.folder_end += "</TR>";
  };
  make(utf8_, TextForm::kUtf8);
  make(cp932_, TextForm::kCp932);
}

void RowWriter::AddLink(std::string& out, TextForm form, std::string_view name) const {
  RowText text(out, form);
  if (relative_in_start_) {
    text.Href(name);
  } else {
    std::string path = relative_;
    path += name;
    text.Href(path);
  }
}

void RowWriter::FileRow(std::string& out, TextForm form, const Pieces& pieces,
                        std::string_view name, std::string_view time_text, int64_t size,
                        std::string_view mark, const Id3Tag& tag, const FileTags* more) const {
  const RunContext& run = run_;
  const EnvironmentSet& set = set_;
  RowText row(out, form);
  row.Ascii(pieces.file_start);
  AddLink(out, form, name);
  row.Ascii("\">");
  if (set.HideExtension) {
    row.Text(StripExtension(name));
  } else {
    row.Text(name);
  }
  row.Ascii("</A>");
  row.Html(mark);
  row.Ascii("</TD>");

  if (!set.ProcessId3) {
    row.Ascii(pieces.right_cell);
    AppendKilobyteText(out, size);
    AppendMegabyteText(out, size);
    row.Ascii("</TD></TR>");
    return;
  }

  const bool has_tag = tag.HasTag();
  // TAGS=ALL: tag columns come from the reader's cleaned fields.
  const TagFields* fields = set.ReadAllTags && more != nullptr ? &more->fields : nullptr;
  const auto tag_cell = [&](const std::string& field, const std::string& v1_field) {
    row.Ascii(pieces.cell);
    row.Field(fields != nullptr ? std::string_view(field) : CleanField(v1_field));
    row.Ascii("</TD>");
  };
  static const std::string kNoField;
  for (const Column column : columns_) {
    switch (column) {
      case Column::kFileSize:
        row.Ascii(pieces.right_cell);
        AppendMegabyteText(out, size);
        row.Ascii("</TD>");
        break;
      case Column::kTimeStamp:
        row.Ascii(pieces.cell);
        row.Html(time_text);
        row.Ascii("</TD>");
        break;
      case Column::kTitle:
        tag_cell(fields != nullptr ? fields->title : kNoField, tag.Title);
        break;
      case Column::kArtist:
        tag_cell(fields != nullptr ? fields->artist : kNoField, tag.Artist);
        break;
      case Column::kAlbum:
        tag_cell(fields != nullptr ? fields->album : kNoField, tag.Album);
        break;
      case Column::kComment:
        tag_cell(fields != nullptr ? fields->comment : kNoField, tag.Comment);
        break;
      case Column::kYear:
        row.Ascii(pieces.center_cell);
        row.Field(fields != nullptr ? std::string_view(fields->year) : CleanField(tag.Year));
        row.Ascii("</TD>");
        break;
      case Column::kGenre:
        row.Ascii(pieces.cell);
        if (fields != nullptr) {
          row.Field(fields->genre);
        } else if (has_tag) {
          row.Field(CleanField(run.genres[tag.Genre]));
        } else {
          row.Ascii("<BR>");
        }
        row.Ascii("</TD>");
        break;
      case Column::kTrack:
        row.Ascii(pieces.cell);
        row.Field(fields != nullptr ? fields->track : TrackText(tag));
        row.Ascii("</TD>");
        break;
      case Column::kPlayTime:
      case Column::kBitrate: {
        std::string text;
        if (more != nullptr) {
          text = column == Column::kPlayTime ? PlayTimeText(more->stream.milliseconds)
                                             : BitrateText(more->stream.bits_per_second);
        }
        row.Ascii(pieces.right_cell);
        if (text.empty()) {
          row.Ascii("<BR>");
        } else {
          row.Html(text);
        }
        row.Ascii("</TD>");
        break;
      }
      case Column::kNone:
        break;
    }
  }
  row.Ascii("</TR>");
}

void RowWriter::FolderRowIn(std::string& out, TextForm form, const Pieces& pieces,
                            std::string_view name, std::string_view mark) const {
  RowText row(out, form);
  row.Ascii(pieces.folder_start);
  AddLink(out, form, name);
  row.Ascii(pieces.folder_link_end);
  row.Text(name);
  row.Ascii("</A>");
  row.Html(mark);
  row.Ascii("</TD>");
  row.Ascii(pieces.folder_end);
}

void RowWriter::FileRowText(std::string& out, std::string_view name, std::string_view time_text,
                            int64_t size, std::string_view mark, const Id3Tag& tag,
                            const FileTags* more) const {
  FileRow(out, TextForm::kUtf8, utf8_, name, time_text, size, mark, tag, more);
}

void RowWriter::FolderRowText(std::string& out, std::string_view name,
                              std::string_view mark) const {
  FolderRowIn(out, TextForm::kUtf8, utf8_, name, mark);
}

void RowWriter::AddFileRow(PageBuffer& page, std::string_view name, std::string_view time_text,
                           int64_t size, std::string_view mark, const Id3Tag& tag,
                           const FileTags* more) const {
  std::string& out = page.cp932();
  FileRow(out, TextForm::kCp932, cp932_, name, time_text, size, mark, tag, more);
  out += "\r\n";
}

void RowWriter::AddFolderRow(PageBuffer& page, std::string_view name, std::string_view mark) const {
  std::string& out = page.cp932();
  FolderRowIn(out, TextForm::kCp932, cp932_, name, mark);
  out += "\r\n";
}

std::string FileRowWithTag(const PageContext& context, std::string_view folder,
                           std::string_view name, std::string_view time_text, int64_t size,
                           std::string_view mark, const Id3Tag& tag, const FileTags* more) {
  std::string row;
  RowWriter(context, folder).FileRowText(row, name, time_text, size, mark, tag, more);
  return row;
}

std::string FolderRow(const PageContext& context, std::string_view folder, std::string_view name,
                      std::string_view mark) {
  std::string row;
  RowWriter(context, folder).FolderRowText(row, name, mark);
  return row;
}

}  // namespace veldra

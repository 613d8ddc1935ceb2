#include "tags/id3v2.h"

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/code_page.h"

namespace veldra {
namespace {

constexpr size_t kFrameCap = 256 * 1024;         // text frames past this size are skipped
constexpr size_t kUnsyncedTagCap = 1024 * 1024;  // a tag unsynchronised as a whole is read to here

uint32_t BigEndian(const uint8_t* p, int bytes) {
  uint32_t value = 0;
  for (int i = 0; i < bytes; ++i) value = value << 8 | p[i];
  return value;
}

bool IsSynchsafe(const uint8_t* p) { return ((p[0] | p[1] | p[2] | p[3]) & 0x80) == 0; }

uint32_t Synchsafe(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 21 | p[1] << 14 | p[2] << 7 | p[3];
}

// Undoes unsynchronisation: every 0xFF 0x00 pair loses its 0x00.
std::string Resync(std::string_view data) {
  std::string out;
  out.reserve(data.size());
  for (size_t i = 0; i < data.size(); ++i) {
    out += data[i];
    if (static_cast<unsigned char>(data[i]) == 0xFF && i + 1 < data.size() && data[i + 1] == 0) ++i;
  }
  return out;
}

bool IsFrameIdChar(uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

enum class Column {
  kNone,
  kTitle,
  kArtist,
  kAlbum,
  kComment,
  kYear1,
  kYear2,
  kYear3,
  kGenre,
  kTrack
};

Column ColumnOf(std::string_view id) {
  struct Entry {
    const char* id;
    Column column;
  };
  static constexpr Entry kFrames[] = {
      {"TIT2", Column::kTitle},   {"TT2", Column::kTitle},   {"TPE1", Column::kArtist},
      {"TP1", Column::kArtist},   {"TALB", Column::kAlbum},  {"TAL", Column::kAlbum},
      {"COMM", Column::kComment}, {"COM", Column::kComment}, {"TYER", Column::kYear1},
      {"TYE", Column::kYear1},    {"TDRC", Column::kYear2},  {"TDRL", Column::kYear3},
      {"TCON", Column::kGenre},   {"TCO", Column::kGenre},   {"TRCK", Column::kTrack},
      {"TRK", Column::kTrack},
  };
  for (const Entry& entry : kFrames) {
    if (id == entry.id) return entry.column;
  }
  return Column::kNone;
}

// Text in one of the four encodings, possibly several strings separated by terminators.
class FrameText {
 public:
  FrameText(uint8_t encoding, std::string_view data, int code_page)
      : encoding_(encoding), data_(data), code_page_(code_page) {}

  bool valid() const { return encoding_ <= 3; }
  size_t unit() const { return encoding_ == 1 || encoding_ == 2 ? 2 : 1; }

  // The next string and its terminator are consumed; false when nothing is left.
  bool Next(std::string& text) {
    if (data_.empty()) return false;
    const size_t step = unit();
    size_t end = 0;
    while (end + step <= data_.size()) {
      bool zero = true;
      for (size_t k = 0; k < step; ++k) zero = zero && data_[end + k] == 0;
      if (zero) break;
      end += step;
    }
    const std::string_view raw = data_.substr(0, std::min(end, data_.size()));
    data_.remove_prefix(std::min(end + step, data_.size()));
    text = Decode(raw);
    return true;
  }

 private:
  std::string Decode(std::string_view raw) {
    switch (encoding_) {
      case 0:
        return DecodeCodePage(code_page_, raw);
      case 1:
      case 2: {
        bool big = encoding_ == 2;
        if (raw.size() >= 2) {
          const auto b0 = static_cast<uint8_t>(raw[0]);
          const auto b1 = static_cast<uint8_t>(raw[1]);
          if (b0 == 0xFF && b1 == 0xFE) {
            big = false;
            raw.remove_prefix(2);
          } else if (b0 == 0xFE && b1 == 0xFF) {
            big = true;
            raw.remove_prefix(2);
          }
        }
        return Utf16ToUtf8(raw, big);
      }
      default:
        return Utf8Lenient(raw);
    }
  }

  uint8_t encoding_;
  std::string_view data_;
  int code_page_;
};

struct Collected {
  std::string column[10];
  bool comment_without_description = false;
};

void TakeFrame(Column column, std::string_view data, int major, int code_page,
               const GenreTable& genres, Collected& got) {
  if (data.empty()) return;
  FrameText text(static_cast<uint8_t>(data[0]), data.substr(1), code_page);
  if (!text.valid()) return;
  std::string& slot = got.column[static_cast<int>(column)];
  if (column == Column::kComment) {
    if (data.size() < 4) return;
    // Encoding, language (3 bytes), short description, then the text.
    FrameText comm(static_cast<uint8_t>(data[0]), data.substr(4), code_page);
    std::string description, value;
    comm.Next(description);
    comm.Next(value);
    value = CleanText(value);
    if (value.empty()) return;
    // The first comment without a description wins, else the first comment of all.
    const bool plain = CleanText(description).empty();
    if (slot.empty() || (plain && !got.comment_without_description)) {
      slot = value;
      got.comment_without_description = plain;
    }
    return;
  }
  if (!slot.empty()) return;  // a repeated frame: the first that has a text counts
  std::vector<std::string> values;
  std::string value;
  while (text.Next(value)) {
    values.push_back(value);
    if (major < 4) break;  // before 2.4 a frame holds one string; bytes after it are not text
  }
  if (column == Column::kGenre) {
    std::vector<std::string> names;
    for (const std::string& v : values) names.push_back(GenreText(v, genres));
    slot = JoinValues(names);
  } else {
    slot = JoinValues(values);
  }
}

// Walks the frames of [begin, end) of reader.
void ReadFrames(WindowedReader& reader, int64_t begin, int64_t end, int major, bool all_unsynced,
                int code_page, const GenreTable& genres, Collected& got) {
  const int header_size = major == 2 ? 6 : 10;
  const int id_size = major == 2 ? 3 : 4;
  int64_t pos = begin;
  while (pos + header_size <= end) {
    const uint8_t* h = reader.Get(pos, static_cast<size_t>(header_size));
    if (h == nullptr) return;
    if (h[0] == 0) return;  // padding
    for (int i = 0; i < id_size; ++i) {
      if (!IsFrameIdChar(h[i])) return;  // damage: keep what was read
    }
    const std::string id(reinterpret_cast<const char*>(h), static_cast<size_t>(id_size));
    int64_t size = 0;
    uint8_t format_flags = 0;
    if (major == 2) {
      size = BigEndian(h + 3, 3);
    } else if (major == 3) {
      size = BigEndian(h + 4, 4);
      format_flags = h[9];
    } else {
      format_flags = h[9];
      size = IsSynchsafe(h + 4) ? Synchsafe(h + 4) : BigEndian(h + 4, 4);
      // Some writers put plain sizes into 2.4 tags: when the synchsafe size leads nowhere but
      // the plain one leads to another frame or the end, the plain one is meant.
      const int64_t plain = BigEndian(h + 4, 4);
      if (plain != size && pos + header_size + size < end) {
        const int64_t next = pos + header_size + size;
        const uint8_t* n = reader.Get(next, 4);
        const bool synchsafe_ok =
            n != nullptr && (n[0] == 0 || (IsFrameIdChar(n[0]) && IsFrameIdChar(n[1]) &&
                                           IsFrameIdChar(n[2]) && IsFrameIdChar(n[3])));
        if (!synchsafe_ok && pos + header_size + plain <= end) size = plain;
        h = nullptr;  // the window may have moved
      }
    }
    const int64_t body = pos + header_size;
    if (size > end - body) return;  // a frame claiming more than the tag holds
    pos = body + size;
    const Column column = ColumnOf(id);
    if (column == Column::kNone || size == 0 || static_cast<size_t>(size) > kFrameCap) continue;

    bool unsynced = all_unsynced && major == 4;
    int64_t skip = 0;
    if (major == 3) {
      if (format_flags & 0xC0) continue;  // compressed or encrypted
      if (format_flags & 0x20) skip = 1;  // group byte
    } else if (major == 4) {
      if (format_flags & 0x0C) continue;   // compressed or encrypted
      if (format_flags & 0x40) skip += 1;  // group byte
      if (format_flags & 0x01) skip += 4;  // data length indicator
      unsynced = unsynced || (format_flags & 0x02);
    }
    if (skip >= size) continue;
    const uint8_t* data = reader.Get(body + skip, static_cast<size_t>(size - skip));
    if (data == nullptr) return;
    std::string_view bytes(reinterpret_cast<const char*>(data), static_cast<size_t>(size - skip));
    std::string resynced;
    if (unsynced) {
      resynced = Resync(bytes);
      bytes = resynced;
    }
    TakeFrame(column, bytes, major, code_page, genres, got);
  }
}

}  // namespace

Id3v2Result ReadId3v2(WindowedReader& reader, int code_page, const GenreTable& genres,
                      TagFields* fields) {
  Id3v2Result result;
  const uint8_t* h = reader.Get(0, 10);
  if (h == nullptr || std::memcmp(h, "ID3", 3) != 0) return result;
  const int major = h[3];
  const uint8_t flags = h[5];
  if (major < 2 || major > 4 || h[4] == 0xFF || !IsSynchsafe(h + 6)) return result;
  result.found = true;
  const int64_t size = Synchsafe(h + 6);
  const int64_t footer = major == 4 && (flags & 0x10) ? 10 : 0;
  result.tag_end = std::min<int64_t>(10 + size + footer, reader.size());
  if (fields == nullptr) return result;
  if (major == 2 && (flags & 0x40)) return result;  // 2.2 compression: no scheme was ever defined

  const int64_t end = std::min<int64_t>(10 + size, reader.size());
  Collected got;
  if ((flags & 0x80) && major < 4) {
    // Unsynchronised as a whole (2.2, 2.3): frame sizes count the bytes after resync, so the
    // tag is read up to a cap and resynced before its frames are walked.
    const size_t length = static_cast<size_t>(std::min<int64_t>(end - 10, kUnsyncedTagCap));
    const uint8_t* data = reader.Get(10, length);
    if (data == nullptr) return result;
    const std::string body = Resync(std::string_view(reinterpret_cast<const char*>(data), length));
    MemorySource memory(body);
    WindowedReader inner(memory);
    int64_t begin = 0;
    if (major == 3 && (flags & 0x40)) {
      const uint8_t* ext = inner.Get(0, 4);
      begin = ext == nullptr ? inner.size() : 4 + static_cast<int64_t>(BigEndian(ext, 4));
    }
    ReadFrames(inner, begin, inner.size(), major, false, code_page, genres, got);
  } else {
    int64_t begin = 10;
    if (flags & 0x40) {  // extended header, skipped by its size
      const uint8_t* ext = reader.Get(10, 4);
      if (ext == nullptr) return result;
      begin += major == 3 ? 4 + static_cast<int64_t>(BigEndian(ext, 4))
                          : static_cast<int64_t>(Synchsafe(ext));
    }
    ReadFrames(reader, begin, end, major, (flags & 0x80) != 0, code_page, genres, got);
  }
  auto& c = got.column;
  fields->title = c[static_cast<int>(Column::kTitle)];
  fields->artist = c[static_cast<int>(Column::kArtist)];
  fields->album = c[static_cast<int>(Column::kAlbum)];
  fields->comment = c[static_cast<int>(Column::kComment)];
  fields->genre = c[static_cast<int>(Column::kGenre)];
  fields->track = TrackNumberText(c[static_cast<int>(Column::kTrack)]);
  for (Column year : {Column::kYear1, Column::kYear2, Column::kYear3}) {
    if (fields->year.empty()) fields->year = YearText(c[static_cast<int>(year)]);
  }
  return result;
}

}  // namespace veldra

#include "tags/tag_reader.h"

#include <algorithm>
#include <cstring>

#include "tags/ape.h"
#include "tags/id3v2.h"
#include "tags/mpeg_stream.h"
#include "tags/taglib_reader.h"

namespace veldra {
namespace {

// The last bytes of an MP3 file read in one go: the ID3v1 block and an APE footer before it.
constexpr int64_t kTailWindow = 128 + 32;

// A file as a byte source. With cached_only, a read that would wait for the disk fails and
// marks the source, so the caller can do the whole file again where waiting costs nothing.
class FileSource : public ByteSource {
 public:
  FileSource(const ReadOnlyFile& file, bool cached_only) : file_(file), cached_only_(cached_only) {}
  int64_t Size() const override { return file_.size(); }
  int64_t ReadAt(int64_t offset, size_t length, uint8_t* out) override {
    if (would_wait_) return -1;
    const int64_t n = file_.ReadAt(offset, length, out, cached_only_);
    if (n == ReadOnlyFile::kWouldWait) {
      would_wait_ = true;
      return -1;
    }
    return n;
  }
  bool would_wait() const { return would_wait_; }

 private:
  const ReadOnlyFile& file_;
  bool cached_only_;
  bool would_wait_ = false;
};

const GenreTable& NoGenres() {
  static const GenreTable* empty = new GenreTable;
  return *empty;
}

std::string CutAtNul(const std::string& field) {
  return CleanText(field.substr(0, field.find('\0')));
}

// True when fields has every column of mask (bits in TagFields order, see TagReadOptions).
bool HasAll(const TagFields& fields, unsigned mask) {
  const std::string* columns[] = {&fields.title, &fields.artist, &fields.album, &fields.comment,
                                  &fields.year,  &fields.genre,  &fields.track};
  for (int i = 0; i < 7; ++i) {
    if ((mask >> i & 1) != 0 && columns[i]->empty()) return false;
  }
  return true;
}

void ReadMp3(ByteSource& source, const TagReadOptions& options, FileTags& out) {
  const GenreTable& genres = options.genres != nullptr ? *options.genres : NoGenres();
  WindowedReader reader(source);
  const int64_t size = reader.size();

  // The head first (TAGS=ALL or the stream columns): when ID3v2 has every column shown and no
  // stream column is shown, the tail is not read at all, which spares a second disk read.
  TagFields id3v2;
  Id3v2Result head;
  if (options.all_tags || options.stream) {
    head = ReadId3v2(reader, options.code_page, genres, options.all_tags ? &id3v2 : nullptr);
    if (options.all_tags && !options.stream && HasAll(id3v2, options.columns)) {
      out.fields = id3v2;
      return;
    }
  }

  int64_t audio_end = size;
  bool has_v1 = false;
  if (size >= static_cast<int64_t>(kId3BlockSize)) {
    // One read holds the ID3v1 block and, usually, an APE footer before it.
    const int64_t tail = std::min(size, kTailWindow);
    const uint8_t* bytes = reader.Get(size - tail, static_cast<size_t>(tail));
    if (bytes != nullptr) {
      uint8_t block[kId3BlockSize];
      std::memcpy(block, bytes + tail - static_cast<int64_t>(kId3BlockSize), kId3BlockSize);
      DecodeId3Block(block, out.v1, options.code_page);
      has_v1 = out.v1.HasTag();
      if (has_v1) audio_end -= static_cast<int64_t>(kId3BlockSize);
    }
  }
  if (!options.all_tags && !options.stream) return;
  TagFields ape;
  const ApeResult found = ReadApeTag(reader, audio_end, ape);
  if (found.found) audio_end = found.tag_start;
  if (options.stream) out.stream = ReadMpegStream(reader, head.tag_end, audio_end);
  if (!options.all_tags) return;
  out.fields = id3v2;
  out.fields.FillFrom(ape);
  if (has_v1) out.fields.FillFrom(FieldsOfId3v1(out.v1, genres));
}

}  // namespace

TagFields FieldsOfId3v1(const Id3Tag& tag, const GenreTable& genres) {
  TagFields fields;
  if (!tag.HasTag()) return fields;
  fields.title = CutAtNul(tag.Title);
  fields.artist = CutAtNul(tag.Artist);
  fields.album = CutAtNul(tag.Album);
  fields.comment = CutAtNul(tag.Comment);
  fields.year = CutAtNul(tag.Year);
  fields.genre = CleanText(genres[tag.Genre]);
  fields.track = TrackText(tag);
  return fields;
}

bool HasTagsToRead(std::string_view name, const TagReadOptions& options) {
  if (!options.tags && !options.stream) return false;
  if (IsMp3Name(name)) return true;
  return options.all_tags && OtherFormatOfName(name) != OtherFormat::kNone;
}

void ReadFileTags(ByteSource& source, std::string_view name, const TagReadOptions& options,
                  FileTags& out) {
  if (!HasTagsToRead(name, options)) return;
  if (IsMp3Name(name)) {
    ReadMp3(source, options, out);
    return;
  }
  ReadOtherFormat(source, OtherFormatOfName(name), options.stream, out.fields, out.stream);
}

bool ReadFileTagsAt(const std::string& path, std::string_view name, const TagReadOptions& options,
                    FileTags& out, bool cached_only) {
  if (!HasTagsToRead(name, options)) return true;
  ReadOnlyFile file;
  if (!file.Open(path)) return true;
  return ReadFileTagsIn(file, name, options, out, cached_only);
}

bool ReadFileTagsIn(const ReadOnlyFile& file, std::string_view name, const TagReadOptions& options,
                    FileTags& out, bool cached_only) {
  return ReadFileTagsIn(file, name, options, out, cached_only, nullptr);
}

bool ReadFileTagsIn(const ReadOnlyFile& file, std::string_view name, const TagReadOptions& options,
                    FileTags& out, bool cached_only, ByteRanges* record) {
  FileSource source(file, cached_only);
  if (record != nullptr) {
    RecordingSource recording(source);
    ReadFileTags(recording, name, options, out);
    *record = source.would_wait() ? ByteRanges() : recording.Take();
  } else {
    ReadFileTags(source, name, options, out);
  }
  if (!source.would_wait()) return true;
  out = FileTags();
  return false;
}

bool ReadFileTagsFrom(const ByteRanges& ranges, std::string_view name,
                      const TagReadOptions& options, FileTags& out) {
  ReplaySource source(ranges);
  ReadFileTags(source, name, options, out);
  if (!source.missed()) return true;
  out = FileTags();
  return false;
}

}  // namespace veldra

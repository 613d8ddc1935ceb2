#include "tags/taglib_reader.h"

#include <taglib/asffile.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/mp4file.h>
#include <taglib/oggflacfile.h>
#include <taglib/opusfile.h>
#include <taglib/tdebuglistener.h>
#include <taglib/tiostream.h>
#include <taglib/tpropertymap.h>
#include <taglib/vorbisfile.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "platform/text_compare.h"

namespace veldra {
namespace {

// TagLib reports damaged files on stderr; a run has its own report.
class SilentListener : public TagLib::DebugListener {
 public:
  void printMessage(const TagLib::String&) override {}
};

void SilenceTagLib() {
  static SilentListener* listener = [] {
    auto* l = new SilentListener;
    TagLib::setDebugListener(l);
    return l;
  }();
  (void)listener;
}

// A read-only TagLib stream over a byte source. No read goes past the source's real size, and
// all reads of one file together stop at a budget, so a damaged size cannot make TagLib read or
// allocate without end.
class SourceStream : public TagLib::IOStream {
 public:
  static constexpr long long kBudget = 64LL * 1024 * 1024;

  explicit SourceStream(ByteSource& source) : source_(source), size_(source.Size()) {}

  TagLib::FileName name() const override { return ""; }
  TagLib::ByteVector readBlock(unsigned long length) override {
    const long long left = std::max<long long>(0, size_ - position_);
    const long long want = std::min<long long>({static_cast<long long>(length), left, budget_});
    if (want <= 0) return TagLib::ByteVector();
    TagLib::ByteVector bytes(static_cast<unsigned int>(want), '\0');
    const int64_t got = source_.ReadAt(position_, static_cast<size_t>(want),
                                       reinterpret_cast<uint8_t*>(bytes.data()));
    if (got <= 0) return TagLib::ByteVector();
    bytes.resize(static_cast<unsigned int>(got));
    position_ += got;
    budget_ -= got;
    return bytes;
  }
  void writeBlock(const TagLib::ByteVector&) override {}
  void insert(const TagLib::ByteVector&, unsigned long, unsigned long) override {}
  void removeBlock(unsigned long, unsigned long) override {}
  bool readOnly() const override { return true; }
  bool isOpen() const override { return true; }
  void seek(long offset, Position p) override {
    long long to = offset;
    if (p == Current) to += position_;
    if (p == End) to += size_;
    position_ = std::clamp<long long>(to, 0, size_);
  }
  void clear() override {}
  long tell() const override { return static_cast<long>(position_); }
  long length() override { return static_cast<long>(size_); }
  void truncate(long) override {}

 private:
  ByteSource& source_;
  long long size_;
  long long position_ = 0;
  long long budget_ = kBudget;
};

std::string Values(const TagLib::PropertyMap& map, const char* key) {
  const auto it = map.find(key);
  if (it == map.end()) return "";
  std::vector<std::string> values;
  for (const TagLib::String& value : it->second) values.push_back(value.to8Bit(true));
  return JoinValues(values);
}

void TakeTag(const TagLib::File& file, bool stream, TagFields& fields, StreamInfo& info) {
  const TagLib::PropertyMap map = file.properties();
  fields.title = Values(map, "TITLE");
  fields.artist = Values(map, "ARTIST");
  fields.album = Values(map, "ALBUM");
  fields.comment = Values(map, "COMMENT");
  fields.year = YearText(Values(map, "DATE"));
  fields.genre = Values(map, "GENRE");
  fields.track = TrackNumberText(Values(map, "TRACKNUMBER"));
  const TagLib::AudioProperties* properties = file.audioProperties();
  if (stream && properties != nullptr) {
    if (properties->lengthInMilliseconds() > 0)
      info.milliseconds = properties->lengthInMilliseconds();
    if (properties->bitrate() > 0) info.bits_per_second = properties->bitrate() * 1000LL;
  }
}

// Opens the stream as File and takes its tag when TagLib finds the file valid.
template <typename File, typename... Args>
bool TryAs(ByteSource& source, bool stream, TagFields& fields, StreamInfo& info, Args... args) {
  SourceStream io(source);
  File file(&io, args...);
  if (!file.isValid()) return false;
  TakeTag(file, stream, fields, info);
  return true;
}

bool IsMp4(ByteSource& source) {
  uint8_t head[8];
  return source.ReadAt(0, 8, head) == 8 &&
         std::string_view(reinterpret_cast<char*>(head + 4), 4) == "ftyp";
}

uint64_t LittleEndian(const uint8_t* p, int bytes) {
  uint64_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = value << 8 | p[i];
  return value;
}

// TagLib walks the descriptor count of an ASF extended content description (up to 65535) even
// when the object is far too small to hold them, which makes a 3 KB file cost a second. Such a
// header is damaged: the file is refused before TagLib sees it.
bool AsfHeaderIsSound(ByteSource& source) {
  static constexpr uint8_t kHeader[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                          0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
  static constexpr uint8_t kExtendedContent[16] = {0x40, 0xA4, 0xD0, 0xD2, 0x07, 0xE3, 0xD2, 0x11,
                                                   0x97, 0xF0, 0x00, 0xA0, 0xC9, 0x5E, 0xA8, 0x50};
  uint8_t head[30];
  if (source.ReadAt(0, sizeof head, head) != sizeof head || std::memcmp(head, kHeader, 16) != 0)
    return false;
  const uint64_t header_size = LittleEndian(head + 16, 8);
  const uint64_t objects = LittleEndian(head + 24, 4);
  if (header_size > static_cast<uint64_t>(source.Size()) || objects > header_size / 24)
    return false;
  uint64_t at = 30;
  for (uint64_t i = 0; i < objects && at + 24 <= header_size; ++i) {
    uint8_t object[26];
    if (source.ReadAt(static_cast<int64_t>(at), sizeof object, object) != sizeof object)
      return false;
    const uint64_t size = LittleEndian(object + 16, 8);
    if (size < 24 || size > header_size - at) return false;
    // Each descriptor takes at least six bytes (name length, type, value length).
    if (std::memcmp(object, kExtendedContent, 16) == 0 &&
        (size < 26 || LittleEndian(object + 24, 2) * 6 > size - 26))
      return false;
    at += size;
  }
  return true;
}

// TagLib parses MP4 container atoms by recursion without a depth limit, so atoms nested a few
// hundred thousand deep (8 bytes each) overflow the stack. The tree is walked here first, with
// limits on depth and count; a file beyond them is damaged and TagLib never sees it.
class Mp4Check {
 public:
  explicit Mp4Check(ByteSource& source) : source_(source) {}

  bool Sound() { return Walk(0, source_.Size(), 0); }

 private:
  static constexpr int kMaxDepth = 24;
  static constexpr int kMaxAtoms = 100000;

  static bool IsContainer(std::string_view name, int& skip) {
    skip = name == "meta" ? 4 : name == "stsd" ? 8 : 0;
    for (const char* container :
         {"moov", "udta", "mdia", "meta", "ilst", "stbl", "minf", "moof", "traf", "trak", "stsd"}) {
      if (name == container) return true;
    }
    return false;
  }

  bool Walk(int64_t begin, int64_t end, int depth) {
    if (depth > kMaxDepth) return false;
    int64_t at = begin;
    while (at + 8 <= end) {
      if (++atoms_ > kMaxAtoms) return false;
      uint8_t header[16];
      if (source_.ReadAt(at, 8, header) != 8) return false;
      uint64_t length =
          static_cast<uint64_t>(header[0]) << 24 | header[1] << 16 | header[2] << 8 | header[3];
      int64_t header_size = 8;
      if (length == 1) {
        if (source_.ReadAt(at + 8, 8, header + 8) != 8) return false;
        length = 0;
        for (int i = 8; i < 16; ++i) length = length << 8 | header[i];
        header_size = 16;
      } else if (length == 0) {
        length = static_cast<uint64_t>(end - at);
      }
      if (length < static_cast<uint64_t>(header_size) || length > static_cast<uint64_t>(end - at))
        return true;  // TagLib stops at a bad size too; what came before is sound
      const std::string_view name(reinterpret_cast<const char*>(header + 4), 4);
      int skip = 0;
      if (IsContainer(name, skip) &&
          !Walk(at + header_size + skip, at + static_cast<int64_t>(length), depth + 1))
        return false;
      at += static_cast<int64_t>(length);
    }
    return true;
  }

  ByteSource& source_;
  int atoms_ = 0;
};

}  // namespace

OtherFormat OtherFormatOfName(std::string_view name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return OtherFormat::kNone;
  const std::string_view ext = name.substr(dot + 1);
  if (EqualsAsciiNoCase(ext, "flac")) return OtherFormat::kFlac;
  if (EqualsAsciiNoCase(ext, "ogg") || EqualsAsciiNoCase(ext, "oga")) return OtherFormat::kOgg;
  if (EqualsAsciiNoCase(ext, "opus")) return OtherFormat::kOpus;
  if (EqualsAsciiNoCase(ext, "m4a") || EqualsAsciiNoCase(ext, "mp4")) return OtherFormat::kMp4;
  if (EqualsAsciiNoCase(ext, "aac")) return OtherFormat::kAac;
  if (EqualsAsciiNoCase(ext, "wma")) return OtherFormat::kAsf;
  return OtherFormat::kNone;
}

bool ReadOtherFormat(ByteSource& source, OtherFormat format, bool stream, TagFields& fields,
                     StreamInfo& info) {
  SilenceTagLib();
  fields = TagFields();
  info = StreamInfo();
  const auto style = TagLib::AudioProperties::Average;
  try {
    switch (format) {
      case OtherFormat::kNone:
        return false;
      case OtherFormat::kFlac:
        // TagLib reads an ID3v2 tag in front of the FLAC stream with this factory: without one
        // (a null pointer) such a file crashed the run.
        return TryAs<TagLib::FLAC::File>(source, stream, fields, info,
                                         TagLib::ID3v2::FrameFactory::instance(), stream, style);
      case OtherFormat::kOgg:
      case OtherFormat::kOpus: {
        // The extension does not say which codec an Ogg file holds: each is tried in turn.
        const bool opus_first = format == OtherFormat::kOpus;
        if (opus_first &&
            TryAs<TagLib::Ogg::Opus::File>(source, stream, fields, info, stream, style))
          return true;
        return TryAs<TagLib::Ogg::Vorbis::File>(source, stream, fields, info, stream, style) ||
               TryAs<TagLib::Ogg::FLAC::File>(source, stream, fields, info, stream, style) ||
               (!opus_first &&
                TryAs<TagLib::Ogg::Opus::File>(source, stream, fields, info, stream, style));
      }
      case OtherFormat::kAac:
        if (!IsMp4(source)) return false;
        [[fallthrough]];
      case OtherFormat::kMp4:
        if (!Mp4Check(source).Sound()) return false;
        return TryAs<TagLib::MP4::File>(source, stream, fields, info, stream, style);
      case OtherFormat::kAsf:
        if (!AsfHeaderIsSound(source)) return false;
        return TryAs<TagLib::ASF::File>(source, stream, fields, info, stream, style);
    }
  } catch (const std::bad_alloc&) {
    fields = TagFields();
    info = StreamInfo();
  }
  return false;
}

}  // namespace veldra

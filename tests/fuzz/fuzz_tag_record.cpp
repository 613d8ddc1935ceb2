// Fuzz target: the tag cache's records. The first byte picks the file's format and the options;
// the rest is used twice. As a file: a read of it recorded, stored and parsed back must replay
// without a miss and give exactly what the read gave. As a stored record (a damaged database):
// parsed, and when it parses, replayed without harm.

#include <cstdint>
#include <string>
#include <string_view>

#include "tags/byte_ranges.h"
#include "tags/tag_reader.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

bool SameTags(const veldra::FileTags& a, const veldra::FileTags& b) {
  const veldra::TagFields& x = a.fields;
  const veldra::TagFields& y = b.fields;
  return x.title == y.title && x.artist == y.artist && x.album == y.album &&
         x.comment == y.comment && x.year == y.year && x.genre == y.genre && x.track == y.track &&
         a.stream.milliseconds == b.stream.milliseconds &&
         a.stream.bits_per_second == b.stream.bits_per_second && a.v1.Title == b.v1.Title &&
         a.v1.Artist == b.v1.Artist && a.v1.Genre == b.v1.Genre && a.v1.HasTag() == b.v1.HasTag();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace veldra;
  if (size == 0) return 0;
  static constexpr const char* kNames[] = {"x.mp3", "x.flac", "x.ogg", "x.opus", "x.m4a", "x.wma"};
  static const GenreTable genres;
  const std::string_view name = kNames[data[0] % 6];
  TagReadOptions options;
  options.all_tags = (data[0] & 0x80) == 0 || name != "x.mp3";
  options.stream = (data[0] & 0x40) != 0;
  options.columns = (data[0] & 0x20) != 0 ? 1u : 0x7Fu;
  options.genres = &genres;
  const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);

  MemorySource file(bytes);
  RecordingSource recording(file);
  FileTags direct;
  ReadFileTags(recording, name, options, direct);
  ByteRanges parsed;
  FUZZ_CHECK(ByteRanges::Parse(recording.Take().Serialize(), parsed));
  FileTags replayed;
  FUZZ_CHECK(ReadFileTagsFrom(parsed, name, options, replayed));
  FUZZ_CHECK(SameTags(direct, replayed));

  ByteRanges stored;
  if (ByteRanges::Parse(bytes, stored)) {
    FileTags out;
    ReadFileTagsFrom(stored, name, options, out);
  }
  return 0;
}

// Fuzz target: the TagLib calls for FLAC, Ogg, Opus, MP4 and ASF files, over our own bounded
// stream. The first byte picks the format; the rest is the file.

#include <cstdint>
#include <string>
#include <string_view>

#include "tags/taglib_reader.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace veldra;
  if (size == 0) return 0;
  static constexpr OtherFormat kFormats[] = {OtherFormat::kFlac, OtherFormat::kOgg,
                                             OtherFormat::kOpus, OtherFormat::kMp4,
                                             OtherFormat::kAac,  OtherFormat::kAsf};
  MemorySource source(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
  TagFields fields;
  StreamInfo info;
  const bool read = ReadOtherFormat(source, kFormats[data[0] % 6], true, fields, info);
  if (!read) FUZZ_CHECK(fields.title.empty() && info.milliseconds == -1);
  for (const std::string* text : {&fields.title, &fields.artist, &fields.comment, &fields.track}) {
    for (const char c : *text) FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20);
  }
  return 0;
}

// Fuzz target: decoding an ID3v1 block and turning its fields into cell texts.

#include <cstdint>
#include <cstring>
#include <string>

#include "tags/id3v1.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

void CheckText(const std::string& text) {
  FUZZ_CHECK(text.find('\0') == std::string::npos);
  FUZZ_CHECK(text.empty() || (text.front() != ' ' && text.back() != ' '));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace veldra;
  uint8_t block[128] = {};
  std::memcpy(block, data, size < 128 ? size : 128);
  Id3Tag tag;
  DecodeId3Block(block, tag);
  const bool tagged =
      (block[0] | 0x20) == 't' && (block[1] | 0x20) == 'a' && (block[2] | 0x20) == 'g';
  FUZZ_CHECK(tag.HasTag() == tagged);
  if (tagged) {
    FUZZ_CHECK(tag.Genre == block[127]);
    FUZZ_CHECK(tag.comment_tail[0] == block[125] && tag.comment_tail[1] == block[126]);
  } else {
    FUZZ_CHECK(tag.Genre == 0 && tag.Title == std::string(30, ' '));
  }
  for (const std::string* field : {&tag.Title, &tag.Artist, &tag.Album, &tag.Year, &tag.Comment})
    CheckText(CleanTagField(*field));
  const std::string track = TrackText(tag);
  if (!track.empty()) {
    FUZZ_CHECK(tag.HasTag() && block[125] == 0 && block[126] != 0);
    FUZZ_CHECK(std::stoi(track) == block[126] && track.size() >= 2);
  }
  return 0;
}

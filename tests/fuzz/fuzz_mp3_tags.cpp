// Fuzz target: everything read from an MP3 file with TAGS=ALL and the stream columns: ID3v2,
// APE, ID3v1 and the first MPEG frame. The first byte picks the code page; the rest is the file.

#include <cstdint>
#include <string>
#include <string_view>

#include "tags/tag_reader.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

// A column text as the tag reader hands it over: cleaned, so no control character and no blank
// at either end.
void CheckField(const std::string& text) {
  for (const char c : text) {
    const auto b = static_cast<unsigned char>(c);
    FUZZ_CHECK(b >= 0x20 && b != 0x7F);
  }
  FUZZ_CHECK(text.empty() || (text.front() != ' ' && text.back() != ' '));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace veldra;
  if (size == 0) return 0;
  static constexpr int kCodePages[] = {932, 1252, 65001, 949, 1251, 936};
  static const GenreTable genres = [] {
    GenreTable table;
    table[17] = "Rock";
    table[255] = "  ";
    return table;
  }();
  TagReadOptions options;
  options.all_tags = (data[0] & 0x80) == 0;
  options.stream = true;
  options.code_page = kCodePages[data[0] % 6];
  options.genres = &genres;
  MemorySource source(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
  FileTags out;
  ReadFileTags(source, "fuzz.mp3", options, out);
  const TagFields& f = out.fields;
  for (const std::string* text :
       {&f.title, &f.artist, &f.album, &f.comment, &f.year, &f.genre, &f.track})
    CheckField(*text);
  if (!options.all_tags) FUZZ_CHECK(f.title.empty() && f.genre.empty());
  FUZZ_CHECK(out.stream.milliseconds >= -1 && out.stream.bits_per_second >= -1);
  PlayTimeText(out.stream.milliseconds);
  BitrateText(out.stream.bits_per_second);
  return 0;
}

#pragma once
// A narrow ID3v2 reader (versions 2.2, 2.3 and 2.4) for the text frames the tag columns show.
// Frames are read one at a time by their sizes, so a picture is skipped, never read; every size
// is checked against the tag's and the file's real size.

#include <cstdint>

#include "tags/byte_source.h"
#include "tags/genre_table.h"
#include "tags/tag_text.h"

namespace veldra {

struct Id3v2Result {
  bool found = false;   // an ID3v2 header at the start of the file
  int64_t tag_end = 0;  // where the audio begins: after the tag (and its footer), or 0
};

// Reads the tag at the start of the source into fields (cleaned column texts). Text marked
// Latin-1 is decoded with code_page; UTF-16 (with or without a byte order mark; little-endian
// when it has none), UTF-16BE and UTF-8 as declared. With fields null only the header is read
// (to find where the audio begins). A damaged tag gives the frames before the damage.
Id3v2Result ReadId3v2(WindowedReader& reader, int code_page, const GenreTable& genres,
                      TagFields* fields);

}  // namespace veldra

#pragma once
// One file's tag columns and stream facts, from every source the set asks for: the classic
// ID3v1 block, or (TAGS=ALL) ID3v2, APE and ID3v1 of MP3 files and the tags of other formats.

#include <cstdint>
#include <string>

#include "platform/read_only_file.h"
#include "tags/byte_ranges.h"
#include "tags/byte_source.h"
#include "tags/genre_table.h"
#include "tags/id3v1.h"
#include "tags/tag_text.h"

namespace veldra {

struct TagReadOptions {
  bool all_tags = false;  // TAGS=ALL
  bool tags = true;       // a tag column is shown
  bool stream = false;    // PLAY TIME or BITRATE is shown
  int code_page = 932;
  // The tag columns shown, one bit each in TagFields order (title 1, artist 2, album 4,
  // comment 8, year 16, genre 32, track 64): with TAGS=ALL, an MP3 file whose ID3v2 tag has
  // all of them is not read further.
  unsigned columns = 0x7F;
  const GenreTable* genres = nullptr;
};

struct FileTags {
  Id3Tag v1;          // the classic record (fresh when not read)
  TagFields fields;   // TAGS=ALL: cleaned column texts, "" where no source has one
  StreamInfo stream;  // play time and bitrate, where known
};

// Reads everything options ask for from source, whose name (the file name) decides the format:
// names ending in "mp3" without regard to case (no dot needed) are MP3 files in both modes;
// other formats only with all_tags. A damaged or unreadable part leaves its part of out empty.
void ReadFileTags(ByteSource& source, std::string_view name, const TagReadOptions& options,
                  FileTags& out);

// ReadFileTags on the file at path, opened as a regular file without blocking (anything else
// leaves out fresh). With cached_only, false (and out fresh) when a read would have waited for
// the disk: the caller reads that file again, elsewhere.
bool ReadFileTagsAt(const std::string& path, std::string_view name, const TagReadOptions& options,
                    FileTags& out, bool cached_only = false);

// ReadFileTagsAt on a file the caller opened (and keeps open, to try again without waiting).
bool ReadFileTagsIn(const ReadOnlyFile& file, std::string_view name, const TagReadOptions& options,
                    FileTags& out, bool cached_only);

// ReadFileTagsIn keeping in *record the byte ranges the read used (for a later
// ReadFileTagsFrom); record is left empty when the read did not finish.
bool ReadFileTagsIn(const ReadOnlyFile& file, std::string_view name, const TagReadOptions& options,
                    FileTags& out, bool cached_only, ByteRanges* record);

// ReadFileTags from byte ranges an earlier read of the unchanged file kept. False (and out fresh)
// when this read needs bytes they do not hold (another set shows more): read the file then.
bool ReadFileTagsFrom(const ByteRanges& ranges, std::string_view name,
                      const TagReadOptions& options, FileTags& out);

// True when a file of that name has something for ReadFileTags under options.
bool HasTagsToRead(std::string_view name, const TagReadOptions& options);

// The classic record's columns as TAGS=ALL cell texts (ID3v1 as the last source of an MP3 file).
TagFields FieldsOfId3v1(const Id3Tag& tag, const GenreTable& genres);

}  // namespace veldra

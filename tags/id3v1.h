#pragma once
// The ID3 version 1 block: the last 128 bytes of an MP3 file.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/file_tail.h"

namespace veldra {

// An ID3v1 block is the last kId3BlockSize bytes of a file.
inline constexpr size_t kId3BlockSize = 128;

// The fields of an ID3v1 block. Text fields hold the field's bytes decoded from CP932 one field at
// a time, fill characters (NUL or blanks) included. A fresh record is all NUL with Genre 0.
struct Id3Tag {
  std::string Marker = std::string(3, '\0');
  std::string Title = std::string(30, '\0');
  std::string Artist = std::string(30, '\0');
  std::string Album = std::string(30, '\0');
  std::string Year = std::string(4, '\0');
  std::string Comment = std::string(30, '\0');
  uint8_t Genre = 0;
  // The last two bytes of the comment field as stored (block bytes 125 and 126): an ID3v1.1 tag
  // keeps its track number there, which the decoded Comment cannot show.
  std::array<uint8_t, 2> comment_tail{0, 0};

  // True when Marker is "TAG" without regard to case.
  bool HasTag() const;
};

enum class Id3ReadResult {
  kNotMp3,      // the name does not end in "mp3" (any case); the record is untouched
  kRead,        // the block was read; without a "TAG" marker the text fields are all blanks
  kTooShort,    // the file is shorter than 128 bytes; the record is untouched
  kUnreadable,  // the file could not be opened or read; the record is untouched
};

// Reads the last 128 bytes of the file at path into tag, when the path ends in "mp3" without
// regard to case. Never throws; the caller keeps its row whatever happens.
Id3ReadResult ReadId3Tag(const std::string& path, Id3Tag& tag);

// True when the name ends in "mp3" without regard to case (no dot needed): the files whose tag
// is read.
bool IsMp3Name(std::string_view path);

// What ReadId3Tag gives for a file whose last 128 bytes ReadFileTails read (without a listed
// size, or with the size the file has).
Id3ReadResult DecodeId3Tail(const FileTail& tail, Id3Tag& tag);

// Decodes a 128-byte block into tag (the part of ReadId3Tag after the read).
void DecodeId3Block(const uint8_t (&block)[128], Id3Tag& tag);
// The same with the text fields in a code page (see DecodeCodePage); 932 is the call above.
void DecodeId3Block(const uint8_t (&block)[128], Id3Tag& tag, int code_page);

// The text of a tag field or genre name: cut at the first NUL, blanks (U+0020) trimmed; "" when
// nothing is left.
std::string CleanTagField(const std::string& field);

// The ID3v1.1 track text: the track byte formatted with at least two digits when the tag is
// present, comment byte 29 is 0 and byte 30 is not; otherwise "".
std::string TrackText(const Id3Tag& tag);

}  // namespace veldra

#include "tags/id3v1.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "platform/code_page.h"
#include "platform/cp932.h"
#include "platform/text_compare.h"
#include "platform/text_trim.h"

namespace veldra {
namespace {

constexpr size_t kBlockSize = kId3BlockSize;

// Offsets and widths of the text fields in the block.
struct FieldPlace {
  std::string Id3Tag::*field;
  size_t offset;
  size_t width;
};
constexpr FieldPlace kTextFields[] = {
    {&Id3Tag::Marker, 0, 3},  {&Id3Tag::Title, 3, 30}, {&Id3Tag::Artist, 33, 30},
    {&Id3Tag::Album, 63, 30}, {&Id3Tag::Year, 93, 4},  {&Id3Tag::Comment, 97, 30},
};
constexpr size_t kGenreOffset = 127;
constexpr size_t kCommentTailOffset = 125;

// The bytes without a last lead byte that has no trail byte after it.
std::string_view WithoutLoneLeadByte(std::string_view bytes) {
  size_t i = 0;
  while (i < bytes.size()) {
    if (!IsCp932LeadByte(static_cast<unsigned char>(bytes[i]))) {
      ++i;
    } else if (i + 1 < bytes.size()) {
      i += 2;
    } else {
      return bytes.substr(0, i);
    }
  }
  return bytes;
}

// Decodes one field on its own. NUL bytes stay U+0000 so the record keeps the field's layout; a
// lead byte left without its trail byte (before a NUL or at the field's end, where a tagger cut
// a two-byte character in half) is dropped rather than shown as a replacement character.
std::string DecodeField(std::string_view bytes, int code_page) {
  std::string text;
  text.reserve(bytes.size());
  size_t start = 0;
  while (start <= bytes.size()) {
    size_t nul = bytes.find('\0', start);
    if (nul == std::string_view::npos) nul = bytes.size();
    const std::string_view run = bytes.substr(start, nul - start);
    if (!run.empty()) {
      text += code_page == kDefaultCodePage
                  ? DecodeCp932(WithoutLoneLeadByte(run), Cp932Escape::kHtml)
                  : DecodeCodePage(code_page, run);
    }
    if (nul == bytes.size()) break;
    text += '\0';
    start = nul + 1;
  }
  return text;
}

Id3ReadResult ResultOf(TailReadResult read) {
  switch (read) {
    case TailReadResult::kRead:
      return Id3ReadResult::kRead;
    case TailReadResult::kTooShort:
      return Id3ReadResult::kTooShort;
    case TailReadResult::kUnreadable:
      break;
  }
  return Id3ReadResult::kUnreadable;
}

}  // namespace

bool Id3Tag::HasTag() const { return EqualsAsciiNoCase(Marker, "TAG"); }

void DecodeId3Block(const uint8_t (&block)[128], Id3Tag& tag) {
  DecodeId3Block(block, tag, kDefaultCodePage);
}

void DecodeId3Block(const uint8_t (&block)[128], Id3Tag& tag, int code_page) {
  const std::string_view bytes(reinterpret_cast<const char*>(block), kBlockSize);
  // ASCII (NULs included) decodes to itself in CP932 and UTF-8 (not in every code page: EBCDIC
  // ones differ); assigning it keeps the record's own buffer.
  const bool ascii_as_is = code_page == kDefaultCodePage || code_page == 65001;
  for (const FieldPlace& place : kTextFields) {
    const std::string_view field = bytes.substr(place.offset, place.width);
    if (ascii_as_is && std::all_of(field.begin(), field.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
      (tag.*place.field).assign(field);
    } else {
      tag.*place.field = DecodeField(field, code_page);
    }
  }
  tag.Genre = block[kGenreOffset];
  tag.comment_tail = {block[kCommentTailOffset], block[kCommentTailOffset + 1]};
  if (tag.HasTag()) return;
  for (const FieldPlace& place : kTextFields) tag.*place.field = std::string(place.width, ' ');
  tag.Genre = 0;
  tag.comment_tail = {0, 0};
}

bool IsMp3Name(std::string_view path) {
  // Only the last three characters count; no dot is needed before them.
  return path.size() >= 3 && EqualsAsciiNoCase(path.substr(path.size() - 3), "mp3");
}

Id3ReadResult ReadId3Tag(const std::string& path, Id3Tag& tag) {
  if (!IsMp3Name(path)) return Id3ReadResult::kNotMp3;
  uint8_t block[kBlockSize];
  const Id3ReadResult result = ResultOf(ReadFileTail(path, kBlockSize, block));
  if (result == Id3ReadResult::kRead) DecodeId3Block(block, tag);
  return result;
}

Id3ReadResult DecodeId3Tail(const FileTail& tail, Id3Tag& tag) {
  if (!IsMp3Name(tail.name)) return Id3ReadResult::kNotMp3;
  const Id3ReadResult result = ResultOf(tail.result);
  if (result != Id3ReadResult::kRead || tail.bytes.size() != kBlockSize) return result;
  uint8_t block[kBlockSize];
  std::copy(tail.bytes.begin(), tail.bytes.end(), block);
  DecodeId3Block(block, tag);
  return result;
}

std::string CleanTagField(const std::string& field) {
  return TrimBlanks(std::string_view(field).substr(0, field.find('\0')));
}

std::string TrackText(const Id3Tag& tag) {
  // ID3v1.1 keeps the track in the comment's last byte, after a zero byte.
  if (!tag.HasTag() || tag.comment_tail[0] != 0 || tag.comment_tail[1] == 0) return "";
  char text[8];
  std::snprintf(text, sizeof text, "%02d", static_cast<int>(tag.comment_tail[1]));
  return text;
}

}  // namespace veldra

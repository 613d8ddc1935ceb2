#pragma once
// The texts of the tag columns when tags come from ID3v2, APE and other formats, and the rules
// that turn a source's text into cell text.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tags/genre_table.h"

namespace veldra {

// One file's column texts, UTF-8, not escaped; "" where no source has the column.
struct TagFields {
  std::string title;
  std::string artist;
  std::string album;
  std::string comment;
  std::string year;
  std::string genre;
  std::string track;

  // Fills each empty column from other (the next source in order).
  void FillFrom(const TagFields& other);
};

// What the audio stream tells about play time and bitrate; -1 where it tells nothing.
struct StreamInfo {
  int64_t milliseconds = -1;
  int64_t bits_per_second = -1;
};

// Control characters (C0, DEL, C1) become blanks; blanks at either end are removed. A column
// "has" a text when this is not empty.
std::string CleanText(std::string_view text);

// Several values of one field: cleaned, empty ones dropped, joined with " / ".
std::string JoinValues(const std::vector<std::string>& values);

// The year part of a date ("2004-05-06T10:00" gives "2004"); a text not starting with four
// digits is kept as it is.
std::string YearText(std::string_view date);

// A track as the classic column shows it: "3/12" and "3" give "03"; a text that is not a
// number is kept as it is.
std::string TrackNumberText(std::string_view track);

// An ID3v2 genre (TCON) value in any of its forms: "(17)", "17", "(17)Rock", "Rock", "(RX)",
// "(CR)", "((text" for a text starting with "(". Numbers 0 to 255 go through the table (a number
// whose name is empty, or past the table, shows as the number); a refinement equal to the
// numbered genre's name shows once, another one after it.
std::string GenreText(std::string_view tcon, const GenreTable& genres);

// "m:ss", or "h:mm:ss" from an hour, rounded to the nearest second; "" when unknown.
std::string PlayTimeText(int64_t milliseconds);
// "128kbps", rounded to the nearest kbit/s; "" when unknown.
std::string BitrateText(int64_t bits_per_second);

// Decoders of the text encodings tags use; ill-formed input becomes U+FFFD, never an error.
std::string Utf16ToUtf8(std::string_view bytes, bool big_endian);
std::string Utf8Lenient(std::string_view bytes);

}  // namespace veldra

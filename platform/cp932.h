#pragma once
// Shift-JIS (CP932, the Windows variant) text conversion. Text inside the program is UTF-8;
// every file the program reads or writes is CP932.

#include <cstdint>
#include <string>
#include <string_view>

namespace veldra {

// How text that CP932 cannot hold is written into CP932 bytes.
enum class Cp932Escape {
  // Pages: a character CP932 lacks becomes an HTML numeric character reference "&#N;" (N decimal);
  // a byte that is not part of valid UTF-8 becomes "&#65533;" (the replacement character).
  kHtml,
  // Snapshot fields and INI values, lossless: a character CP932 lacks becomes "&#N;", a byte that
  // is not valid UTF-8 becomes "&#N;" with N = 0xDC00 + byte, and a literal "&#" becomes "&#38;#".
  // DecodeCp932(..., kRoundTrip) gives back exactly the original bytes.
  kRoundTrip,
};

// UTF-8 (possibly invalid) to CP932 bytes. Characters CP932 maps only one way (fallbacks) count as
// missing, so every written character reads back as itself.
std::string EncodeCp932(std::string_view utf8, Cp932Escape escape);

// EncodeCp932 appending to out, for writers that build a whole file in one buffer.
void AppendCp932(std::string& out, std::string_view utf8, Cp932Escape escape);

// Appends the CP932 bytes of one Unicode scalar value, or "&#N;" when CP932 lacks it: what
// AppendCp932(..., kHtml) writes for that character. For writers that convert as they go.
void AppendCp932Char(std::string& out, uint32_t c);

// CP932 bytes to UTF-8. Bytes that are not valid CP932 become U+FFFD. With kRoundTrip only the
// references EncodeCp932(kRoundTrip) writes are turned back into what it made them from: a
// character CP932 lacks, a byte escape U+DC80-U+DCFF, and "&#38;" before "#". Every other "&#N;"
// (such as "&#60;" or "&#10;" typed into a set on Windows) stays literal text. With kHtml the
// text is left as is.
std::string DecodeCp932(std::string_view cp932, Cp932Escape escape);

// True for a byte that starts a two-byte CP932 character (0x81-0x9F, 0xE0-0xFC).
constexpr bool IsCp932LeadByte(unsigned char b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Cuts CP932 bytes to at most max_bytes, never leaving half of a two-byte character at the end.
std::string_view CutCp932(std::string_view cp932, size_t max_bytes);

}  // namespace veldra

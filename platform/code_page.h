#pragma once
// Legacy code pages for tag text: ID3v1 fields and ID3v2 frames marked Latin-1 hold bytes in
// whatever code page their tagger used (Shift-JIS for years on Japanese systems).

#include <string>
#include <string_view>

namespace veldra {

// The code page tag text is read with when the set names none.
inline constexpr int kDefaultCodePage = 932;

// The number of a code page setting ("932", "1252", "65001", blanks around allowed), or 0 when
// the text is no decimal number or names a code page this system cannot decode.
int ParseCodePage(std::string_view text);

// Bytes in a Windows code page to UTF-8. 932 decodes exactly as DecodeCp932 does for pages;
// 65001 is UTF-8 (ill-formed bytes become U+FFFD); any other number goes through ICU's
// "windows-N" (or "cpN") converter. Bytes that are no character become U+FFFD; an unknown code
// page decodes as 932. Safe from any thread.
std::string DecodeCodePage(int code_page, std::string_view bytes);

}  // namespace veldra

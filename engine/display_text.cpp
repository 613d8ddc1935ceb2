#include "engine/display_text.h"

#include <cstdint>

#include "platform/utf8.h"

namespace veldra {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

constexpr bool IsControl(uint32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

}  // namespace

std::string ReplaceControls(std::string_view utf8, bool keep_line_feed, bool noncharacters) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    uint32_t c = 0;
    const size_t len = DecodeUtf8(utf8, i, c);
    if (len == 0 || (IsControl(c) && !(c == '\n' && keep_line_feed)) ||
        (noncharacters && (c == 0xFFFE || c == 0xFFFF))) {
      out += kReplacement;
      i += len == 0 ? 1 : len;
    } else {
      out.append(utf8, i, len);
      i += len;
    }
  }
  return out;
}

}  // namespace veldra

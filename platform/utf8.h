#pragma once
// Strict UTF-8 decoding and encoding of single code points, shared by the platform's text code.

#include <cstdint>
#include <string>
#include <string_view>

namespace veldra {

// True for a Unicode scalar value (a code point that is not a surrogate).
constexpr bool IsScalarValue(uint32_t c) { return c < 0xD800 || (c > 0xDFFF && c <= 0x10FFFF); }

// Decodes the well-formed UTF-8 sequence at text[pos] into c and returns its length in bytes;
// returns 0 when the bytes there are not well-formed (overlong forms and surrogates included).
inline size_t DecodeUtf8(std::string_view text, size_t pos, uint32_t& c) {
  const auto at = [&](size_t k) { return static_cast<unsigned char>(text[pos + k]); };
  const size_t left = text.size() - pos;
  const unsigned char b0 = at(0);
  if (b0 < 0x80) {
    c = b0;
    return 1;
  }
  size_t len = 0;
  unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    len = 2;
    c = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    len = 3;
    c = b0 & 0x0F;
    if (b0 == 0xE0) lo = 0xA0;
    if (b0 == 0xED) hi = 0x9F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    len = 4;
    c = b0 & 0x07;
    if (b0 == 0xF0) lo = 0x90;
    if (b0 == 0xF4) hi = 0x8F;
  } else {
    return 0;
  }
  if (left < len) return 0;
  for (size_t k = 1; k < len; ++k) {
    const unsigned char b = at(k);
    if (b < (k == 1 ? lo : 0x80) || b > (k == 1 ? hi : 0xBF)) return 0;
    c = c << 6 | (b & 0x3F);
  }
  return len;
}

// Writes the UTF-8 form of a scalar value (1 to 4 bytes) to out and returns its length.
inline size_t WriteUtf8(uint32_t c, char* out) {
  if (c < 0x80) {
    out[0] = static_cast<char>(c);
    return 1;
  }
  if (c < 0x800) {
    out[0] = static_cast<char>(0xC0 | c >> 6);
    out[1] = static_cast<char>(0x80 | (c & 0x3F));
    return 2;
  }
  if (c < 0x10000) {
    out[0] = static_cast<char>(0xE0 | c >> 12);
    out[1] = static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out[2] = static_cast<char>(0x80 | (c & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | c >> 18);
  out[1] = static_cast<char>(0x80 | (c >> 12 & 0x3F));
  out[2] = static_cast<char>(0x80 | (c >> 6 & 0x3F));
  out[3] = static_cast<char>(0x80 | (c & 0x3F));
  return 4;
}

// Appends the UTF-8 form of a scalar value.
inline void AppendUtf8(std::string& out, uint32_t c) {
  char bytes[4];
  out.append(bytes, WriteUtf8(c, bytes));
}

}  // namespace veldra

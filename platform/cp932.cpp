#include "platform/cp932.h"

#include <unicode/ucnv.h>
#include <unicode/uset.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>

#include "platform/utf8.h"

namespace veldra {
namespace {

constexpr char16_t kNoChar = 0xFFFF;  // a noncharacter: no CP932 byte sequence decodes to it

// Both directions of the converter as lookup tables, built once from ICU's Windows CP932 table
// with fallbacks off. After that, conversion is a table lookup, needs no converter object and is
// safe from any number of threads.
struct Cp932Tables {
  // Indexed by byte (single) or lead << 8 | trail (pair); kNoChar where the bytes are no character.
  std::array<char16_t, 0x10000> decode;
  // Indexed by BMP code point: 0 = not in CP932, < 0x100 one byte, else lead << 8 | trail.
  std::array<uint16_t, 0x10000> encode;
};

// Decodes one byte sequence through ICU; kNoChar unless it is exactly one BMP character.
char16_t DecodeWithIcu(UConverter* cnv, const char* bytes, int32_t length) {
  UErrorCode status = U_ZERO_ERROR;
  ucnv_resetToUnicode(cnv);
  char16_t out[4];
  const int32_t n = ucnv_toUChars(cnv, out, 4, bytes, length, &status);
  if (U_FAILURE(status) || n != 1 || out[0] == kNoChar || U16_IS_SURROGATE(out[0])) return kNoChar;
  return out[0];
}

void BuildTables(Cp932Tables& t) {
  t.decode.fill(kNoChar);
  t.encode.fill(0);
  for (int b = 0; b < 0x80; ++b) {
    t.decode[b] = static_cast<char16_t>(b);
    t.encode[b] = static_cast<uint16_t>(b);
  }
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<UConverter, decltype(&ucnv_close)> cnv(ucnv_open("ibm-943_P15A-2003", &status),
                                                         &ucnv_close);
  if (U_FAILURE(status) || !cnv) return;  // no ICU data: only ASCII converts
  ucnv_setFallback(cnv.get(), false);
  // Stop callbacks: an unmapped sequence is an error rather than a substitute character.
  status = U_ZERO_ERROR;
  ucnv_setToUCallBack(cnv.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  ucnv_setFromUCallBack(cnv.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);

  for (int b = 0x80; b < 0x100; ++b) {
    if (IsCp932LeadByte(static_cast<unsigned char>(b))) {
      for (int trail = 0x40; trail <= 0xFC; ++trail) {
        if (trail == 0x7F) continue;
        const char pair[2] = {static_cast<char>(b), static_cast<char>(trail)};
        t.decode[b << 8 | trail] = DecodeWithIcu(cnv.get(), pair, 2);
      }
    } else {
      const char single = static_cast<char>(b);
      t.decode[b] = DecodeWithIcu(cnv.get(), &single, 1);
    }
  }

  // Encoding: only characters that CP932 maps both ways; each must read back as itself.
  status = U_ZERO_ERROR;
  USet* set = uset_openEmpty();
  ucnv_getUnicodeSet(cnv.get(), set, UCNV_ROUNDTRIP_SET, &status);
  if (U_SUCCESS(status)) {
    const int32_t ranges = uset_getItemCount(set);
    for (int32_t r = 0; r < ranges; ++r) {
      UChar32 start = 0, end = 0;
      UErrorCode item_status = U_ZERO_ERROR;
      if (uset_getItem(set, r, &start, &end, nullptr, 0, &item_status) != 0) continue;  // a string
      for (UChar32 c = std::max<UChar32>(start, 0x80); c <= end && c < 0x10000; ++c) {
        if (U16_IS_SURROGATE(c)) continue;
        const char16_t unit = static_cast<char16_t>(c);
        char bytes[8];
        UErrorCode conv_status = U_ZERO_ERROR;
        ucnv_resetFromUnicode(cnv.get());
        const int32_t n = ucnv_fromUChars(cnv.get(), bytes, sizeof bytes, &unit, 1, &conv_status);
        if (U_FAILURE(conv_status)) continue;
        uint16_t code = 0;
        if (n == 1) {
          code = static_cast<unsigned char>(bytes[0]);
        } else if (n == 2 && IsCp932LeadByte(static_cast<unsigned char>(bytes[0]))) {
          code = static_cast<uint16_t>(static_cast<unsigned char>(bytes[0]) << 8 |
                                       static_cast<unsigned char>(bytes[1]));
        }
        if (code >= 0x80 && t.decode[code] == unit) t.encode[c] = code;
      }
    }
  }
  uset_close(set);
}

const Cp932Tables& Tables() {
  // Built on first use; never freed, so threads still converting at exit are safe.
  static const Cp932Tables* tables = [] {
    auto* t = new Cp932Tables;
    BuildTables(*t);
    return t;
  }();
  return *tables;
}

void AppendReference(std::string& out, uint32_t n) {
  char digits[12];
  int len = 0;
  do {
    digits[len++] = static_cast<char>('0' + n % 10);
    n /= 10;
  } while (n != 0);
  out += "&#";
  while (len > 0) out += digits[--len];
  out += ';';
}

// The number of ASCII bytes from text[pos] on up to the first other byte; eight at a time.
size_t AsciiRun(std::string_view text, size_t pos) {
  const char* const begin = text.data() + pos;
  const char* const end = text.data() + text.size();
  const char* p = begin;
  for (; end - p >= 8; p += 8) {
    uint64_t word;
    std::memcpy(&word, p, 8);
    if ((word & 0x8080808080808080u) != 0) break;
  }
  while (p != end && static_cast<unsigned char>(*p) < 0x80) ++p;
  return static_cast<size_t>(p - begin);
}

bool IsAscii(std::string_view text) { return AsciiRun(text, 0) == text.size(); }

void AppendCharFrom(const Cp932Tables& t, std::string& out, uint32_t c) {
  const uint16_t code = c < 0x10000 ? t.encode[c] : 0;
  if (code == 0) {
    AppendReference(out, c);
  } else if (code < 0x100) {
    out += static_cast<char>(code);
  } else {
    const char pair[2] = {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
    out.append(pair, 2);
  }
}

// Parses "&#N;" at text[pos] (N decimal, no leading zero); returns its length or 0.
size_t ParseReference(std::string_view text, size_t pos, uint32_t& value) {
  if (pos + 3 >= text.size() || text[pos] != '&' || text[pos + 1] != '#') return 0;
  size_t i = pos + 2;
  uint32_t n = 0;
  const size_t first_digit = i;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i - first_digit < 8) {
    n = n * 10 + static_cast<uint32_t>(text[i] - '0');
    ++i;
  }
  const size_t digits = i - first_digit;
  if (digits == 0 || digits > 7 || i >= text.size() || text[i] != ';') return 0;
  if (digits > 1 && text[first_digit] == '0') return 0;
  value = n;
  return i + 1 - pos;
}

// True when EncodeCp932(kRoundTrip) writes the character n as "&#n;": one CP932 lacks. Any other
// reference in a file (a set written on Windows holding "&#60;" or "&#10;") is the user's text.
bool IsEscapedCharacter(const Cp932Tables& t, uint32_t n) {
  if (n < 0x80 || !IsScalarValue(n)) return false;
  return n >= 0x10000 || t.encode[n] == 0;
}

// True when DecodeCp932(kRoundTrip) turns the "&#N;" at text[pos] into something else. The
// encoder writes the "&#" of exactly these as "&#38;#", so that all other text, references
// included, is written as it stands and a set written on Windows saves back unchanged.
bool IsDecodedReference(const Cp932Tables& t, std::string_view text, size_t pos) {
  uint32_t n = 0;
  const size_t len = ParseReference(text, pos, n);
  if (len == 0) return false;
  if (n >= 0xDC80 && n <= 0xDCFF) return true;
  if (n == '&') return pos + len < text.size() && text[pos + len] == '#';
  return IsEscapedCharacter(t, n);
}

}  // namespace

void AppendCp932Char(std::string& out, uint32_t c) { AppendCharFrom(Tables(), out, c); }

void AppendCp932(std::string& out, std::string_view utf8, Cp932Escape escape) {
  const bool round_trip = escape == Cp932Escape::kRoundTrip;
  size_t i = AsciiRun(utf8, 0);
  if (i == utf8.size() && (!round_trip || utf8.find("&#") == std::string_view::npos)) {
    out.append(utf8);
    return;
  }
  const Cp932Tables& t = Tables();
  if (round_trip) {
    i = 0;  // every "&" is looked at
  } else {
    out.append(utf8.data(), i);  // the leading ASCII run, as found above
  }
  while (i < utf8.size()) {
    const unsigned char b = static_cast<unsigned char>(utf8[i]);
    if (b < 0x80) {
      if (!round_trip) {
        // ASCII stands for itself: copy the whole run at once.
        const size_t run = AsciiRun(utf8, i);
        out.append(utf8.data() + i, run);
        i += run;
      } else if (b == '&') {
        if (IsDecodedReference(t, utf8, i)) {
          out += "&#38;#";
          i += 2;
        } else {
          out += '&';
          ++i;
        }
      } else {
        // Only "&" needs a look: copy the ASCII run up to the next one at once.
        const size_t run = AsciiRun(utf8, i);
        const void* amp = std::memchr(utf8.data() + i, '&', run);
        const size_t plain =
            amp == nullptr ? run : static_cast<const char*>(amp) - (utf8.data() + i);
        out.append(utf8.data() + i, plain);
        i += plain;
      }
      continue;
    }
    uint32_t c = 0;
    const size_t len = DecodeUtf8(utf8, i, c);
    if (len == 0) {
      AppendReference(out, round_trip ? 0xDC00 + b : 0xFFFD);
      ++i;
      continue;
    }
    AppendCharFrom(t, out, c);
    i += len;
  }
}

std::string EncodeCp932(std::string_view utf8, Cp932Escape escape) {
  std::string out;
  out.reserve(utf8.size());
  AppendCp932(out, utf8, escape);
  return out;
}

std::string DecodeCp932(std::string_view cp932, Cp932Escape escape) {
  const bool round_trip = escape == Cp932Escape::kRoundTrip;
  if (IsAscii(cp932) && (!round_trip || cp932.find("&#") == std::string_view::npos))
    return std::string(cp932);
  const Cp932Tables& t = Tables();
  std::string out;
  out.reserve(cp932.size() + cp932.size() / 2);
  size_t i = 0;
  while (i < cp932.size()) {
    const unsigned char b = static_cast<unsigned char>(cp932[i]);
    if (b < 0x80 && (b != '&' || !round_trip)) {
      // ASCII stands for itself, apart from the "&" of a reference: copy the run up to it at once.
      const size_t run = AsciiRun(cp932, i);
      const void* amp = round_trip ? std::memchr(cp932.data() + i, '&', run) : nullptr;
      const size_t plain =
          amp == nullptr ? run : static_cast<const char*>(amp) - (cp932.data() + i);
      out.append(cp932.data() + i, plain);
      i += plain;
      continue;
    }
    if (b < 0x80) {
      uint32_t n = 0;
      const size_t len = ParseReference(cp932, i, n);
      if (len != 0 && n >= 0xDC80 && n <= 0xDCFF) {
        out += static_cast<char>(n - 0xDC00);  // a byte that was not valid UTF-8
        i += len;
      } else if (len != 0 && IsDecodedReference(t, cp932, i)) {
        // A character CP932 lacks, or "&#38;" before "#": a literal "&" whose "#" follows.
        AppendUtf8(out, n);
        i += len;
      } else {
        out += static_cast<char>(b);
        ++i;
      }
      continue;
    }
    // A lead byte whose pair is no character stands alone, so the byte after it (often an
    // ASCII delimiter) is still read as itself.
    if (IsCp932LeadByte(b) && i + 1 < cp932.size()) {
      const char16_t c = t.decode[b << 8 | static_cast<unsigned char>(cp932[i + 1])];
      if (c != kNoChar) {
        AppendUtf8(out, c);
        i += 2;
        continue;
      }
    }
    const char16_t c = IsCp932LeadByte(b) ? kNoChar : t.decode[b];
    AppendUtf8(out, c == kNoChar ? 0xFFFD : c);
    ++i;
  }
  return out;
}

std::string_view CutCp932(std::string_view cp932, size_t max_bytes) {
  if (cp932.size() <= max_bytes) return cp932;
  size_t i = 0;
  while (i < max_bytes) {
    const size_t len = IsCp932LeadByte(static_cast<unsigned char>(cp932[i])) ? 2 : 1;
    if (i + len > max_bytes) break;
    i += len;
  }
  return cp932.substr(0, i);
}

}  // namespace veldra

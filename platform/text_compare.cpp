#include "platform/text_compare.h"

#include <unicode/uchar.h>
#include <unicode/ucol.h>
#include <unicode/ustring.h>

#include <algorithm>

#include "platform/utf8.h"

namespace veldra {
namespace {

constexpr char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

// The bytes of a text's case-folded form (full folding), produced one character at a time so that
// comparisons stop at the first difference without folding or allocating the whole text. Bytes
// that are not valid UTF-8 come out as they are.
class FoldedBytes {
 public:
  FoldedBytes(std::string_view text, size_t pos) : text_(text), pos_(pos) {}

  // The next byte, or false at the end.
  bool Next(unsigned char& out) {
    if (pending_ == pending_end_ && !Refill()) return false;
    out = static_cast<unsigned char>(*pending_++);
    return true;
  }

 private:
  bool Refill() {
    if (pos_ >= text_.size()) return false;
    const unsigned char b = static_cast<unsigned char>(text_[pos_]);
    if (b < 0x80) {
      folded_[0] = LowerAscii(static_cast<char>(b));
      SetPending(folded_, 1);
      ++pos_;
      return true;
    }
    uint32_t c = 0;
    const size_t len = DecodeUtf8(text_, pos_, c);
    if (len == 0 || !u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_CHANGES_WHEN_CASEFOLDED)) {
      SetPending(text_.data() + pos_, len == 0 ? 1 : len);
      pos_ += len == 0 ? 1 : len;
      return true;
    }
    pos_ += len;
    char16_t unit[2];
    int32_t unit_len = 0;
    U16_APPEND_UNSAFE(unit, unit_len, c);
    char16_t folded16[8];
    UErrorCode status = U_ZERO_ERROR;
    const int32_t n = u_strFoldCase(folded16, 8, unit, unit_len, U_FOLD_CASE_DEFAULT, &status);
    size_t length = 0;
    if (U_FAILURE(status)) {
      length = WriteUtf8(c, folded_);
    } else {
      // A full folding is at most three characters, 12 bytes: folded_ holds them.
      for (int32_t i = 0; i < n && length + 4 <= sizeof folded_;) {
        UChar32 f = 0;
        U16_NEXT(folded16, i, n, f);
        length += WriteUtf8(static_cast<uint32_t>(f), folded_ + length);
      }
    }
    SetPending(folded_, length);
    return true;
  }

  void SetPending(const char* begin, size_t length) {
    pending_ = begin;
    pending_end_ = begin + length;
  }

  std::string_view text_;
  size_t pos_;
  char folded_[16];
  const char* pending_ = nullptr;
  const char* pending_end_ = nullptr;
};

// Compares the folded texts of a and b byte by byte. The common all-ASCII prefix is compared in
// place; folding is per character, so the rest can be folded on its own.
int CompareFolded(std::string_view a, std::string_view b) {
  size_t i = 0;
  const size_t n = std::min(a.size(), b.size());
  for (; i < n; ++i) {
    const unsigned char ca = static_cast<unsigned char>(a[i]);
    const unsigned char cb = static_cast<unsigned char>(b[i]);
    if (ca >= 0x80 || cb >= 0x80) break;
    const char la = LowerAscii(static_cast<char>(ca)), lb = LowerAscii(static_cast<char>(cb));
    if (la != lb) return la < lb ? -1 : 1;
  }
  FoldedBytes fa(a, i), fb(b, i);
  for (;;) {
    unsigned char xa = 0, xb = 0;
    const bool more_a = fa.Next(xa), more_b = fb.Next(xb);
    if (!more_a || !more_b) return more_a ? 1 : (more_b ? -1 : 0);
    if (xa != xb) return xa < xb ? -1 : 1;
  }
}

// The next unit of text at pos for FindNoCase: a simply case-folded code point, or for a byte that
// is not valid UTF-8 a value above the code point range. Returns the unit's length in bytes.
size_t NextFoldedUnit(std::string_view text, size_t pos, uint32_t& unit) {
  const unsigned char b = static_cast<unsigned char>(text[pos]);
  if (b < 0x80) {
    unit = static_cast<unsigned char>(LowerAscii(static_cast<char>(b)));
    return 1;
  }
  uint32_t c = 0;
  const size_t len = DecodeUtf8(text, pos, c);
  if (len == 0) {
    unit = 0x110000 + b;
    return 1;
  }
  unit = static_cast<uint32_t>(u_foldCase(static_cast<UChar32>(c), U_FOLD_CASE_DEFAULT));
  return len;
}

// Converts UTF-8 to UTF-16 with U+FFFD for bytes that are not valid UTF-8, into out, which has
// room for utf8.size() units (never fewer are needed); returns the number of units.
size_t ToUtf16Into(std::string_view utf8, char16_t* out) {
  size_t n = 0;
  for (size_t i = 0; i < utf8.size();) {
    uint32_t c = 0;
    size_t len = DecodeUtf8(utf8, i, c);
    if (len == 0) {
      c = 0xFFFD;
      len = 1;
    }
    if (c < 0x10000) {
      out[n++] = static_cast<char16_t>(c);
    } else {
      out[n++] = static_cast<char16_t>(U16_LEAD(c));
      out[n++] = static_cast<char16_t>(U16_TRAIL(c));
    }
    i += len;
  }
  return n;
}

std::u16string ToUtf16(std::string_view utf8) {
  std::u16string out(utf8.size(), u'\0');
  out.resize(ToUtf16Into(utf8, out.data()));
  return out;
}

bool IsValidUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    uint32_t c = 0;
    const size_t len = DecodeUtf8(text, i, c);
    if (len == 0) return false;
    i += len;
  }
  return true;
}

}  // namespace

std::string FoldCase(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return (c & 0x80) == 0; })) {
    for (char c : utf8) out += LowerAscii(c);
    return out;
  }
  FoldedBytes folded(utf8, 0);
  unsigned char b = 0;
  while (folded.Next(b)) out += static_cast<char>(b);
  return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) { return CompareFolded(a, b) == 0; }

bool EqualsAsciiNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

size_t FindAsciiNoCase(std::string_view haystack, std::string_view needle, size_t from) {
  if (from > haystack.size() || needle.size() > haystack.size() - from)
    return std::string_view::npos;
  for (size_t i = from; i + needle.size() <= haystack.size(); ++i) {
    if (EqualsAsciiNoCase(haystack.substr(i, needle.size()), needle)) return i;
  }
  return std::string_view::npos;
}

int CompareNoCase(std::string_view a, std::string_view b) { return CompareFolded(a, b); }

// Matches code point by code point with simple case folding, so that the offset found is an
// offset into the haystack as given (full folding can change lengths, e.g. "ß" to "ss").
size_t FindNoCase(std::string_view haystack, std::string_view needle, size_t from) {
  if (from > haystack.size()) return std::string_view::npos;
  if (needle.empty()) return from;
  for (size_t start = from; start < haystack.size();) {
    size_t h = start, n = 0;
    uint32_t hu = 0, nu = 0;
    const size_t first_len = NextFoldedUnit(haystack, start, hu);
    for (;;) {
      if (n == needle.size()) return start;
      if (h == haystack.size()) return std::string_view::npos;  // no later start fits either
      const size_t hl = h == start ? first_len : NextFoldedUnit(haystack, h, hu);
      const size_t nl = NextFoldedUnit(needle, n, nu);
      if (hu != nu) break;
      h += hl;
      n += nl;
    }
    start += first_len;
  }
  return std::string_view::npos;
}

struct NameCollator::Impl {
  UCollator* collator = nullptr;
};

NameCollator::NameCollator() : impl_(std::make_unique<Impl>()) {
  UErrorCode status = U_ZERO_ERROR;
  UCollator* c = ucol_open("ja", &status);
  if (U_FAILURE(status)) {
    if (c != nullptr) ucol_close(c);
    return;  // no collation data: fall back to the order of the case-folded texts
  }
  ucol_setStrength(c, UCOL_SECONDARY);
  impl_->collator = c;
}

NameCollator::~NameCollator() {
  if (impl_->collator != nullptr) ucol_close(impl_->collator);
}

// ICU collators may be used from several threads at once for comparisons and sort keys.
int NameCollator::Compare(std::string_view a, std::string_view b) const {
  if (impl_->collator == nullptr) return CompareNoCase(a, b);
  UCollationResult r = UCOL_EQUAL;
  if (IsValidUtf8(a) && IsValidUtf8(b)) {
    UErrorCode status = U_ZERO_ERROR;
    r = ucol_strcollUTF8(impl_->collator, a.data(), static_cast<int32_t>(a.size()), b.data(),
                         static_cast<int32_t>(b.size()), &status);
    if (U_SUCCESS(status)) return r == UCOL_LESS ? -1 : (r == UCOL_GREATER ? 1 : 0);
  }
  const std::u16string ua = ToUtf16(a), ub = ToUtf16(b);
  r = ucol_strcoll(impl_->collator, ua.data(), static_cast<int32_t>(ua.size()), ub.data(),
                   static_cast<int32_t>(ub.size()));
  return r == UCOL_LESS ? -1 : (r == UCOL_GREATER ? 1 : 0);
}

std::string NameCollator::SortKey(std::string_view a) const {
  if (impl_->collator == nullptr) return FoldCase(a);
  // Most names fit buffers on the stack: then the key is the only allocation.
  constexpr size_t kShort = 256;
  if (a.size() <= kShort) {
    char16_t u[kShort];
    const size_t units = ToUtf16Into(a, u);
    uint8_t key[4 * kShort + 16];
    const int32_t n = ucol_getSortKey(impl_->collator, u, static_cast<int32_t>(units), key,
                                      static_cast<int32_t>(sizeof key));
    if (n > 0 && static_cast<size_t>(n) <= sizeof key)
      return std::string(reinterpret_cast<const char*>(key), static_cast<size_t>(n) - 1);
  }
  const std::u16string u = ToUtf16(a);
  std::string key(u.size() * 4 + 16, '\0');
  for (;;) {
    const int32_t n =
        ucol_getSortKey(impl_->collator, u.data(), static_cast<int32_t>(u.size()),
                        reinterpret_cast<uint8_t*>(key.data()), static_cast<int32_t>(key.size()));
    if (n <= 0) return FoldCase(a);
    if (static_cast<size_t>(n) <= key.size()) {
      key.resize(static_cast<size_t>(n) - 1);  // without the terminating zero byte
      return key;
    }
    key.resize(static_cast<size_t>(n));
  }
}

}  // namespace veldra

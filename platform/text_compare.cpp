#include "platform/text_compare.h"

#include <unicode/ucol.h>
#include <unicode/uchar.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/utf8.h"

namespace veldra {
namespace {

constexpr char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

// Case-folds a run of well-formed UTF-8 (full folding) and appends it.
void AppendFoldedValid(std::string& out, std::string_view run) {
  if (run.empty()) return;
  std::vector<char16_t> utf16(run.size() + 1);
  int32_t len16 = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strFromUTF8(utf16.data(), static_cast<int32_t>(utf16.size()), &len16, run.data(),
                static_cast<int32_t>(run.size()), &status);
  if (U_FAILURE(status)) {
    out.append(run);
    return;
  }
  // Full folding grows a text by at most three times (e.g. U+0390 folds to three characters).
  std::vector<char16_t> folded(static_cast<size_t>(len16) * 3 + 1);
  status = U_ZERO_ERROR;
  const int32_t folded_len = u_strFoldCase(folded.data(), static_cast<int32_t>(folded.size()),
                                           utf16.data(), len16, U_FOLD_CASE_DEFAULT, &status);
  if (U_FAILURE(status)) {
    out.append(run);
    return;
  }
  for (int32_t i = 0; i < folded_len;) {
    UChar32 c = 0;
    U16_NEXT(folded.data(), i, folded_len, c);
    AppendUtf8(out, static_cast<uint32_t>(c));
  }
}

// Folds text[from..]: valid runs are folded, bytes that are not valid UTF-8 are kept as they are.
std::string FoldFrom(std::string_view text, size_t from) {
  std::string out;
  out.reserve(text.size() - from + 8);
  size_t run_start = from;
  size_t i = from;
  while (i < text.size()) {
    uint32_t c = 0;
    const size_t len = DecodeUtf8(text, i, c);
    if (len != 0) {
      i += len;
      continue;
    }
    AppendFoldedValid(out, text.substr(run_start, i - run_start));
    out += text[i];
    run_start = ++i;
  }
  AppendFoldedValid(out, text.substr(run_start));
  return out;
}

// Compares the folded texts of a and b. The common all-ASCII prefix is compared in place, so
// ASCII names never allocate; folding is per character, so the rest can be folded separately.
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
  if (i == a.size() || i == b.size()) {
    // Every character folds to at least one, so the longer rest is the greater text.
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
  }
  const std::string fa = FoldFrom(a, i), fb = FoldFrom(b, i);
  const int r = fa.compare(fb);
  return r < 0 ? -1 : (r > 0 ? 1 : 0);
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

// Converts UTF-8 to UTF-16 with U+FFFD for bytes that are not valid UTF-8.
std::u16string ToUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    uint32_t c = 0;
    size_t len = DecodeUtf8(utf8, i, c);
    if (len == 0) {
      c = 0xFFFD;
      len = 1;
    }
    if (c < 0x10000) {
      out += static_cast<char16_t>(c);
    } else {
      out += static_cast<char16_t>(U16_LEAD(c));
      out += static_cast<char16_t>(U16_TRAIL(c));
    }
    i += len;
  }
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
  bool ascii = true;
  for (char c : utf8) {
    if (static_cast<unsigned char>(c) >= 0x80) {
      ascii = false;
      break;
    }
  }
  if (!ascii) return FoldFrom(utf8, 0);
  std::string out(utf8);
  for (char& c : out) c = LowerAscii(c);
  return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) { return CompareFolded(a, b) == 0; }

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
  const std::u16string u = ToUtf16(a);
  std::string key(u.size() * 4 + 16, '\0');
  for (;;) {
    const int32_t n = ucol_getSortKey(impl_->collator, u.data(), static_cast<int32_t>(u.size()),
                                      reinterpret_cast<uint8_t*>(key.data()),
                                      static_cast<int32_t>(key.size()));
    if (n <= 0) return FoldCase(a);
    if (static_cast<size_t>(n) <= key.size()) {
      key.resize(static_cast<size_t>(n) - 1);  // without the terminating zero byte
      return key;
    }
    key.resize(static_cast<size_t>(n));
  }
}

}  // namespace veldra

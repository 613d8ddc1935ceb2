#include "engine/name_fold.h"

#include <algorithm>

#include "platform/text_compare.h"

namespace veldra {
namespace {

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }

}  // namespace

std::string FoldName(std::string_view text) {
  if (!IsAscii(text)) return FoldCase(text);
  std::string folded(text);
  for (char& c : folded) c = LowerAscii(c);
  return folded;
}

bool SameNoCase(std::string_view a, std::string_view b) {
  if (!IsAscii(a) || !IsAscii(b)) return EqualsNoCase(a, b);
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

}  // namespace veldra

#pragma once
// Trimming the blanks around a text: the rule every setting, template line and tag field uses.

#include <string>
#include <string_view>

namespace veldra {

// The text without leading and trailing blanks (U+0020 only; tabs and full-width blanks stay).
inline std::string TrimBlanks(std::string_view text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const size_t last = text.find_last_not_of(' ');
  return std::string(text.substr(first, last - first + 1));
}

}  // namespace veldra

#pragma once
// Case-insensitive name matching with a fast path for ASCII names, which most names and every
// time and size text are (Unicode case folding of ASCII is plain lower-casing).

#include <string>
#include <string_view>

namespace veldra {

// FoldCase of a text, without a trip through ICU for ASCII.
std::string FoldName(std::string_view text);

// EqualsNoCase, without a trip through ICU when both texts are ASCII.
bool SameNoCase(std::string_view a, std::string_view b);

}  // namespace veldra

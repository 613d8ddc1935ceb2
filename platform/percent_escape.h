#pragma once
// Percent-escaping of the bytes a line-based file of ours cannot hold as they are (line breaks,
// field separators, NUL), so that any path or tag text survives a round trip.

#include <string>
#include <string_view>

namespace veldra {

// text with "%" and every byte found in escaped written as "%" and two upper-case hexadecimal
// digits.
std::string PercentEscape(std::string_view text, std::string_view escaped);

// Undoes PercentEscape (either case of hexadecimal digits); false for a "%" not followed by two
// hexadecimal digits.
bool PercentUnescape(std::string_view text, std::string& out);

}  // namespace veldra

#pragma once
// Small operations on file names.

#include <string>
#include <string_view>

namespace veldra {

// The name without its last extension: everything from the last "." on is dropped, then trailing
// blanks; a name without "." is returned unchanged (".htaccess" gives "", "song .mp3" gives
// "song").
std::string StripExtension(std::string_view name);

}  // namespace veldra

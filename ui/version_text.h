#pragma once
// The text of the version tab.

#include <string>
#include <string_view>

namespace veldra {

// Four lines joined by lone line feeds: program name and " Build 1.2.2", the copyright line, an
// empty line, a one-line description.
std::string VersionText(std::string_view program_name);

}  // namespace veldra

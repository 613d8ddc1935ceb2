#pragma once
// One value at a time from and into an INI file, the way GetPrivateProfileString and
// WritePrivateProfileString work: the tests of the INI reader and writer use them, the program
// reads and writes whole documents (IniDocument).

#include <cstdint>
#include <string>
#include <string_view>

namespace veldra::test {

// One value from a file, as GetPrivateProfileString with a 255-byte buffer gives it.
std::string ReadProfileString(std::string_view section, std::string_view key,
                              const std::string& file);

// Writes one value into a file; non-zero on success. A file that exists but cannot be read is
// left alone.
int16_t WriteProfileString(std::string_view section, std::string_view key, std::string_view value,
                           const std::string& file);

}  // namespace veldra::test

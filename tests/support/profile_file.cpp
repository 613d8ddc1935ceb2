#include "tests/support/profile_file.h"

#include <errno.h>
#include <sys/stat.h>

#include "platform/profile_string.h"

namespace veldra::test {

std::string ReadProfileString(std::string_view section, std::string_view key,
                              const std::string& file) {
  IniDocument doc;
  doc.Load(file);
  return doc.Get(section, key);
}

int16_t WriteProfileString(std::string_view section, std::string_view key, std::string_view value,
                           const std::string& file) {
  IniDocument doc;
  if (!doc.Load(file)) {
    // Only a missing file may start empty: rewriting one that exists but cannot be read would
    // throw its other keys away.
    struct stat st;
    if (stat(file.c_str(), &st) == 0 || errno != ENOENT) return 0;
  }
  doc.Set(section, key, value);
  return doc.Save(file) ? 1 : 0;
}

}  // namespace veldra::test

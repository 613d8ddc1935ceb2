#include "platform/program_info.h"

#include <unistd.h>

#include <string_view>

#include "platform/file_name.h"

namespace veldra {
namespace {

// The running executable's full path; "" when /proc is not available.
const std::string& ExecutablePath() {
  static const std::string path = [] {
    std::string buffer(256, '\0');
    for (;;) {
      const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
      if (n < 0) return std::string();
      if (static_cast<size_t>(n) < buffer.size()) {
        buffer.resize(static_cast<size_t>(n));
        // The link names a replaced executable (after an update while running) this way.
        constexpr std::string_view kDeleted = " (deleted)";
        if (buffer.ends_with(kDeleted)) buffer.resize(buffer.size() - kDeleted.size());
        return buffer;
      }
      buffer.resize(buffer.size() * 2);
    }
  }();
  return path;
}

}  // namespace

std::string ProgramFolder() {
  const std::string& path = ExecutablePath();
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string ProgramName() {
  const std::string& path = ExecutablePath();
  return StripExtension(std::string_view(path).substr(path.rfind('/') + 1));
}

}  // namespace veldra

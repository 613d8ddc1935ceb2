#include "platform/program_info.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "platform/file_name.h"

namespace veldra {
namespace {

constexpr std::string_view kSettingsFolderName = "veldra";

bool IsAbsolute(const char* path) { return path != nullptr && path[0] == '/'; }

// The user's home folder: HOME when it is an absolute path, else the password database's.
std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); IsAbsolute(home)) return home;
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
      IsAbsolute(found->pw_dir))
    return found->pw_dir;
  return {};
}

std::string WithoutTrailingSeparators(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

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

namespace {

// "$variable/veldra", or "<home>/fallback/veldra" when the variable is not an absolute path.
std::string UserFolder(const char* variable, const char* fallback) {
  std::string config;
  if (const char* xdg = std::getenv(variable); IsAbsolute(xdg)) {
    config = WithoutTrailingSeparators(xdg);
  } else {
    const std::string home = HomeFolder();
    if (home.empty()) return {};
    config = WithoutTrailingSeparators(home);
    if (config != "/") config += '/';
    config += fallback;
  }
  if (config != "/") config += '/';
  return config + std::string(kSettingsFolderName);
}

}  // namespace

std::string UserSettingsFolder() { return UserFolder("XDG_CONFIG_HOME", ".config"); }

std::string UserCacheFolder() { return UserFolder("XDG_CACHE_HOME", ".cache"); }

std::string ChooseSettingsFolder(const std::string& program_folder, bool program_folder_writable,
                                 const std::string& user_folder) {
  const bool under_usr = program_folder == "/usr" || program_folder.starts_with("/usr/");
  if (!under_usr && program_folder_writable) return program_folder;
  return user_folder.empty() ? program_folder : user_folder;
}

bool FolderWritable(const std::string& folder) {
  return faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

bool MakeSettingsFolder(const std::string& folder) {
  if (folder.empty()) return false;
  struct stat st {};
  if (stat(folder.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  const size_t slash = folder.rfind('/');
  if (slash != std::string::npos && slash > 0 && !MakeSettingsFolder(folder.substr(0, slash)))
    return false;
  if (mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST)
    return stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  return false;
}

}  // namespace veldra

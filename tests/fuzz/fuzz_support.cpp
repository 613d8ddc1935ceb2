#include "tests/fuzz/fuzz_support.h"

#include <fcntl.h>
#include <ftw.h>
#include <unistd.h>

namespace veldra::fuzz {
namespace {

std::string& FolderToRemove() {
  static std::string folder;
  return folder;
}

int RemoveOne(const char* path, const struct stat*, int, struct FTW*) { return remove(path); }

// The scratch folder goes when the process ends normally (libFuzzer's time limit, a replay).
void RemoveScratch() { nftw(FolderToRemove().c_str(), RemoveOne, 16, FTW_DEPTH | FTW_PHYS); }

}  // namespace

const std::string& ScratchFolder() {
  static const std::string folder = [] {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/veldra-fuzz-XXXXXX";
    if (!mkdtemp(pattern.data())) Fail("mkdtemp", __FILE__, __LINE__);
    FolderToRemove() = pattern;
    std::atexit(RemoveScratch);
    return pattern + "/";
  }();
  return folder;
}

void WriteScratchFile(const std::string& path, const void* data, size_t size) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) Fail("open scratch file", __FILE__, __LINE__);
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = write(fd, p, size);
    if (n <= 0) Fail("write scratch file", __FILE__, __LINE__);
    p += n;
    size -= static_cast<size_t>(n);
  }
  close(fd);
}

}  // namespace veldra::fuzz

#pragma once
// Shared bits of the fuzz targets: a scratch folder per process and a check that aborts with a
// message, so a broken property shows up as a crash the fuzzer keeps.

#include <cstdio>
#include <cstdlib>
#include <string>

namespace veldra::fuzz {

// A folder of this process below $TMPDIR (or /tmp), made once, ending with '/'.
const std::string& ScratchFolder();

// Writes bytes to a file, replacing it; aborts when it cannot (the scratch folder is ours).
void WriteScratchFile(const std::string& path, const void* data, size_t size);

[[noreturn]] inline void Fail(const char* what, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: property broken: %s\n", file, line, what);
  std::abort();
}

}  // namespace veldra::fuzz

#define FUZZ_CHECK(cond)                                          \
  do {                                                            \
    if (!(cond)) ::veldra::fuzz::Fail(#cond, __FILE__, __LINE__); \
  } while (0)

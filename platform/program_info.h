#pragma once
// Where the program lives and what it is called.

#include <string>

namespace veldra {

struct ProgramVersion {
  int major = 1;
  int minor = 2;
  int revision = 2;
};

inline constexpr ProgramVersion kProgramVersion{};

// Folder of the running executable (from /proc/self/exe), without a trailing separator.
std::string ProgramFolder();

// File name of the running executable without its extension ("VELDRA" for the window program).
std::string ProgramName();

}  // namespace veldra

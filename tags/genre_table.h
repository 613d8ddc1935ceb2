#pragma once
// The genre names shown for the genre byte of an ID3v1 tag, read from VELDRA.gnr.

#include <array>
#include <string>

namespace veldra {

inline constexpr const char* kGenreFileName = "VELDRA.gnr";

// 256 names indexed by the genre byte; names the file did not supply are empty.
using GenreTable = std::array<std::string, 256>;

enum class GenreLoadResult {
  kLoaded,      // the file was read (it may have had fewer than 256 lines)
  kMissing,     // no such ordinary file: every name is empty, nothing to report
  kUnreadable,  // the file exists but could not be read: every name is empty
};

// Resets the table to 256 empty names and fills it from the genre file in program_folder
// (CP932, one name per line, line n for byte n-1; lines are not trimmed; lines after 256 ignored).
GenreLoadResult LoadGenres(const std::string& program_folder, GenreTable& table);

}  // namespace veldra

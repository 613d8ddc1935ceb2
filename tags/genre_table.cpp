#include "tags/genre_table.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/file_system.h"
#include "platform/text_file.h"

namespace veldra {

GenreLoadResult LoadGenres(const std::string& program_folder, GenreTable& table) {
  table.fill(std::string());
  const std::string path = program_folder + kPathSeparator + kGenreFileName;
  if (!FileExists(path)) return GenreLoadResult::kMissing;
  std::vector<std::string> lines;
  if (!ReadTextLines(path, Cp932Escape::kHtml, lines)) return GenreLoadResult::kUnreadable;
  const size_t count = std::min(lines.size(), table.size());
  for (size_t i = 0; i < count; ++i) table[i] = std::move(lines[i]);
  return GenreLoadResult::kLoaded;
}

}  // namespace veldra

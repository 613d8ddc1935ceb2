#include "settings/set_list.h"

#include "platform/file_name.h"
#include "platform/file_system.h"
#include "platform/text_compare.h"

namespace veldra {

std::vector<std::string> ListEnvironmentSets(const ProgramPlace& place) {
  std::vector<std::string> names{place.name};
  const std::string own_file = place.name + ".ini";
  // The program's own set is listed once, as the program name, whether its file exists or not.
  for (const std::string& file : ListMatchingFiles(place.folder + kPathSeparator, "*.ini")) {
    if (!EqualsNoCase(file, own_file)) names.push_back(StripExtension(file));
  }
  return names;
}

}  // namespace veldra

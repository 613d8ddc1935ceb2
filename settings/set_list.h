#pragma once
// The names of the environment sets found in the program folder, for the set list.

#include <string>
#include <vector>

#include "settings/set_file.h"

namespace veldra {

// The program name first, then the name (without ".ini") of every ordinary "*.ini" file of the
// program folder other than the program's own set file (matched without regard to case).
// Unsorted: the list that shows them sorts.
std::vector<std::string> ListEnvironmentSets(const ProgramPlace& place);

}  // namespace veldra

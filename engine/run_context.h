#pragma once
// Deriving a run's values from the settings, and the template files every page copies.

#include <string>
#include <string_view>
#include <vector>

#include "engine/run.h"
#include "platform/text_trim.h"  // TrimBlanks, which the run's values are derived with

namespace veldra {

// RunContext from the settings as the run starts: every field but the template lines, the genre
// names and IniPath.
RunContext BuildRunContext(const EnvironmentSet& set, const ProgramPlace& place);

// The lines a missing header or footer template is created with.
const std::vector<std::string>& DefaultHeaderLines();
const std::vector<std::string>& DefaultFooterLines();

enum class TemplateResult { kRead, kCreated, kNotCreated, kUnreadable };

// Creates the template at path with the default lines when no file exists there (an existing
// one, even empty, is never overwritten), then reads its lines. On kNotCreated and kUnreadable
// the lines are empty and errno tells why.
TemplateResult LoadTemplate(const std::string& path, const std::vector<std::string>& defaults,
                            std::vector<std::string>& lines);

}  // namespace veldra

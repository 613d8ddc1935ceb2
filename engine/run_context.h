#pragma once
// The values a run derives once from the settings (RunContext), how they are derived, and the
// template files every page copies. Small engine files include this rather than run.h.

#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "platform/text_trim.h"  // TrimBlanks, which the run's values are derived with
#include "settings/environment_set.h"
#include "settings/set_file.h"
#include "tags/genre_table.h"

namespace veldra {

class TagCache;

// The values a run derives once from the settings and every page of the run reads.
struct RunContext {
  std::string OutputFileName;  // as typed
  std::string RootPath;        // RootFolder trimmed, ending with the separator
  std::string RootUrl;         // RootUrl trimmed
  std::string HeaderPath;
  std::string FooterPath;
  std::vector<std::string> HeaderLines;
  std::vector<std::string> FooterLines;
  std::string ThAttributes;  // ThExtra trimmed, one blank in front when not empty
  std::string TdAttributes;
  std::string FolderMark;  // FolderMarkText trimmed, "<BR>" when empty
  std::string FileMark;
  bool MarksWanted = false;
  std::string IniPath;
  GenreTable genres;
  // The tag cache of the run (null: none), and the change time before which a file read is
  // kept in it (a file changed later could change again unseen within its time's resolution).
  TagCache* tag_cache = nullptr;
  FileTime TagCacheSettledBefore;
};

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

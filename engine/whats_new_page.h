#pragma once
// whatsnew.htm, the new-arrivals page in the pages' own style, and the step of a run that
// writes it, the feed and the feed history.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/atom_feed.h"
#include "engine/feed_history.h"
#include "engine/folder_walk.h"
#include "engine/page_context.h"
#include "engine/playlist.h"
#include "engine/run.h"
#include "platform/folder_access.h"

namespace veldra {

inline constexpr std::string_view kWhatsNewPageName = "whatsnew.htm";
// The page's first line (before the header lines): marks the file as ours.
inline constexpr std::string_view kWhatsNewFirstLine = "<!-- whatsnew: VELDRA mp3+ -->";

// True when our file `name` may be written in the folder dir_fd: no entry holds the name, or a
// regular file (not a link) owned by the running user that begins with first_line. Any other
// entry is someone else's and is left alone.
bool MayReplaceOwnFileAt(int dir_fd, const std::string& name, std::string_view first_line);
bool MayReplaceOwnFileAt(FolderAccess& folders, int dir, const std::string& name,
                         std::string_view first_line);

// True when the listed entry is ours by the same rule (checked while a folder is listed).
bool IsOwnFileAt(int dir_fd, const std::string& name, std::string_view first_line);
bool IsOwnFileAt(FolderAccess& folders, int dir, const std::string& name,
                 std::string_view first_line);

// True when the entry `name` of the folder dir_fd (path folder_path) is one of our visitors'
// files while its key is on: whatsnew.xml and whatsnew.htm in the folder they go into, the
// folder's playlist. Such a file is never a row; a same-named file of someone else's is.
// True when name is a temporary name a replace of one of our visitors' files makes (a killed
// run's leftover), whatever the keys say.
bool IsVisitorTemporaryName(const PageContext& context, std::string_view name);

// Where whatsnew.xml and whatsnew.htm go: the root folder, or the output folder (the part of
// OutputFolder up to its last separator, as the gathering pass takes it) when pages are gathered.
std::string FeedFolderPath(const PageContext& context, bool* gathered);

bool IsVisitorFileAt(const PageContext& context, int dir_fd, const std::string& folder_path,
                     const std::string& name);

// The page (CP932 bytes, CR LF): header lines, title and date lines, hairline, table tag, header
// row (mark, name, folder, the set's columns), one row per entry, table end and footer lines.
// links holds HREF text for a page (the root URL raw, as the pages use it).
// date_time (when given) receives where the date line's date-time text lies.
std::string BuildWhatsNewPage(const PageContext& context, const FeedLinks& links,
                              const std::vector<ChangeEvent>& events,
                              ByteSpan* date_time = nullptr);

// The run's step: reads the history beside the set file, merges this run's entries (stamped with
// now) in front, writes the history back, then whatsnew.xml and whatsnew.htm into the root folder
// (root_fd), or into the output folder when pages are gathered (out_fd; gathered_list is then the
// work list whose positions number the pages). Problems go to report.problems.
struct WhatsNewPlace {
  std::string program_folder;
  std::string set_name;
  int feed_dir_fd = -1;     // where whatsnew.xml and whatsnew.htm go
  std::string feed_folder;  // its path, for the report
  std::string site_url;     // the URL of that folder, raw as typed
  bool gathered = false;
  std::string output_url;                               // when gathered
  const std::vector<std::string>* work_list = nullptr;  // when gathered: page numbers
  // Only the history is written: a stopped run that gathered nothing leaves the output folder,
  // feed included, as the last gathering left it; the next run publishes its entries.
  bool history_only = false;
};
void PublishWhatsNew(const PageContext& context, const WhatsNewPlace& place,
                     std::vector<ChangeEvent> this_run, int64_t now, RunReport& report);

// The run's step after the walk and the gathering pass (gathered: the pass ran): this run's
// changes in page order (the work list's), then PublishWhatsNew into the root folder or the
// output folder.
void WriteWhatsNew(const PageContext& context, const std::string& program_folder, WalkRecord& walk,
                   const std::vector<std::string>& work_list, bool gathered, RunReport& report);

}  // namespace veldra

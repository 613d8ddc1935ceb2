#pragma once
// The generation run behind the Start button and the batch runner: input checks and history
// updates, then templates, genres, the walk, gathering, and saving the set.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "platform/local_time.h"
#include "settings/environment_set.h"
#include "settings/set_file.h"
#include "tags/genre_table.h"

namespace veldra {
class RunControl;
class TagCache;
}  // namespace veldra

namespace veldra {

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

enum class InputError {
  kNone,
  kRootFolderEmpty,
  kRootUrlEmpty,
  kSetNameEmpty,
  kSetNameInvalid,
  kLineBreakInPath,    // a folder or URL the set file could not hold whole
  kFeedPageNameTaken,  // FEED with the page file name of the new-arrivals page
  kCodePageUnknown,    // CODEPAGE names no code page the run can read
};

// The message text of an input error ("" for kNone); its title is text::kInputErrorTitle. The
// message of kCodePageUnknown names the refused value, code_page.
std::string InputErrorMessage(InputError error, std::string_view code_page = {});

// The first steps of a run, on the texts the window holds: trims the root folder, root URL and set
// name, appends the separator to the root folder, checks the three (and that the set name can be a
// file name, and that no folder or URL holds a line break, which the set file cannot keep), and,
// when all pass, puts each value at the top of its history (set_list is the set list of Combo3).
// Changes set and set_list as the window's combo boxes change.
InputError PrepareRunInput(EnvironmentSet& set, std::vector<std::string>& set_list);

// What a run tells its front end while it goes on. Calls come from the thread running the run.
class RunObserver {
 public:
  virtual ~RunObserver() = default;
  virtual void FolderStarted(const std::string& /*folder*/) {}
  virtual void PageWritten(const std::string& /*folder*/, size_t /*pages_written*/) {}
  // The walk's progress: folders found so far (listed or waiting to be), and folders done (page
  // written or failed, or listing failed). Called after each listing and each finished page.
  virtual void WalkProgress(size_t /*folders_found*/, size_t /*folders_done*/) {}
  // The gathering pass's progress: pages handled so far of the pages to gather.
  virtual void GatherProgress(size_t /*pages_done*/, size_t /*pages_total*/) {}
};

// What went wrong in a run, as data: the closing notice alone turns it into text.
enum class ProblemKind {
  kRootNotListed,     // path: the root folder (root_found is false too)
  kFolderNotListed,   // path: the folder whose listing failed
  kPageNotWritten,    // path: the folder whose page or snapshot failed
  kLinkRefused,       // path: a link left out (another owner, leads outside the root)
  kPageNotGathered,   // path: the folder whose page stayed in place
  kHeaderNotCreated,  // path: the template file
  kHeaderUnreadable,
  kFooterNotCreated,
  kFooterUnreadable,
  kGenresUnreadable,    // path: the genre file
  kSetNotSaved,         // path: the set file
  kNoPageFileName,      // no path: the page file name is empty, nothing was gathered
  kNoOutputFolder,      // path: the output folder as typed
  kPageUnreadable,      // path: a page the gathering pass could not read
  kPageChanged,         // path: a page replaced after the walk wrote it
  kPageNotOurs,         // path: a page without our marker line
  kUnknownLink,         // path: the page; detail: the link left as it was
  kPageNotDeleted,      // path: a gathered page whose original stayed
  kOutputNotWritten,    // path: the output folder; count: pages not written there
  kNotOurFile,          // path: a feed, page or playlist name held by a file that is not ours
  kFeedNotWritten,      // path: the feed, new-arrivals page or history that failed
  kPlaylistNotWritten,  // path: the playlist that failed
};

struct RunProblem {
  ProblemKind kind;
  std::string path;
  std::string detail;  // the system's error text ("Permission denied") when a call failed
  size_t count = 1;

  bool operator==(const RunProblem&) const = default;
};

// What happened in a run, for the closing notice.
struct RunReport {
  bool root_found = true;    // false: the root folder could not be listed
  size_t pages_written = 0;  // folders that got a complete page
  bool gathering = false;    // the fix-up pass ran
  size_t pages_gathered = 0;
  std::vector<RunProblem> problems;  // in the order they were met
  bool stopped = false;              // a stop was asked for and the run ended early where it could
  bool folders_left = false;         // the walk stopped before every folder was done
  bool gathering_skipped = false;    // stopped before gathering: the output folder is as it was

  // True when every folder got its page (and, when gathering, every page was gathered).
  bool AllWritten() const;
  // The paths of the problems of one kind, in order.
  std::vector<std::string> Paths(ProblemKind kind) const;
};

// The closing notice: text::kRunFinished as its first line, then what the report says, one line
// per fact (counts, then the folders that failed, at most a few of each).
std::string FormatRunNotice(const RunReport& report);

struct RunResult {
  RunContext context;
  std::vector<std::string> work_list;  // List3: the folders whose pages were written, sorted
  RunReport report;
  std::string ini_path;    // the set file the run saved to (the new IniPath)
  bool set_saved = false;  // false: the set file could not be written (or read, and was kept)
};

// The rest of a run, for a set that passed PrepareRunInput: fills the RunContext, creates and
// reads the templates, loads the genres, walks the tree writing every page and snapshot, gathers
// the pages when OutputFolder and OutputUrl are set, and saves the set into its file.
// control (may be null) lets the front end stop the run and tests pause it at named points.
RunResult ExecuteRun(const EnvironmentSet& set, const ProgramPlace& place, const Clock& clock,
                     RunObserver* observer = nullptr, RunControl* control = nullptr);

}  // namespace veldra

// The generation run after its input steps: templates, genres, the walk, gathering, saving.

#include "engine/run.h"

#include <errno.h>
#include <string.h>
#include <time.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "engine/folder_walk.h"
#include "engine/link_fixup.h"
#include "engine/messages.h"
#include "engine/page_context.h"
#include "engine/run_context.h"
#include "engine/run_control.h"
#include "engine/tag_cache.h"
#include "engine/whats_new_page.h"
#include "platform/file_system.h"
#include "platform/folder_access.h"
#include "platform/read_pool.h"

namespace veldra {
namespace {

// errno is read at once: the call that failed has just returned.
void NoteTemplate(TemplateResult result, const std::string& path, ProblemKind not_created,
                  ProblemKind unreadable, RunReport& report) {
  if (result == TemplateResult::kNotCreated)
    report.problems.push_back({not_created, path, strerror(errno)});
  if (result == TemplateResult::kUnreadable)
    report.problems.push_back({unreadable, path, strerror(errno)});
}

}  // namespace

bool RunReport::AllWritten() const {
  for (const RunProblem& problem : problems) {
    if (problem.kind == ProblemKind::kFolderNotListed ||
        problem.kind == ProblemKind::kPageNotWritten ||
        (gathering && problem.kind == ProblemKind::kPageNotGathered))
      return false;
  }
  return root_found;
}

std::vector<std::string> RunReport::Paths(ProblemKind kind) const {
  std::vector<std::string> paths;
  for (const RunProblem& problem : problems)
    if (problem.kind == kind) paths.push_back(problem.path);
  return paths;
}

RunResult ExecuteRun(const EnvironmentSet& set, const ProgramPlace& place, const Clock& clock,
                     RunObserver* observer, RunControl* control, const RunTuning& tuning,
                     FolderAccess* folders) {
  FolderAccess& access = folders != nullptr ? *folders : RealFolderAccess();
  RunControl no_control;
  if (control == nullptr) control = &no_control;
  RunResult result;
  RunContext& context = result.context;
  RunReport& report = result.report;
  context = BuildRunContext(set, place);

  NoteTemplate(LoadTemplate(context.HeaderPath, DefaultHeaderLines(), context.HeaderLines),
               context.HeaderPath, ProblemKind::kHeaderNotCreated, ProblemKind::kHeaderUnreadable,
               report);
  NoteTemplate(LoadTemplate(context.FooterPath, DefaultFooterLines(), context.FooterLines),
               context.FooterPath, ProblemKind::kFooterNotCreated, ProblemKind::kFooterUnreadable,
               report);
  // A genre file of the user's own (beside the sets) wins over the one shipped with the program.
  const std::string* genre_folder = &place.folder;
  GenreLoadResult genres = LoadGenres(*genre_folder, context.genres);
  if (genres == GenreLoadResult::kMissing && !place.program_folder.empty()) {
    genre_folder = &place.program_folder;
    genres = LoadGenres(*genre_folder, context.genres);
  }
  if (genres == GenreLoadResult::kUnreadable) {
    report.problems.push_back({ProblemKind::kGenresUnreadable,
                               *genre_folder + kPathSeparator + kGenreFileName, strerror(errno)});
  }

  // The tag cache, when it can be had: a run without one reads every file.
  std::unique_ptr<TagCache> tag_cache;
  if (!place.cache_folder.empty()) {
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    tag_cache = TagCache::Open(place.cache_folder,
                               static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec);
    context.tag_cache = tag_cache.get();
    context.TagCacheSettledBefore =
        FileTime{static_cast<int64_t>(now.tv_sec) - control->tag_cache_settle_seconds,
                 static_cast<int32_t>(now.tv_nsec)};
  }

  const NameCollator collator;
  ReadPool reads(tuning.read_threads);
  const PageContext page_context{context, set, clock, control, tuning, &reads};
  control->PauseAt(pause_point::kWalkStarted);
  WalkRecord walk(access);
  walk.keep_pages = !set.OutputFolder.empty() && !set.OutputUrl.empty();
  walk.skip_same = set.SkipSame;
  report.skip_same = set.SkipSame;
  // SKIPSAME when gathering: the previous gathering's numbers let the walk see, page by page,
  // that a gathered page would stay the same, and write nothing into that folder.
  std::unique_ptr<GatheredPageGuess> guess;
  if (walk.keep_pages && set.SkipSame) {
    guess = std::make_unique<GatheredPageGuess>(context, set.OutputFolder, set.OutputUrl,
                                                ReadGatheredList(place.folder, set.SetName));
    walk.guess = guess.get();
  }
  WalkFolder(page_context, collator, observer, report, result.work_list, &walk);
  if (tag_cache != nullptr) {
    // Records of folders this walk did not see go only when it saw the whole tree.
    if (report.root_found && !report.folders_left) tag_cache->Sweep(context.RootPath);
    control->PauseAt(pause_point::kTagCacheWritten);
    tag_cache.reset();
    context.tag_cache = nullptr;
  }
  control->PauseAt(pause_point::kWalkDone);

  if (!set.OutputFolder.empty() && !set.OutputUrl.empty()) {
    if (control->StopRequested()) {
      // Gathering renumbers every page and deletes the numbers no longer used: gathering the
      // pages of part of the tree (never the root's, which comes last) would leave a site
      // without its first page. The output folder keeps the last complete gathering instead,
      // and this run's pages stay whole in their folders until a full run gathers them.
      report.gathering_skipped = true;
    } else {
      // A stop asked for from here on takes effect after the pass, which is not cut short.
      const FixUpResult fixup = FixUpLinks(context, set.OutputFolder, set.OutputUrl,
                                           result.work_list, &walk, control, observer);
      report.gathering = true;
      report.pages_gathered = fixup.pages_gathered;
      report.gathered_left_alone = fixup.pages_left_alone;
      report.pages_left_alone -= std::min(report.pages_left_alone, fixup.pages_given_back);
      // Only a guess for the next run: a list that cannot be written costs that run writes.
      if (set.SkipSame) WriteGatheredList(place.folder, set.SetName, result.work_list);
      for (const std::string& folder : fixup.pages_not_gathered)
        report.problems.push_back({ProblemKind::kPageNotGathered, folder, ""});
      report.problems.insert(report.problems.end(), fixup.problems.begin(), fixup.problems.end());
    }
  }

  report.stopped = control->StopRequested();
  if (set.Feed && report.root_found)
    WriteWhatsNew(page_context, place.folder, walk, result.work_list, report.gathering, report);

  walk.tree.CloseAll();
  control->PauseAt(pause_point::kRunDone);
  result.ini_path = SetIniPath(place, set.SetName);
  context.IniPath = result.ini_path;
  result.set_saved = SaveEnvironmentSet(set, result.ini_path, access);
  if (!result.set_saved)
    report.problems.push_back({ProblemKind::kSetNotSaved, result.ini_path, strerror(errno)});
  return result;
}

}  // namespace veldra

// The generation run after its input steps: templates, genres, the walk, gathering, saving.

#include "engine/run.h"

#include "engine/folder_walk.h"
#include "engine/link_fixup.h"
#include "engine/messages.h"
#include "engine/page_context.h"
#include "engine/run_context.h"
#include "engine/run_control.h"
#include "platform/file_system.h"

namespace veldra {
namespace {

void NoteTemplate(TemplateResult result, const std::string& path, std::string_view not_created,
                  std::string_view unreadable, RunReport& report) {
  if (result == TemplateResult::kNotCreated)
    report.problems.push_back(std::string(not_created) + path);
  if (result == TemplateResult::kUnreadable)
    report.problems.push_back(std::string(unreadable) + path);
}

void Append(std::vector<std::string>& to, const std::vector<std::string>& from) {
  to.insert(to.end(), from.begin(), from.end());
}

}  // namespace

bool RunReport::AllWritten() const {
  return root_found && folders_not_listed.empty() && pages_not_written.empty() &&
         (!gathering || pages_not_gathered.empty());
}

RunResult ExecuteRun(const EnvironmentSet& set, const ProgramPlace& place, const Clock& clock,
                     RunObserver* observer, RunControl* control) {
  RunControl no_control;
  if (control == nullptr) control = &no_control;
  RunResult result;
  RunContext& context = result.context;
  RunReport& report = result.report;
  context = BuildRunContext(set, place);

  NoteTemplate(LoadTemplate(context.HeaderPath, DefaultHeaderLines(), context.HeaderLines),
               context.HeaderPath, text::kProblemHeaderNotCreated, text::kProblemHeaderUnreadable,
               report);
  NoteTemplate(LoadTemplate(context.FooterPath, DefaultFooterLines(), context.FooterLines),
               context.FooterPath, text::kProblemFooterNotCreated, text::kProblemFooterUnreadable,
               report);
  if (LoadGenres(place.folder, context.genres) == GenreLoadResult::kUnreadable) {
    report.problems.push_back(std::string(text::kProblemGenresUnreadable) + place.folder +
                              kPathSeparator + kGenreFileName);
  }

  const NameCollator collator;
  const PageContext page_context{context, set, clock, control};
  control->PauseAt(pause_point::kWalkStarted);
  WalkRecord walk;
  walk.keep_pages = !set.OutputFolder.empty() && !set.OutputUrl.empty();
  WalkFolder(page_context, collator, observer, report, result.work_list, &walk);
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
      Append(report.pages_not_gathered, fixup.pages_not_gathered);
      Append(report.problems, fixup.problems);
    }
  }

  report.stopped = control->StopRequested();

  walk.tree.CloseAll();
  control->PauseAt(pause_point::kRunDone);
  result.ini_path = SetIniPath(place, set.SetName);
  context.IniPath = result.ini_path;
  result.set_saved = SaveEnvironmentSet(set, result.ini_path);
  if (!result.set_saved)
    report.problems.push_back(std::string(text::kProblemSetNotSaved) + result.ini_path);
  return result;
}

}  // namespace veldra

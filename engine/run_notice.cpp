// The closing notice of a run.

#include "engine/display_text.h"
#include "engine/messages.h"
#include "engine/run.h"

namespace veldra {
namespace {

constexpr size_t kListedAtMost = 10;

std::string Count(size_t n) { return std::to_string(n) + std::string(text::kNoticeCountUnit); }

// A path with the system's reason after it, when there is one.
std::string WithDetail(const RunProblem& problem) {
  if (problem.detail.empty()) return problem.path;
  return problem.path + " (" + problem.detail + ")";
}

// A count line, then the first few items indented, then how many more there are.
void AddList(std::string& notice, std::string_view caption, const std::vector<std::string>& items) {
  if (items.empty()) return;
  notice += "\n" + std::string(caption) + Count(items.size());
  for (size_t i = 0; i < items.size() && i < kListedAtMost; ++i)
    notice += "\n" + std::string(text::kNoticeListIndent) + items[i];
  if (items.size() > kListedAtMost) {
    notice += "\n" + std::string(text::kNoticeListIndent) + std::string(text::kNoticeMoreOpen) +
              Count(items.size() - kListedAtMost);
  }
}

// The items of the problems of one kind: the path, and the reason when there is one.
std::vector<std::string> Items(const RunReport& report, ProblemKind kind) {
  std::vector<std::string> items;
  for (const RunProblem& problem : report.problems)
    if (problem.kind == kind) items.push_back(WithDetail(problem));
  return items;
}

// The line of a problem that is not a folder list's item ("" for those).
std::string OtherLine(const RunProblem& problem) {
  const auto line = [&](std::string_view caption) {
    return std::string(caption) + WithDetail(problem);
  };
  switch (problem.kind) {
    case ProblemKind::kRootNotListed:
    case ProblemKind::kFolderNotListed:
    case ProblemKind::kPageNotWritten:
    case ProblemKind::kLinkRefused:
    case ProblemKind::kPageNotGathered:
      return "";
    case ProblemKind::kHeaderNotCreated:
      return line(text::kProblemHeaderNotCreated);
    case ProblemKind::kHeaderUnreadable:
      return line(text::kProblemHeaderUnreadable);
    case ProblemKind::kFooterNotCreated:
      return line(text::kProblemFooterNotCreated);
    case ProblemKind::kFooterUnreadable:
      return line(text::kProblemFooterUnreadable);
    case ProblemKind::kGenresUnreadable:
      return line(text::kProblemGenresUnreadable);
    case ProblemKind::kSetNotSaved:
      return line(text::kProblemSetNotSaved);
    case ProblemKind::kNoPageFileName:
      return std::string(text::kProblemNoPageFileName);
    case ProblemKind::kNoOutputFolder:
      return line(text::kProblemNoOutputFolder);
    case ProblemKind::kPageUnreadable:
      return line(text::kProblemPageUnreadable);
    case ProblemKind::kPageChanged:
      return line(text::kProblemPageChanged);
    case ProblemKind::kPageNotOurs:
      return line(text::kProblemPageNotOurs);
    case ProblemKind::kUnknownLink:
      return std::string(text::kProblemUnknownLink) + problem.path + " → " + problem.detail;
    case ProblemKind::kPageNotDeleted:
      return line(text::kProblemPageNotDeleted);
    case ProblemKind::kNotOurFile:
      return line(text::kProblemNotOurFile);
    case ProblemKind::kFeedNotWritten:
      return line(text::kProblemFeedNotWritten);
    case ProblemKind::kPlaylistNotWritten:
      return line(text::kProblemPlaylistNotWritten);
    case ProblemKind::kOutputNotWritten:
      return std::string(text::kProblemOutputNotWritten) + Count(problem.count) + " " +
             WithDetail(problem);
  }
  return "";
}

}  // namespace

std::string FormatRunNotice(const RunReport& report) {
  std::string notice(text::kRunFinished);
  if (report.stopped) {
    notice += "\n" + std::string(text::kNoticeStopped);
    if (report.folders_left) notice += "\n" + std::string(text::kNoticeFoldersLeft);
    if (report.gathering_skipped) notice += "\n" + std::string(text::kNoticeGatheringSkipped);
    if (!report.folders_left && !report.gathering_skipped)
      notice += "\n" + std::string(text::kNoticeStoppedAfterAll);
  }
  if (!report.root_found) {
    notice += "\n" + std::string(text::kNoticeRootNotListed);
    for (const RunProblem& problem : report.problems) {
      if (problem.kind == ProblemKind::kRootNotListed && !problem.detail.empty())
        notice += " (" + problem.detail + ")";
    }
  } else if (!report.skip_same) {
    notice += "\n" + std::string(text::kNoticePagesWritten) + Count(report.pages_written);
  } else {
    // Pages written anew and pages left as they were, apart.
    notice += "\n" + std::string(text::kNoticePagesWritten) +
              Count(report.pages_written - report.pages_left_alone);
    notice += "\n" + std::string(text::kNoticePagesLeftAlone) + Count(report.pages_left_alone);
  }
  AddList(notice, text::kNoticeFoldersNotListed, Items(report, ProblemKind::kFolderNotListed));
  AddList(notice, text::kNoticePagesNotWritten, Items(report, ProblemKind::kPageNotWritten));
  AddList(notice, text::kNoticeLinksRefused, Items(report, ProblemKind::kLinkRefused));
  if (report.gathering) {
    notice += "\n" + std::string(text::kNoticePagesGathered) +
              Count(report.pages_gathered - (report.skip_same ? report.gathered_left_alone : 0));
    if (report.skip_same) {
      notice +=
          "\n" + std::string(text::kNoticeGatheredLeftAlone) + Count(report.gathered_left_alone);
    }
    AddList(notice, text::kNoticePagesNotGathered, Items(report, ProblemKind::kPageNotGathered));
  }
  std::vector<std::string> others;
  for (const RunProblem& problem : report.problems) {
    std::string line = OtherLine(problem);
    if (!line.empty()) others.push_back(std::move(line));
  }
  if (!others.empty()) {
    notice += "\n" + std::string(text::kNoticeProblems);
    for (size_t i = 0; i < others.size() && i < kListedAtMost; ++i)
      notice += "\n" + std::string(text::kNoticeListIndent) + others[i];
    if (others.size() > kListedAtMost) {
      notice += "\n" + std::string(text::kNoticeListIndent) + std::string(text::kNoticeMoreOpen) +
                Count(others.size() - kListedAtMost);
    }
  }
  // Names come from the tree: no escape sequence of theirs reaches a terminal or a message box.
  return DisplayText(notice);
}

}  // namespace veldra

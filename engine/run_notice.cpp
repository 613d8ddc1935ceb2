// The closing notice of a run.

#include "engine/display_text.h"
#include "engine/messages.h"
#include "engine/run.h"

namespace veldra {
namespace {

constexpr size_t kListedAtMost = 10;

std::string Count(size_t n) { return std::to_string(n) + std::string(text::kNoticeCountUnit); }

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
  } else {
    notice += "\n" + std::string(text::kNoticePagesWritten) + Count(report.pages_written);
  }
  AddList(notice, text::kNoticeFoldersNotListed, report.folders_not_listed);
  AddList(notice, text::kNoticePagesNotWritten, report.pages_not_written);
  AddList(notice, text::kNoticeLinksRefused, report.links_refused);
  if (report.gathering) {
    notice += "\n" + std::string(text::kNoticePagesGathered) + Count(report.pages_gathered);
    AddList(notice, text::kNoticePagesNotGathered, report.pages_not_gathered);
  }
  if (!report.problems.empty()) {
    notice += "\n" + std::string(text::kNoticeProblems);
    for (size_t i = 0; i < report.problems.size() && i < kListedAtMost; ++i)
      notice += "\n" + std::string(text::kNoticeListIndent) + report.problems[i];
    if (report.problems.size() > kListedAtMost) {
      notice += "\n" + std::string(text::kNoticeListIndent) + std::string(text::kNoticeMoreOpen) +
                Count(report.problems.size() - kListedAtMost);
    }
  }
  // Names come from the tree: no escape sequence of theirs reaches a terminal or a message box.
  return DisplayText(notice);
}

}  // namespace veldra

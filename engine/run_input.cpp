// The input steps of a run: trimming, the three checks, the set name check and the histories.

#include "engine/messages.h"
#include "engine/run.h"
#include "engine/run_context.h"
#include "platform/code_page.h"
#include "platform/file_system.h"
#include "platform/text_compare.h"

namespace veldra {
namespace {

// Moves value to the top of a history: the first entry equal to it (without regard to case) is
// removed, then the value is inserted at index 0.
void PutOnTop(std::vector<std::string>& history, const std::string& value) {
  for (auto it = history.begin(); it != history.end(); ++it) {
    if (EqualsNoCase(*it, value)) {
      history.erase(it);
      break;
    }
  }
  history.insert(history.begin(), value);
}

}  // namespace

std::string InputErrorMessage(InputError error, std::string_view code_page) {
  switch (error) {
    case InputError::kNone:
      return "";
    case InputError::kRootFolderEmpty:
      return std::string(text::kRootFolderEmpty);
    case InputError::kRootUrlEmpty:
      return std::string(text::kRootUrlEmpty);
    case InputError::kSetNameEmpty:
      return std::string(text::kSetNameEmpty);
    case InputError::kSetNameInvalid:
      return std::string(text::kSetNameInvalid);
    case InputError::kLineBreakInPath:
      return std::string(text::kLineBreakInPath);
    case InputError::kFeedPageNameTaken:
      return std::string(text::kFeedPageNameTaken);
    case InputError::kCodePageUnknown:
      return std::string(text::kCodePageUnknown) + "\"" + std::string(code_page) + "\"";
  }
  return "";
}

InputError PrepareRunInput(EnvironmentSet& set, std::vector<std::string>& set_list) {
  set.RootFolder = TrimBlanks(set.RootFolder);
  set.RootUrl = TrimBlanks(set.RootUrl);
  set.SetName = TrimBlanks(set.SetName);

  if (set.RootFolder.empty()) return InputError::kRootFolderEmpty;
  if (set.RootFolder.back() != kPathSeparator) set.RootFolder += kPathSeparator;
  if (set.RootUrl.empty()) return InputError::kRootUrlEmpty;
  if (set.SetName.empty()) return InputError::kSetNameEmpty;
  // A name with a separator or a control character would put the set file anywhere.
  if (!IsValidSetName(set.SetName)) return InputError::kSetNameInvalid;
  // A set file keeps a line break or NUL as reference text, so the saved folder would read back
  // as another one: refused rather than published under a name the next run cannot find.
  for (const std::string* value :
       {&set.RootFolder, &set.RootUrl, &set.OutputFolder, &set.OutputUrl}) {
    if (value->find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
      return InputError::kLineBreakInPath;
  }
  // The new-arrivals page and the root's page would be one file.
  if (set.Feed && EqualsNoCase(TrimBlanks(set.OutputFileName), "whatsnew.htm"))
    return InputError::kFeedPageNameTaken;
  // Tag text read with a guessed code page would be wrong on every page; refuse it instead.
  if (ParseCodePage(set.CodePage) == 0) return InputError::kCodePageUnknown;

  PutOnTop(set.RootFolderHistory, set.RootFolder);
  PutOnTop(set.RootUrlHistory, set.RootUrl);
  PutOnTop(set_list, set.SetName);
  return InputError::kNone;
}

}  // namespace veldra

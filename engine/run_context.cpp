#include "engine/run_context.h"

#include <errno.h>

#include "platform/cp932.h"
#include "platform/file_system.h"
#include "platform/text_file.h"

namespace veldra {
namespace {

std::string Attributes(std::string_view extra) {
  std::string trimmed = TrimBlanks(extra);
  return trimmed.empty() ? trimmed : " " + trimmed;
}

std::string Mark(std::string_view text) {
  std::string trimmed = TrimBlanks(text);
  return trimmed.empty() ? "<BR>" : trimmed;
}

}  // namespace

RunContext BuildRunContext(const EnvironmentSet& set, const ProgramPlace& place) {
  RunContext context;
  context.FolderMark = Mark(set.FolderMarkText);
  context.FileMark = Mark(set.FileMarkText);
  context.ThAttributes = Attributes(set.ThExtra);
  context.TdAttributes = Attributes(set.TdExtra);
  context.OutputFileName = set.OutputFileName;
  context.MarksWanted = set.ShowNewMark || set.ShowUpdateMark;
  context.MarksWanted = context.MarksWanted || set.Feed;  // the feed's changes need snapshots
  context.HeaderPath = place.folder + kPathSeparator + set.HeaderFileName;
  context.FooterPath = place.folder + kPathSeparator + set.FooterFileName;
  context.RootPath = TrimBlanks(set.RootFolder);
  if (!context.RootPath.empty() && context.RootPath.back() != kPathSeparator)
    context.RootPath += kPathSeparator;
  context.RootUrl = TrimBlanks(set.RootUrl);
  return context;
}

const std::vector<std::string>& DefaultHeaderLines() {
  static const std::vector<std::string> lines = {
      "<HTML><HEAD><TITLE>ファイルリスト</TITLE>",
      "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html;CHARSET=x-sjis\"></HEAD>",
      "<STYLE>",
      "A:link {color:Blue; text-decoration: none}",
      "A:visited {color:Teal; text-decoration: none}",
      "A:hover {color: #5E4ECB;background:#00ffff; text-decoration: underline}",
      "</STYLE>",
      "<BODY BGCOLOR=WHITE>",
  };
  return lines;
}

const std::vector<std::string>& DefaultFooterLines() {
  static const std::vector<std::string> lines = {"<HR>", "</BODY>", "</HTML>"};
  return lines;
}

TemplateResult LoadTemplate(const std::string& path, const std::vector<std::string>& defaults,
                            std::vector<std::string>& lines) {
  lines.clear();
  bool created = false;
  int create_error = 0;
  if (!FileExists(path)) {
    std::string bytes;
    for (const std::string& line : defaults) AppendCp932Line(bytes, line, Cp932Escape::kHtml);
    created = CreateNewFile(path, bytes);
    if (!created) create_error = errno;
  }
  if (!ReadTextLines(path, Cp932Escape::kHtml, lines)) {
    const int read_error = errno;
    lines.clear();
    const bool exists = created || FileExists(path);
    errno = exists || create_error == 0 ? read_error : create_error;
    return exists ? TemplateResult::kUnreadable : TemplateResult::kNotCreated;
  }
  return created ? TemplateResult::kCreated : TemplateResult::kRead;
}

}  // namespace veldra

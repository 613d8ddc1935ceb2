#include "engine/page_head.h"

#include "engine/html_text.h"
#include "engine/run_context.h"
#include "settings/column_key.h"

namespace veldra {

std::string EscapeText(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  AppendEscapedText(out, text, TextForm::kUtf8);
  return out;
}

std::string ReplaceChar(std::string_view text, char from, char to) {
  std::string out(text);
  for (char& c : out) {
    if (c == from) c = to;
  }
  return out;
}

std::string RelativeFolderPath(const RunContext& run, std::string_view folder) {
  if (folder.size() <= run.RootPath.size()) return {};
  return ReplaceChar(folder.substr(run.RootPath.size()), kPathSeparator, '/');
}

std::vector<std::string> NavigationLines(const RunContext& run, std::string_view folder) {
  const std::string relative = RelativeFolderPath(run, folder);
  std::vector<std::string> lines;
  // Every enclosing folder's relative path is a prefix of this one ending at a "/"; the last
  // "/" ends the folder's own path, which gets no link.
  for (size_t end = 0; end < relative.size();) {
    const std::string_view parent = std::string_view(relative).substr(0, end);
    lines.push_back("<A HREF=\"" + run.RootUrl + EncodeHrefPath(parent) + run.OutputFileName +
                    "\">← /" + EscapeText(parent) + "</A><BR>");
    const size_t slash = relative.find('/', end);
    if (slash == std::string::npos) break;
    end = slash + 1;
  }
  return lines;
}

std::string HeaderRow(const RunContext& run, const EnvironmentSet& set) {
  const std::string& th = run.ThAttributes;
  std::string row = "<TR><TH" + th + "><BR></TH><TH" + th + ">ファイル/フォルダ</TH>";
  if (set.ProcessId3) {
    for (const std::string& key : set.OutputColumns)
      row += "<TH" + th + ">" + ColumnCaption(key) + "</TH>";
  } else {
    row += "<TH" + th + ">size</TH>";
  }
  row += "</TR>";
  return row;
}

void WritePageHead(PageBuffer& page, const PageContext& context, std::string_view folder,
                   size_t folder_count, size_t file_count) {
  const RunContext& run = context.run;
  for (const std::string& line : run.HeaderLines) page.AddLine(line);

  const std::string relative = RelativeFolderPath(run, folder);
  page.AddLine("List of <FONT SIZE=\"+2\">" + run.RootUrl + EscapeText(relative) + "</FONT><BR>");

  const int64_t now = context.clock.NowUtcSeconds();
  page.AddDateLine("List create date = ", LocalDateText(now) + " " + LocalHourMinuteText(now),
                   " [ Dir = " + std::to_string(folder_count) +
                       " / Files = " + std::to_string(file_count) + " ]<BR>");

  const std::string hairline = TrimBlanks(context.set.HairlineText);
  page.AddLine(hairline);
  page.AddLine(kNavigationStart);
  for (const std::string& line : NavigationLines(run, folder)) page.AddLine(line);
  page.AddLine(kNavigationEnd);
  page.AddLine(relative.empty() ? std::string() : hairline);
  page.AddLine(context.set.TableTag);
  page.AddLine(HeaderRow(run, context.set));
}

}  // namespace veldra

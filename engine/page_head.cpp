#include "engine/page_head.h"

#include "engine/html_text.h"
#include "engine/run_context.h"
#include "platform/cp932.h"
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

namespace {

// Calls line(parent) for the relative path of every enclosing folder, the root's ("") first.
template <typename Line>
void ForEachEnclosingFolder(std::string_view relative, Line line) {
  // Every enclosing folder's relative path is a prefix of this one ending at a "/"; the last
  // "/" ends the folder's own path, which gets no link.
  for (size_t end = 0; end < relative.size();) {
    line(relative.substr(0, end));
    const size_t slash = relative.find('/', end);
    if (slash == std::string::npos) break;
    end = slash + 1;
  }
}

// The navigation line of the enclosing folder at parent, without its line end. Converting text
// by text equals converting the whole line, as no character can span two texts: the rest is
// escaped into valid UTF-8, and the settings' texts (which may hold any bytes) stand between
// ASCII markup or escaped text, but for the root's link, where the two meet and go in together.
void AppendNavigationLine(std::string& out, const RunContext& run, std::string_view parent,
                          TextForm form) {
  const auto settings_text = [&](std::string_view text) {
    if (form == TextForm::kCp932) {
      AppendCp932(out, text, Cp932Escape::kHtml);
    } else {
      out += text;
    }
  };
  out += "<A HREF=\"";
  if (parent.empty()) {
    settings_text(run.RootUrl + run.OutputFileName);
  } else {
    settings_text(run.RootUrl);
    AppendHrefPath(out, parent, form);
    settings_text(run.OutputFileName);
  }
  out += "\">";
  settings_text("← /");
  AppendEscapedText(out, parent, form);
  out += "</A><BR>";
}

}  // namespace

std::vector<std::string> NavigationLines(const RunContext& run, std::string_view folder) {
  const std::string relative = RelativeFolderPath(run, folder);
  std::vector<std::string> lines;
  ForEachEnclosingFolder(relative, [&](std::string_view parent) {
    AppendNavigationLine(lines.emplace_back(), run, parent, TextForm::kUtf8);
  });
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
  ForEachEnclosingFolder(relative, [&](std::string_view parent) {
    AppendNavigationLine(page.cp932(), run, parent, TextForm::kCp932);
    page.cp932() += "\r\n";
  });
  page.AddLine(kNavigationEnd);
  page.AddLine(relative.empty() ? std::string() : hairline);
  page.AddLine(context.set.TableTag);
  page.AddLine(HeaderRow(run, context.set));
}

}  // namespace veldra

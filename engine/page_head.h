#pragma once
// The head of a folder page: template lines, title, date and counts, the navigation block back
// to the enclosing folders' pages, the table tag and the column header row.

#include <string>
#include <string_view>
#include <vector>

#include "engine/page_context.h"

namespace veldra {

inline constexpr std::string_view kNavigationStart = "<!--AA_TAG_START-->";
inline constexpr std::string_view kNavigationEnd = "<!--AA_TAG_END-->";
inline constexpr std::string_view kFoldersToFiles = "<!--AA_TAG_DIRtoFILE-->";

// Untrusted text (a name, a tag field) for a page: EscapeHtml, and line breaks as character
// references so that every row and link stays on one line of its own.
std::string EscapeText(std::string_view text);

// The text with every `from` replaced by `to` (case-sensitive).
std::string ReplaceChar(std::string_view text, char from, char to);

// The part of a folder path below RootPath, with "/" between names and at the end ("" for the
// root itself). Cut by length: the path always begins with RootPath.
std::string RelativeFolderPath(const RunContext& run, std::string_view folder);

// The navigation lines of a folder's page, the root's link first; none for the root's page.
// Each is `<A HREF="` + RootUrl + the encoded relative path + OutputFileName + `">← /` + the
// escaped relative path + "</A><BR>".
std::vector<std::string> NavigationLines(const RunContext& run, std::string_view folder);

// The column header row, as one line.
std::string HeaderRow(const RunContext& run, const EnvironmentSet& set);

// Writes the head of a folder's page, which will list folder_count sub-folders and file_count
// files.
void WritePageHead(PageBuffer& page, const PageContext& context, std::string_view folder,
                   size_t folder_count, size_t file_count);

}  // namespace veldra

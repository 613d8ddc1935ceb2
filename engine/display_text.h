#pragma once
// Text for a person to read on a terminal or in a message box. Folder and file names come from
// the tree, so anyone who can upload into it controls them: an escape sequence in a name would
// reach the operator's terminal raw (retitle it, clear it, fake lines of a report).

#include <string>
#include <string_view>

namespace veldra {

// The text with every control character replaced by U+FFFD: C0 (tabs and carriage returns
// included; the line feed only when keep_line_feed is false), DEL, and C1 (U+0080-U+009F). A
// byte that is not part of valid UTF-8 is replaced too, since a terminal may read a lone 0x9B as
// the start of a sequence. With noncharacters, U+FFFE and U+FFFF as well (XML cannot hold them).
std::string ReplaceControls(std::string_view utf8, bool keep_line_feed, bool noncharacters);

// ReplaceControls keeping line feeds: a notice may run over several lines.
inline std::string DisplayText(std::string_view utf8) { return ReplaceControls(utf8, true, false); }

}  // namespace veldra

#pragma once
// Text for a person to read on a terminal or in a message box. Folder and file names come from
// the tree, so anyone who can upload into it controls them: an escape sequence in a name would
// reach the operator's terminal raw (retitle it, clear it, fake lines of a report).

#include <string>
#include <string_view>

namespace veldra {

// The text with every control character but the line feed replaced by U+FFFD: C0 (tabs and
// carriage returns included), DEL, and C1 (U+0080-U+009F). A byte that is not part of valid
// UTF-8 is replaced too, since a terminal may read a lone 0x9B as the start of a sequence.
std::string DisplayText(std::string_view utf8);

}  // namespace veldra

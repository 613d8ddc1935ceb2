#pragma once
// Making untrusted texts (file names, tag fields) safe in pages, and reading links back.
// Setting texts (marks, table tag, templates, URLs) are the user's own HTML and are not touched.

#include <string>
#include <string_view>

namespace veldra {

// Escapes "&", "<", ">" and '"' as entities, for link texts and cells. Bytes that are not valid
// UTF-8 become U+FFFD.
std::string EscapeHtml(std::string_view text);

// Makes a path part (a name, or a relative path with "/" between names) into HREF text that leads
// to exactly that file: percent-encodes "%", "#", "?", "\", blanks, control characters and bytes
// that are not valid UTF-8, then escapes "&", "<", ">" and '"' as entities. "/" is kept.
std::string EncodeHrefPath(std::string_view path);

// Where the Append functions below put their text: as UTF-8, or as the CP932 bytes of a page,
// exactly what AppendCp932(..., Cp932Escape::kHtml) makes of the UTF-8 text (one pass, no
// intermediate string).
enum class TextForm { kUtf8, kCp932 };

// Appends EscapeHtml(text) with line breaks "\r" and "\n" as "&#13;" and "&#10;": an untrusted
// text that stays within one line of a page.
void AppendEscapedText(std::string& out, std::string_view text, TextForm form);

// Appends EncodeHrefPath(path).
void AppendHrefPath(std::string& out, std::string_view path, TextForm form);

// The inverse of EncodeHrefPath on text read back from a page: decodes entities ("&amp;",
// "&lt;", "&gt;", "&quot;", "&#N;", "&#xN;") and then percent escapes.
std::string DecodeHrefPath(std::string_view href);

}  // namespace veldra

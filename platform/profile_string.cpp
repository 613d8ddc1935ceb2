#include "platform/profile_string.h"

#include "platform/cp932.h"
#include "platform/text_compare.h"
#include "platform/text_file.h"

namespace veldra {
namespace {

constexpr bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

constexpr bool IsQuote(char c) { return c == '"' || c == '\''; }

// The name of a "[section]" line, or false when the line is no section line.
bool SectionName(std::string_view line, std::string_view& name) {
  line = TrimBlanks(line);
  if (line.empty() || line.front() != '[') return false;
  const size_t close = line.find(']');
  if (close == std::string_view::npos) return false;
  name = TrimBlanks(line.substr(1, close - 1));
  return true;
}

// Splits a "key=value" line; false for comments and lines without "=".
bool KeyAndValue(std::string_view line, std::string_view& key, std::string_view& value) {
  const std::string_view trimmed = TrimBlanks(line);
  if (trimmed.empty() || trimmed.front() == ';') return false;
  const size_t eq = line.find('=');
  if (eq == std::string_view::npos) return false;
  key = TrimBlanks(line.substr(0, eq));
  value = line.substr(eq + 1);
  return true;
}

bool NameMatches(std::string_view cp932_name, std::string_view utf8_name) {
  return EqualsNoCase(DecodeCp932(cp932_name, Cp932Escape::kRoundTrip), utf8_name);
}

// Where a section's lines are: [header, end) with header the "[section]" line.
struct SectionRange {
  size_t header = 0;
  size_t end = 0;
};

bool FindSection(const std::vector<std::string>& lines, std::string_view section,
                 SectionRange& range) {
  std::string_view name;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (!SectionName(lines[i], name) || !NameMatches(name, section)) continue;
    range.header = i;
    range.end = i + 1;
    while (range.end < lines.size() && !SectionName(lines[range.end], name)) ++range.end;
    return true;
  }
  return false;
}

// The line index of a key in a section, or npos.
size_t FindKey(const std::vector<std::string>& lines, const SectionRange& range,
               std::string_view key) {
  std::string_view k, v;
  for (size_t i = range.header + 1; i < range.end; ++i) {
    if (KeyAndValue(lines[i], k, v) && NameMatches(k, key)) return i;
  }
  return std::string::npos;
}

// The stored form of a value. Line breaks and NUL would end the line or the value early, so they
// are written as the references "&#13;", "&#10;" and "&#0;", which read back as that text: no
// value read from a file holds a line break (a "&#10;" typed into a set on Windows is HTML for the
// page, not ours to decode), and in the HTML texts of a set the reference means the same. A value
// that reading would trim or unquote is wrapped in double quotes, so that it reads back as written.
std::string StoredValue(std::string_view value) {
  std::string encoded;
  for (size_t i = 0; i < value.size();) {
    const size_t cut = value.find_first_of(std::string_view("\r\n\0", 3), i);
    AppendCp932(encoded, value.substr(i, cut == std::string_view::npos ? cut : cut - i),
                Cp932Escape::kRoundTrip);
    if (cut == std::string_view::npos) break;
    encoded += value[cut] == '\r' ? "&#13;" : (value[cut] == '\n' ? "&#10;" : "&#0;");
    i = cut + 1;
  }
  const bool wrap =
      !encoded.empty() &&
      (IsBlank(encoded.front()) || IsBlank(encoded.back()) ||
       (encoded.size() >= 2 && IsQuote(encoded.front()) && encoded.front() == encoded.back()));
  return wrap ? "\"" + encoded + "\"" : encoded;
}

}  // namespace

bool IniDocument::Load(const std::string& path) {
  lines_.clear();
  std::string bytes;
  if (!ReadFileBytes(path, bytes)) return false;
  lines_ = SplitLines(bytes);
  return true;
}

std::string IniDocument::Read(std::string_view section, std::string_view key,
                              size_t max_bytes) const {
  SectionRange range;
  if (!FindSection(lines_, section, range)) return "";
  const size_t at = FindKey(lines_, range, key);
  if (at == std::string::npos) return "";
  std::string_view k, value;
  KeyAndValue(lines_[at], k, value);
  value = TrimBlanks(value);
  if (value.size() >= 2 && IsQuote(value.front()) && value.front() == value.back())
    value = value.substr(1, value.size() - 2);
  return DecodeCp932(CutCp932(value, max_bytes), Cp932Escape::kRoundTrip);
}

std::string IniDocument::Get(std::string_view section, std::string_view key) const {
  // At most 254 bytes, as the Windows call with its 255-byte buffer gives.
  return Read(section, key, kProfileValueLimit);
}

std::string IniDocument::GetWhole(std::string_view section, std::string_view key) const {
  return Read(section, key, std::string_view::npos);
}

bool IniDocument::Has(std::string_view section, std::string_view key) const {
  SectionRange range;
  return FindSection(lines_, section, range) && FindKey(lines_, range, key) != std::string::npos;
}

void IniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
  const std::string line = EncodeCp932(key, Cp932Escape::kRoundTrip) + "=" + StoredValue(value);
  SectionRange range;
  if (!FindSection(lines_, section, range)) {
    lines_.push_back("[" + EncodeCp932(section, Cp932Escape::kRoundTrip) + "]");
    lines_.push_back(line);
    return;
  }
  const size_t at = FindKey(lines_, range, key);
  if (at != std::string::npos) {
    lines_[at] = line;
    return;
  }
  size_t last = range.header;
  for (size_t i = range.header + 1; i < range.end; ++i) {
    if (!TrimBlanks(lines_[i]).empty()) last = i;
  }
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(last + 1), line);
}

bool IniDocument::Save(const std::string& path, FolderAccess& access) const {
  std::string bytes;
  for (const std::string& line : lines_) {
    bytes += line;
    bytes += "\r\n";
  }
  return access.ReplaceFile(path, bytes, nullptr);
}

}  // namespace veldra

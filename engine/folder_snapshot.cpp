#include "engine/folder_snapshot.h"

#include <algorithm>

#include "platform/cp932.h"
#include "platform/text_file.h"

namespace veldra {
namespace {

void AppendField(std::string& line, std::string_view field) {
  line += '"';
  for (size_t i = 0; i < field.size();) {
    // The text up to and with the next quote, which is then doubled.
    const size_t quote = field.find('"', i);
    const size_t end = quote == std::string_view::npos ? field.size() : quote + 1;
    line.append(field, i, end - i);
    if (quote != std::string_view::npos) line += '"';
    i = end;
  }
  line += '"';
}

// line is a buffer the records of one snapshot share.
void AppendRecord(std::string& out, std::string& line, std::string_view kind, const Entry& entry) {
  line.clear();
  AppendField(line, kind);
  line += ',';
  AppendField(line, entry.name);
  line += ',';
  AppendField(line, entry.time_text);
  line += ',';
  AppendField(line, entry.size_text);
  AppendCp932Line(out, line, Cp932Escape::kRoundTrip);
}

bool IsLineEnd(std::string_view text, size_t i) {
  return text[i] == '\n' || (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n');
}

size_t LineEndLength(std::string_view text, size_t i) { return text[i] == '\n' ? 1 : 2; }

}  // namespace

std::string FormatSnapshot(const EntryTable& folders, const EntryTable& files) {
  std::string out;
  std::string line;
  for (const Entry& entry : folders) AppendRecord(out, line, "D", entry);
  for (const Entry& entry : files) AppendRecord(out, line, "F", entry);
  return out;
}

FolderSnapshot ParseSnapshot(std::string_view cp932_bytes) {
  // The separators, quote and line ends are all below 0x40, so they never occur inside a
  // two-byte CP932 character: decoding first and parsing after gives the same fields.
  const std::string text = DecodeCp932(cp932_bytes, Cp932Escape::kRoundTrip);
  FolderSnapshot snapshot;
  std::vector<std::string> fields;
  size_t i = 0;
  const size_t n = text.size();
  while (i < n) {
    if (IsLineEnd(text, i)) {  // an empty line holds no record
      i += LineEndLength(text, i);
      continue;
    }
    fields.clear();
    bool record_done = false;
    while (!record_done) {
      if (i >= n || text[i] != '"') return snapshot;  // an unquoted field: damage
      std::string field;
      ++i;
      bool closed = false;
      while (i < n) {
        const size_t quote = std::min(text.find('"', i), n);
        field.append(text, i, quote - i);
        i = quote;
        if (i == n) break;
        if (i + 1 < n && text[i + 1] == '"') {
          field += '"';
          i += 2;
          continue;
        }
        ++i;
        closed = true;
        break;
      }
      if (!closed) return snapshot;  // the file ends inside a field: a truncated record
      fields.push_back(std::move(field));
      if (i >= n) {
        record_done = true;
      } else if (text[i] == ',') {
        ++i;
      } else if (IsLineEnd(text, i)) {
        i += LineEndLength(text, i);
        record_done = true;
      } else {
        return snapshot;  // text after a closing quote: damage
      }
    }
    if (fields.size() == 4) {
      snapshot.push_back(SnapshotRecord{std::move(fields[0]), std::move(fields[1]),
                                        std::move(fields[2]), std::move(fields[3])});
    }
  }
  return snapshot;
}

size_t SnapshotReadCap(size_t entries) {
  constexpr size_t kFloor = size_t{16} << 20;
  constexpr size_t kPerEntry = 2048;
  return entries > kFloor / kPerEntry ? entries * kPerEntry : kFloor;
}

FolderSnapshot ReadSnapshotAt(int dir_fd, const std::string& name, size_t entries) {
  std::string bytes;
  if (ReadRegularFileAt(dir_fd, name, SnapshotReadCap(entries), bytes) != RegularReadResult::kRead)
    return {};
  return ParseSnapshot(bytes);
}

}  // namespace veldra

#pragma once
// The per-folder snapshot ("<page file>.csv") the next run compares against to mark changes.
// One record per line: "kind","name","time","size", CP932, CR LF. A '"' inside a field is doubled
// and a field may span line breaks, so any name survives; snapshots without such names read as
// they always did.

#include <string>
#include <string_view>
#include <vector>

#include "engine/entry_table.h"

namespace veldra {

struct SnapshotRecord {
  std::string kind;  // "D" for a folder, "F" for a file
  std::string name;
  std::string time_text;
  std::string size_text;  // "" for folders
  friend bool operator==(const SnapshotRecord&, const SnapshotRecord&) = default;
};

using FolderSnapshot = std::vector<SnapshotRecord>;

// The snapshot of a page's entries: the folder records in table order, then the file records.
// Returns the file's bytes (CP932; names CP932 cannot hold are kept with Cp932Escape::kRoundTrip).
std::string FormatSnapshot(const EntryTable& folders, const EntryTable& files);

// Reads snapshot bytes. Records of other than four fields are dropped; at the first damage (a
// field that is not quoted, text after a closing quote, a quote never closed) reading stops and
// the records before it are kept.
FolderSnapshot ParseSnapshot(std::string_view cp932_bytes);

// Reads the snapshot `name` of an open folder as a run's own file: a link, FIFO or anything but
// a regular file at the name reads as no snapshot, and at most max(16 MiB, 2 KiB per entry) of
// it is read, keeping the records before the cap as for a damaged snapshot.
FolderSnapshot ReadSnapshotAt(int dir_fd, const std::string& name, size_t entries);

// The most of a snapshot that is read for a folder of `entries` entries.
size_t SnapshotReadCap(size_t entries);

}  // namespace veldra

#pragma once
// The sub-folders or the files of one folder, in the order a page lists them.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "platform/text_compare.h"

namespace veldra {

// One row of a folder page: a sub-folder or a file as the listing found it.
struct Entry {
  std::string name;
  std::string time_text;  // FileTimeText of the last-write time
  std::string size_text;  // decimal bytes for files, "" for folders
  int64_t size = 0;
  FolderId id;           // device and inode of the folder or file (of a link's target for links)
  bool is_link = false;  // listed through a link the walk allows
  FileTime modified{};   // last-write and status change times, for the tag cache's key
  FileTime changed{};
};

using EntryTable = std::vector<Entry>;

// "YYYY/MM/DD hh:mm" of a last-write time, in local time.
std::string FileTimeText(const FileTime& time);

// The size text of a file: its 64-bit byte count in decimal.
std::string SizeText(int64_t size);

// Makes a table entry from a listed folder entry.
Entry MakeEntry(const DirEntry& listed);

// Puts a table in page order: ascending by the collator (case and width ignored), entries that
// compare equal keep their arrival order. n log n, one sort key per entry.
void SortEntries(EntryTable& table, const NameCollator& collator);

// Sorts texts the same way (used for the work list of folder paths).
void SortTexts(std::vector<std::string>& texts, const NameCollator& collator);

}  // namespace veldra

// Fuzz target: reading a folder snapshot. Any bytes must parse without harm, and the records read
// must come back unchanged when written again and read back.

#include <cstdint>
#include <string_view>

#include "engine/folder_snapshot.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace veldra;
  const FolderSnapshot records =
      ParseSnapshot(std::string_view(reinterpret_cast<const char*>(data), size));

  EntryTable folders, files;
  FolderSnapshot expected;
  for (const SnapshotRecord& r : records) {
    if (r.kind != "D") continue;
    folders.push_back(Entry{r.name, r.time_text, r.size_text, 0, {}});
    expected.push_back(r);
  }
  for (const SnapshotRecord& r : records) {
    if (r.kind != "F") continue;
    files.push_back(Entry{r.name, r.time_text, r.size_text, 0, {}});
    expected.push_back(r);
  }
  FUZZ_CHECK(ParseSnapshot(FormatSnapshot(folders, files)) == expected);
  return 0;
}

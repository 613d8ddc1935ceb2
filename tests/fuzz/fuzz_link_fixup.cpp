// Fuzz target: gathering pages, in an in-memory folder tree. The input is split at the first two
// NUL bytes into the pages of the root and of its sub-folder "a b"; both are gathered. A gathered
// page must hold every line of its page except the three marker lines, the header lines
// unchanged; a page not gathered must stay in its folder untouched; every folder keeps its time
// and no folder handle is left open.

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/link_fixup.h"
#include "platform/text_file.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/support/memory_folders.h"

namespace {

bool IsMarker(std::string_view line, std::string_view marker) {
  if (line.size() != marker.size()) return false;
  for (size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    char m = marker[i];
    if (m >= 'A' && m <= 'Z') m = static_cast<char>(m - 'A' + 'a');
    if (c != m) return false;
  }
  return true;
}

// The index of the navigation start marker when the page has all three markers in order.
size_t StartMarker(const std::vector<std::string>& lines, bool& complete) {
  const auto find = [&](std::string_view marker, size_t from) {
    for (size_t i = from; i < lines.size(); ++i)
      if (IsMarker(lines[i], marker)) return i;
    return lines.size();
  };
  const size_t start = find("<!--AA_TAG_START-->", 0);
  const size_t end = start < lines.size() ? find("<!--AA_TAG_END-->", start + 1) : lines.size();
  const size_t d2f = end < lines.size() ? find("<!--AA_TAG_DIRtoFILE-->", end + 1) : lines.size();
  complete = d2f < lines.size();
  return start;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace veldra;
  // The folders live in memory: the hidden names a replace makes are numbered, not random, so
  // the same input always takes the same path (and the fixed-seed pass can run this target).
  test::MemoryFolders folders;
  const std::string root = "/tree/";
  const std::string sub = root + "a b/";
  const std::string out = "/out/";
  folders.AddFolder(out);
  const FileTime out_time = folders.Time(out);

  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t split = input.find(std::string_view("\0\0", 2));
  const std::string pages[2] = {
      std::string(input.substr(0, split)),
      split == std::string_view::npos ? std::string() : std::string(input.substr(split + 2))};
  const std::vector<std::string> work_list = {root, sub};
  for (size_t i = 0; i < 2; ++i) folders.AddFile(work_list[i] + "index.htm", pages[i]);
  const FileTime folder_times[2] = {folders.Time(root), folders.Time(sub)};

  RunContext context;
  context.OutputFileName = "index.htm";
  context.RootPath = root;
  context.RootUrl = "/files/";
  const FixUpResult result =
      FixUpLinks(context, out, "/pages/", work_list, nullptr, nullptr, nullptr, &folders);
  FUZZ_CHECK(folders.open_handles() == 0);
  FUZZ_CHECK(folders.Time(out) == out_time);
  FUZZ_CHECK(folders.Time(root) == folder_times[0] && folders.Time(sub) == folder_times[1]);

  for (size_t i = 0; i < 2; ++i) {
    const std::string page_path = work_list[i] + "index.htm";
    const bool kept = std::find(result.pages_not_gathered.begin(), result.pages_not_gathered.end(),
                                work_list[i]) != result.pages_not_gathered.end();
    const std::vector<std::string> lines = SplitLines(pages[i]);
    bool complete = false;
    const size_t start = StartMarker(lines, complete);
    if (kept) {
      FUZZ_CHECK(!complete);
      FUZZ_CHECK(folders.IsFile(page_path) && folders.Bytes(page_path) == pages[i]);
      continue;
    }
    FUZZ_CHECK(complete);
    FUZZ_CHECK(!folders.Exists(page_path));
    const std::string gathered_path = out + "index0000" + std::to_string(i) + ".htm";
    FUZZ_CHECK(folders.IsFile(gathered_path));
    const std::vector<std::string> gathered = SplitLines(folders.Bytes(gathered_path));
    FUZZ_CHECK(gathered.size() + 3 == lines.size());
    for (size_t k = 0; k < start; ++k) FUZZ_CHECK(gathered[k] == lines[k]);
  }
  return 0;
}

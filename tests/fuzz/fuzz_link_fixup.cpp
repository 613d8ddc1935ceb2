// Fuzz target: gathering pages. The input is split at the first two NUL bytes into the pages of
// the root and of its sub-folder "a b"; both are gathered. A gathered page must hold every line of
// its page except the three marker lines, the header lines unchanged; a page not gathered must
// stay in its folder untouched.

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/link_fixup.h"
#include "platform/text_file.h"
#include "tests/fuzz/fuzz_support.h"

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
  const std::string& scratch = fuzz::ScratchFolder();
  const std::string root = scratch + "tree/";
  const std::string sub = root + "a b/";
  const std::string out = scratch + "out/";
  mkdir(root.c_str(), 0755);
  mkdir(sub.c_str(), 0755);
  mkdir(out.c_str(), 0755);

  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t split = input.find(std::string_view("\0\0", 2));
  const std::string pages[2] = {
      std::string(input.substr(0, split)),
      split == std::string_view::npos ? std::string() : std::string(input.substr(split + 2))};
  const std::vector<std::string> work_list = {root, sub};
  for (size_t i = 0; i < 2; ++i)
    fuzz::WriteScratchFile(work_list[i] + "index.htm", pages[i].data(), pages[i].size());

  RunContext context;
  context.OutputFileName = "index.htm";
  context.RootPath = root;
  context.RootUrl = "/files/";
  const FixUpResult result = FixUpLinks(context, out, "/pages/", work_list);

  for (size_t i = 0; i < 2; ++i) {
    const std::string page_path = work_list[i] + "index.htm";
    const bool kept = std::find(result.pages_not_gathered.begin(), result.pages_not_gathered.end(),
                                work_list[i]) != result.pages_not_gathered.end();
    const std::vector<std::string> lines = SplitLines(pages[i]);
    bool complete = false;
    const size_t start = StartMarker(lines, complete);
    std::string bytes;
    if (kept) {
      FUZZ_CHECK(!complete);
      FUZZ_CHECK(ReadFileBytes(page_path, bytes) && bytes == pages[i]);
      continue;
    }
    FUZZ_CHECK(complete);
    FUZZ_CHECK(!ReadFileBytes(page_path, bytes));
    FUZZ_CHECK(ReadFileBytes(out + "index0000" + std::to_string(i) + ".htm", bytes));
    const std::vector<std::string> gathered = SplitLines(bytes);
    FUZZ_CHECK(gathered.size() + 3 == lines.size());
    for (size_t k = 0; k < start; ++k) FUZZ_CHECK(gathered[k] == lines[k]);
  }
  return 0;
}

#pragma once
// Gathering the written pages into one output folder under numbered names, with the links
// between pages rewritten.

#include <string>
#include <string_view>
#include <vector>

#include "engine/run.h"

namespace veldra {

struct FixUpResult {
  size_t pages_gathered = 0;
  std::vector<std::string> pages_not_gathered;  // folders whose page stayed where it was
  std::vector<std::string> problems;            // e.g. the output folder cannot be written
};

// Copies the page of every folder of work_list (sorted, root first) to output_folder as base name
// + five-digit page number + ".htm", rewriting navigation and sub-folder links to output_url, and
// deletes the page in its folder once its copy is complete. Deletes beforehand only the old
// gathered pages (base name, digits, ".htm"). observer (may be null) hears of each page handled.
FixUpResult FixUpLinks(const RunContext& context, const std::string& output_folder,
                       const std::string& output_url, const std::vector<std::string>& work_list,
                       RunObserver* observer = nullptr);

// A page number as gathered page names show it: at least five digits, zero-padded.
std::string FormatPageNumber(size_t number);

// True when name is base, one or more ASCII digits and ".htm", compared without regard to case:
// the name of a gathered page, the only kind of file the pass deletes beforehand.
bool IsGatheredPageName(std::string_view name, std::string_view base);

}  // namespace veldra

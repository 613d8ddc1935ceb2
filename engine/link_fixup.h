#pragma once
// Gathering the written pages into one output folder under numbered names, with the links
// between pages rewritten.

#include <string>
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
// gathered pages (base name, digits, ".htm").
FixUpResult FixUpLinks(const RunContext& context, const std::string& output_folder,
                       const std::string& output_url, const std::vector<std::string>& work_list);

}  // namespace veldra

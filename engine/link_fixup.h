#pragma once
// Gathering the written pages into one output folder under numbered names, with the links
// between pages rewritten.

#include <string>
#include <string_view>
#include <vector>

#include "engine/folder_walk.h"
#include "engine/run.h"

namespace veldra {

struct FixUpResult {
  size_t pages_gathered = 0;
  size_t pages_left_alone = 0;  // of pages_gathered: the old one held the same bytes (SKIPSAME)
  // SKIPSAME: pages the walk left unwritten whose numbers or links moved, written into their
  // folders after all and gathered.
  size_t pages_given_back = 0;
  std::vector<std::string> pages_not_gathered;  // folders whose page stayed where it was
  std::vector<RunProblem> problems;             // e.g. the output folder cannot be written
};

// Copies the page of every folder of work_list (sorted, root first) to output_folder as base name
// + five-digit page number + ".htm", rewriting navigation and sub-folder links to output_url, and
// deletes the page in its folder once its copy is complete. Each gathered page replaces the old
// one of its number atomically; old gathered pages whose numbers are no longer used (regular
// files named as IsGatheredPageName says) are deleted at the end. With walk, a page is gathered
// only when it is still the file the walk wrote (device, inode, size, time), read through the
// walk's folder handles, and a linked folder listed as a row links the gathered page of the
// folder it leads to; when walk asks for SKIPSAME, a gathered page whose old file already holds
// its bytes (apart from the date-time text of the date line) is left alone. control (may be null)
// gets the pause point kGatherDeleted; observer (may be null) hears of each page handled. Every
// folder is opened and changed through the walk's FolderAccess, or without a walk through access
// (the file system when null).
FixUpResult FixUpLinks(const RunContext& context, const std::string& output_folder,
                       const std::string& output_url, const std::vector<std::string>& work_list,
                       WalkRecord* walk = nullptr, const RunControl* control = nullptr,
                       RunObserver* observer = nullptr, FolderAccess* access = nullptr);

// A page number as gathered page names show it: at least five digits, zero-padded.
std::string FormatPageNumber(size_t number);

// True when name is a name the pass writes: base (without regard to case), a page number as
// FormatPageNumber writes it (five digits, or more without a leading zero) and ".htm" — the only
// kind of file the pass deletes.
bool IsGatheredPageName(std::string_view name, std::string_view base);

}  // namespace veldra

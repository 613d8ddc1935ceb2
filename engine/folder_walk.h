#pragma once
// The walk over the folder tree that writes one page and one snapshot per folder.

#include <string>
#include <vector>

#include "engine/page_context.h"
#include "platform/text_compare.h"

namespace veldra {

// Walks the tree below RootPath. Each folder is listed completely (its listing closed), its two
// tables built, then its sub-folders are walked in the order the listing returned them, then its
// page is written: pages come deepest first, the root's last. A sub-folder that is already on
// the current path (a link back up the tree) is listed as a row but not entered. Folders that
// cannot be listed get no page and are reported. Uses no recursion, so depth is not limited by
// the stack. work_list receives every folder whose page was written, sorted by the collator.
void WalkFolder(const PageContext& context, const NameCollator& collator, RunObserver* observer,
                RunReport& report, std::vector<std::string>& work_list);

}  // namespace veldra

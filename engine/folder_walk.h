#pragma once
// The walk over the folder tree that writes one page and one snapshot per folder.

#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "engine/feed_history.h"
#include "engine/gathered_page.h"
#include "engine/page_context.h"
#include "engine/run.h"
#include "platform/folder_tree.h"
#include "platform/text_compare.h"

namespace veldra {

// What a walk leaves for the gathering pass: handles on the folders it walked, the identity of
// every page it wrote, and the linked folders it listed as rows without walking them.
struct WalkRecord {
  WalkRecord() = default;
  // A walk whose folders are opened and written through access.
  explicit WalkRecord(FolderAccess& access) : tree(access) {}

  FolderTree tree;
  bool keep_pages = true;  // fill pages and link_rows (only the gathering pass needs them)
  struct Page {
    size_t folder = FolderTree::kNone;  // in tree
    FileIdentity page;
    ByteSpan date_time;  // of the page's date line, which a comparison passes over
  };
  bool skip_same = false;  // SKIPSAME: a gathered page that would be unchanged is left alone
  // SKIPSAME when gathering: the previous numbering (may be null), and the folders whose page was
  // not written because their old gathered page already held it, by folder path.
  const GatheredPageGuess* guess = nullptr;
  std::unordered_map<std::string, SkippedPage> skipped;
  std::unordered_map<std::string, Page> pages;  // by folder path
  // A linked folder listed as a row but not walked (its path, ending with the separator), and
  // the folder it leads to.
  std::vector<std::pair<std::string, FolderId>> link_rows;
  // With FEED: the entries each written page found new or updated, by folder path.
  std::unordered_map<std::string, std::vector<ChangeEvent>> changes;
};

// Walks the tree below RootPath. Each folder is listed completely (its listing closed), its two
// tables built, then its sub-folders are walked in the order the listing returned them, then its
// page is written: pages come deepest first, the root's last. A folder (device and inode) is
// walked at most once: a linked folder is walked after every folder reached without links, and
// one already walked (a link back up the tree, or to a folder walked elsewhere) is listed as a
// row but not entered. A link is followed only when it lies inside the root folder (real paths)
// or has the owner of what it leads to; other links are left out and reported. Every write goes
// through a handle on the folder the walk listed. Folders that cannot be listed get no page and
// are reported. Uses no recursion, so depth is not limited by the stack. work_list receives
// every folder whose page was written, sorted by the collator.
void WalkFolder(const PageContext& context, const NameCollator& collator, RunObserver* observer,
                RunReport& report, std::vector<std::string>& work_list,
                WalkRecord* record = nullptr);

}  // namespace veldra

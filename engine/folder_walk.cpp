#include "engine/folder_walk.h"

#include <errno.h>
#include <string.h>
#include <unistd.h>
#include <cstring>

#include <chrono>
#include <deque>
#include <new>
#include <unordered_set>

#include "engine/entry_table.h"
#include "engine/folder_page.h"
#include "engine/messages.h"
#include "engine/page_write_queue.h"
#include "engine/whats_new_page.h"
#include "platform/file_system.h"
#include "platform/list_ahead.h"
#include "platform/text_compare.h"
#include "platform/text_file.h"

namespace veldra {
namespace {

struct FolderIdHash {
  size_t operator()(const FolderId& id) const {
    return std::hash<uint64_t>()(id.inode * 0x9E3779B97F4A7C15ull ^ id.device);
  }
};

// One folder on the current path, with its tables and the sub-folders still to walk.
struct Frame {
  std::string path;
  size_t index = FolderTree::kNone;  // in the record's tree
  EntryTable folders;
  EntryTable files;
  std::vector<std::pair<std::string, FolderId>> to_walk;  // sub-folders, in listing order
  size_t next = 0;
};

// A linked folder to walk once the folders reached without links are done.
struct DeferredLink {
  size_t parent;
  std::string parent_path;
  std::string name;
  FolderId id;
};

class Walker {
 public:
  Walker(const PageContext& context, const NameCollator& collator, RunObserver* observer,
         RunReport& report, std::vector<std::string>& work_list, WalkRecord& record)
      : context_(context),
        collator_(collator),
        observer_(observer),
        report_(report),
        work_list_(work_list),
        record_(record),
        page_name_(FoldCase(context.run.OutputFileName)),
        snapshot_name_(FoldCase(context.run.OutputFileName + ".csv")),
        user_(static_cast<uint32_t>(geteuid())),
        list_ahead_(context.tuning.list_ahead_threads, context.tuning.list_ahead_waiting),
        writes_(context.tuning,
                [this](const FolderPageFiles& files, const FolderPageResult& result) {
                  PageDone(files, result);
                }) {}

  void Run() {
    const std::string& root = context_.run.RootPath;
    Frame frame;
    frame.path = root;
    frame.index = record_.tree.AddRoot(root);
    if (frame.index == FolderTree::kNone) {
      report_.root_found = false;
      report_.problems.push_back({ProblemKind::kRootNotListed, root, strerror(errno)});
      return;
    }
    root_real_ = RealPath(root);
    walked_.insert(record_.tree.Id(frame.index));
    if (!List(frame)) {
      report_.root_found = false;
      report_.problems.push_back({ProblemKind::kRootNotListed, root, strerror(list_error_)});
      return;
    }
    folders_found_ = 1 + frame.to_walk.size() + deferred_.size();
    stack_.push_back(std::move(frame));
    for (;;) {
      WalkStack();
      if (deferred_.empty() || Stopped()) break;
      const DeferredLink link = std::move(deferred_.front());
      deferred_.pop_front();
      Enter(link.parent, link.parent_path, link.name, link.id, true);
    }
    writes_.Finish();
    SortTexts(work_list_, collator_);
  }

 private:
  // A stop ends the walk between folders: the pages handed to the writers are finished whole,
  // the folders still on the path keep their old pages.
  bool Stopped() {
    if (context_.control == nullptr || !context_.control->StopRequested()) return false;
    report_.folders_left = true;
    return true;
  }

  void WalkStack() {
    while (!stack_.empty()) {
      if (Stopped()) break;
      Frame& top = stack_.back();
      if (top.next < top.to_walk.size()) {
        const auto& [name, id] = top.to_walk[top.next++];
        Enter(top.index, top.path, name, id, false);
      } else {
        // The writers build the page too (sorting, snapshot, tags, formatting), beside the walk,
        // which only lists.
        std::string folder = top.path;
        writes_.Submit(
            [&context = context_, &collator = collator_, &tree = record_.tree,
             guess = record_.guess, index = top.index, path = std::move(top.path),
             folders = std::move(top.folders), files = std::move(top.files)]() mutable {
              SortEntries(folders, collator);
              SortEntries(files, collator);
              FolderPageFiles prepared =
                  PrepareFolderPage(context, tree, index, path, folders, files);
              prepared.guess = guess;
              return prepared;
            },
            std::move(folder));
        stack_.pop_back();
      }
    }
  }

  // Lists a sub-folder and puts it on the stack; a folder already walked becomes a link row.
  void Enter(size_t parent, const std::string& parent_path, const std::string& name, FolderId id,
             bool through_link) {
    const std::string path = parent_path + name + kPathSeparator;
    if (!walked_.insert(id).second) {
      if (record_.keep_pages) record_.link_rows.emplace_back(path, id);
      return;
    }
    Frame child;
    child.path = path;
    child.index = record_.tree.Add(parent, name, id, through_link);
    const size_t deferred_before = deferred_.size();
    if (List(child)) {
      folders_found_ += child.to_walk.size() + (deferred_.size() - deferred_before);
      stack_.push_back(std::move(child));
    } else {
      report_.problems.push_back(
          {ProblemKind::kFolderNotListed, child.path, strerror(list_error_)});
      ++folders_done_;
    }
    if (observer_) observer_->WalkProgress(folders_found_, folders_done_);
  }

  bool IsPageOrSnapshot(const std::string& name) const {
    const std::string folded = FoldCase(name);
    return folded == page_name_ || folded == snapshot_name_;
  }

  // A temporary or set-aside file of a killed run: never a row; removed when it is a regular
  // file of exactly our form owned by us (anything else is a user's file and listed).
  bool IsOurLeftover(const DirEntry& entry) const {
    if (entry.is_link || !entry.is_regular || entry.owner != user_) return false;
    return IsTemporaryNameOf(entry.name, context_.run.OutputFileName) ||
           IsTemporaryNameOf(entry.name, context_.run.OutputFileName + ".csv") ||
           IsVisitorTemporaryName(context_, entry.name);
  }

  bool InsideRoot(const std::string& real) const {
    if (real.empty() || root_real_.empty()) return false;
    if (root_real_ == "/") return true;
    return real == root_real_ ||
           (real.starts_with(root_real_) && real[root_real_.size()] == kPathSeparator);
  }

  // A link is followed when what it leads to has the link's owner, or lies inside the root.
  bool LinkAllowed(int dir_fd, const DirEntry& entry) const {
    if (entry.owner == entry.target_owner) return true;
    return InsideRoot(RealPathAt(dir_fd, entry.name));
  }

  bool List(Frame& frame) {
    if (observer_) observer_->FolderStarted(frame.path);
    const FolderHandle dir = record_.tree.OpenHandle(frame.index);
    if (!dir.ok()) {
      list_error_ = errno;
      return false;
    }
    std::vector<DirEntry> listed;
    try {
      const auto started = std::chrono::steady_clock::now();
      if (!dir.access().List(dir.get(), listed, nullptr)) {
        list_error_ = errno;
        return false;
      }
      const bool cold = std::chrono::steady_clock::now() - started >=
                        std::chrono::microseconds(context_.tuning.list_ahead_after_us);
      std::vector<std::string> leftovers;
      for (const DirEntry& entry : listed) {
        if (IsOurLeftover(entry)) {
          leftovers.push_back(entry.name);
          continue;
        }
        if (!entry.is_folder && IsPageOrSnapshot(entry.name)) continue;
        if (!entry.is_folder && IsVisitorFileAt(context_, dir.get(), frame.path, entry.name))
          continue;
        if (entry.is_link && !entry.dangling && !LinkAllowed(dir.get(), entry)) {
          report_.problems.push_back({ProblemKind::kLinkRefused, frame.path + entry.name, ""});
          continue;
        }
        if (entry.is_folder) {
          frame.folders.push_back(MakeEntry(entry));
          if (entry.is_link) {
            deferred_.push_back(DeferredLink{frame.index, frame.path, entry.name, entry.id});
          } else {
            frame.to_walk.emplace_back(entry.name, entry.id);
            // The disk is cold: the sub-folders are listed ahead while the walk goes on.
            if (cold) list_ahead_.Ask(frame.path + entry.name);
          }
        } else {
          frame.files.push_back(MakeEntry(entry));
        }
      }
      if (!leftovers.empty()) {
        // Removing them must not look like a change of the folder to the next run.
        const FolderTimeKeeper folder_time(dir.access(), dir.get());
        for (const std::string& name : leftovers) dir.access().UnlinkAt(dir.get(), name);
      }
    } catch (const std::bad_alloc&) {
      frame.folders = EntryTable();
      frame.files = EntryTable();
      frame.to_walk.clear();
      list_error_ = ENOMEM;
      return false;  // this folder fails, the run goes on
    }
    return true;
  }

  void PageDone(const FolderPageFiles& files, const FolderPageResult& result) {
    const std::string& folder = files.folder;
    ++folders_done_;
    if (result.page_written) {
      ++report_.pages_written;
      if (result.page_left_alone) ++report_.pages_left_alone;
      work_list_.push_back(folder);
      if (result.skipped) {
        record_.skipped[folder] = *result.skipped;
      } else if (record_.keep_pages) {
        record_.pages[folder] = WalkRecord::Page{files.index, result.page, files.page_date_time};
      }
      if (!files.changes.empty()) record_.changes[folder] = files.changes;
      if (observer_) observer_->PageWritten(folder, report_.pages_written);
    }
    if (!result.page_written || !result.snapshot_written) {
      report_.problems.push_back(
          {ProblemKind::kPageNotWritten, folder, result.error != 0 ? strerror(result.error) : ""});
    }
    if (result.playlist_not_ours)
      report_.problems.push_back({ProblemKind::kNotOurFile, folder + files.playlist_name, ""});
    if (result.playlist_failed) {
      report_.problems.push_back(
          {ProblemKind::kPlaylistNotWritten, folder + files.playlist_name, ""});
    }
    if (observer_) observer_->WalkProgress(folders_found_, folders_done_);
    if (context_.control != nullptr) context_.control->PauseAt(pause_point::kFolderWritten);
  }

  const PageContext& context_;
  const NameCollator& collator_;
  RunObserver* observer_;
  RunReport& report_;
  std::vector<std::string>& work_list_;
  WalkRecord& record_;
  const std::string page_name_;
  int list_error_ = 0;  // errno of the last listing that failed
  const std::string snapshot_name_;
  const uint32_t user_;
  ListAhead list_ahead_;
  std::string root_real_;
  std::vector<Frame> stack_;
  std::deque<DeferredLink> deferred_;
  std::unordered_set<FolderId, FolderIdHash> walked_;
  size_t folders_found_ = 0;  // for the progress shown: listed or waiting to be listed
  size_t folders_done_ = 0;
  PageWriteQueue writes_;  // last: its writers finish before the members they report into go
};

}  // namespace

void WalkFolder(const PageContext& context, const NameCollator& collator, RunObserver* observer,
                RunReport& report, std::vector<std::string>& work_list, WalkRecord* record) {
  WalkRecord local;
  Walker(context, collator, observer, report, work_list, record != nullptr ? *record : local).Run();
}

}  // namespace veldra

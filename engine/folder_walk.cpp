#include "engine/folder_walk.h"

#include <unordered_set>

#include "engine/entry_table.h"
#include "engine/folder_page.h"
#include "platform/text_compare.h"
#include "engine/page_write_queue.h"
#include "platform/file_system.h"

namespace veldra {
namespace {

struct FolderIdHash {
  size_t operator()(const FolderId& id) const {
    return std::hash<uint64_t>()(id.inode * 0x9E3779B97F4A7C15ull ^ id.device);
  }
};

bool Known(const FolderId& id) { return id.device != 0 || id.inode != 0; }

// Pages are written by two threads beside the walk; a few pages may wait, which bounds memory.
constexpr size_t kWriterThreads = 2;
constexpr size_t kMaxQueuedPages = 16;

// One folder on the current path, with its tables and the sub-folders still to walk.
struct Frame {
  std::string path;
  FolderId id;
  EntryTable folders;
  EntryTable files;
  std::vector<std::pair<std::string, FolderId>> to_walk;  // sub-folders, in listing order
  size_t next = 0;
};

class Walker {
 public:
  Walker(const PageContext& context, const NameCollator& collator, RunObserver* observer,
         RunReport& report, std::vector<std::string>& work_list)
      : context_(context),
        collator_(collator),
        observer_(observer),
        report_(report),
        work_list_(work_list),
        page_name_(FoldCase(context.run.OutputFileName)),
        snapshot_name_(FoldCase(context.run.OutputFileName + ".csv")),
        leftover_prefixes_{LeftoverPrefix(context.run.OutputFileName),
                           LeftoverPrefix(context.run.OutputFileName + ".csv")},
        writes_(kWriterThreads, kMaxQueuedPages,
                [this](const FolderPageFiles& files, const FolderPageResult& result) {
                  PageDone(files.folder, result);
                }) {}

  void Run() {
    const std::string& root = context_.run.RootPath;
    Frame frame;
    frame.path = root;
    FileTime unused;
    if (!StatFolder(root, frame.id, unused)) frame.id = FolderId{};
    if (!List(frame)) {
      report_.root_found = false;
      return;
    }
    Push(std::move(frame));
    while (!stack_.empty()) {
      Frame& top = stack_.back();
      if (top.next < top.to_walk.size()) {
        Frame child;
        const auto& [name, id] = top.to_walk[top.next++];
        child.path = top.path + name + kPathSeparator;
        child.id = id;
        if (List(child)) {
          Push(std::move(child));
        } else {
          report_.folders_not_listed.push_back(child.path);
        }
      } else {
        // The writers build the page too (snapshot, tags, formatting), beside the walk.
        writes_.Submit([&context = context_, path = std::move(top.path),
                        folders = std::move(top.folders), files = std::move(top.files)] {
          return PrepareFolderPage(context, path, folders, files);
        });
        Pop();
      }
    }
    writes_.Finish();
    SortTexts(work_list_, collator_);
  }

 private:
  bool IsPageOrSnapshot(const std::string& name) const {
    const std::string folded = FoldCase(name);
    return folded == page_name_ || folded == snapshot_name_;
  }

  // A temporary file ReplaceFile leaves when a run is killed: "." + page or snapshot name
  // (cut to 200 bytes) + ".tmp-" + 8 characters. Never a row; the next run removes it.
  static std::string LeftoverPrefix(std::string target) {
    if (target.size() > 200) target.resize(200);
    return "." + target + ".tmp-";
  }
  bool IsLeftoverTemporary(const std::string& name) const {
    for (const std::string& prefix : leftover_prefixes_) {
      if (name.size() == prefix.size() + 8 && name.starts_with(prefix)) return true;
    }
    return false;
  }

  bool List(Frame& frame) {
    if (observer_) observer_->FolderStarted(frame.path);
    // A folder met again through a link may still be written to from its first visit; its
    // listing must not see that write's temporary file or changed time.
    if (Known(frame.id) && !visited_.insert(frame.id).second) writes_.Finish();
    std::vector<DirEntry> listed;
    if (!ListFolder(frame.path, listed)) return false;
    std::vector<std::string> leftovers;
    for (const DirEntry& entry : listed) {
      if (!entry.is_folder && IsLeftoverTemporary(entry.name)) {
        leftovers.push_back(entry.name);
        continue;
      }
      if (entry.is_folder) {
        frame.folders.push_back(MakeEntry(entry));
        // The folder being listed is not on the path yet, so a link to itself is checked apart.
        const bool on_path =
            Known(entry.id) && (entry.id == frame.id || on_path_.contains(entry.id));
        if (!on_path) frame.to_walk.emplace_back(entry.name, entry.id);
      } else if (!IsPageOrSnapshot(entry.name)) {
        frame.files.push_back(MakeEntry(entry));
      }
    }
    if (!leftovers.empty()) {
      // Removing them must not look like a change of the folder to the next run.
      FolderId id;
      FileTime modified;
      const bool have_time = StatFolder(frame.path, id, modified);
      for (const std::string& name : leftovers) DeleteFile(frame.path + name);
      if (have_time) RestoreModifiedTime(frame.path, modified);
    }
    SortEntries(frame.folders, collator_);
    SortEntries(frame.files, collator_);
    if (observer_) observer_->FoldersFound(frame.to_walk.size());
    return true;
  }

  void Push(Frame frame) {
    if (Known(frame.id)) on_path_.insert(frame.id);
    stack_.push_back(std::move(frame));
  }

  void Pop() {
    if (Known(stack_.back().id)) on_path_.erase(stack_.back().id);
    stack_.pop_back();
  }

  void PageDone(const std::string& folder, const FolderPageResult& result) {
    if (result.page_written) {
      ++report_.pages_written;
      work_list_.push_back(folder);
      if (observer_) observer_->PageWritten(folder, report_.pages_written);
    }
    if (!result.page_written || !result.snapshot_written)
      report_.pages_not_written.push_back(folder);
  }

  const PageContext& context_;
  const NameCollator& collator_;
  RunObserver* observer_;
  RunReport& report_;
  std::vector<std::string>& work_list_;
  const std::string page_name_;
  const std::string snapshot_name_;
  const std::string leftover_prefixes_[2];
  std::vector<Frame> stack_;
  std::unordered_set<FolderId, FolderIdHash> on_path_;
  std::unordered_set<FolderId, FolderIdHash> visited_;
  PageWriteQueue writes_;  // last: its writers finish before the members they report into go
};

}  // namespace

void WalkFolder(const PageContext& context, const NameCollator& collator, RunObserver* observer,
                RunReport& report, std::vector<std::string>& work_list) {
  Walker(context, collator, observer, report, work_list).Run();
}

}  // namespace veldra

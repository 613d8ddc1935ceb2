#include "engine/folder_walk.h"

#include <unordered_set>

#include "engine/entry_table.h"
#include "engine/folder_page.h"
#include "engine/name_fold.h"
#include "platform/file_system.h"

namespace veldra {
namespace {

struct FolderIdHash {
  size_t operator()(const FolderId& id) const {
    return std::hash<uint64_t>()(id.inode * 0x9E3779B97F4A7C15ull ^ id.device);
  }
};

bool Known(const FolderId& id) { return id.device != 0 || id.inode != 0; }

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
        page_name_(FoldName(context.run.OutputFileName)),
        snapshot_name_(FoldName(context.run.OutputFileName + ".csv")) {}

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
        WritePage(top);
        Pop();
      }
    }
    SortTexts(work_list_, collator_);
  }

 private:
  bool IsPageOrSnapshot(const std::string& name) const {
    const std::string folded = FoldName(name);
    return folded == page_name_ || folded == snapshot_name_;
  }

  bool List(Frame& frame) {
    if (observer_) observer_->FolderStarted(frame.path);
    std::vector<DirEntry> listed;
    if (!ListFolder(frame.path, listed)) return false;
    for (const DirEntry& entry : listed) {
      if (entry.is_folder) {
        frame.folders.push_back(MakeEntry(entry));
        // The folder being listed is not on the path yet, so a link to itself is checked apart.
        const bool on_path = Known(entry.id) && (entry.id == frame.id || on_path_.contains(entry.id));
        if (!on_path) {
          frame.to_walk.emplace_back(entry.name, entry.id);
        }
      } else if (!IsPageOrSnapshot(entry.name)) {
        frame.files.push_back(MakeEntry(entry));
      }
    }
    SortEntries(frame.folders, collator_);
    SortEntries(frame.files, collator_);
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

  void WritePage(const Frame& frame) {
    const FolderPageResult result =
        WriteFolderPage(context_, frame.path, frame.folders, frame.files);
    if (result.page_written) {
      ++report_.pages_written;
      work_list_.push_back(frame.path);
      if (observer_) observer_->PageWritten(frame.path, report_.pages_written);
    }
    if (!result.page_written || !result.snapshot_written)
      report_.pages_not_written.push_back(frame.path);
  }

  const PageContext& context_;
  const NameCollator& collator_;
  RunObserver* observer_;
  RunReport& report_;
  std::vector<std::string>& work_list_;
  const std::string page_name_;
  const std::string snapshot_name_;
  std::vector<Frame> stack_;
  std::unordered_set<FolderId, FolderIdHash> on_path_;
};

}  // namespace

void WalkFolder(const PageContext& context, const NameCollator& collator, RunObserver* observer,
                RunReport& report, std::vector<std::string>& work_list) {
  Walker(context, collator, observer, report, work_list).Run();
}

}  // namespace veldra

#pragma once
// Deciding the change mark of a row from the folder's previous snapshot.

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "engine/folder_snapshot.h"

namespace veldra {

enum class EntryKind { kFolder, kFile };

// The mark settings as the run started; the texts are used exactly as typed.
struct MarkSettings {
  bool show_new = false;
  bool show_update = false;
  std::string new_text;
  std::string update_text;
};

// A previous snapshot indexed by case-folded name. Folder records count only up to the first
// record that is not "D" (folders come first); among records of one name the first one wins.
class SnapshotIndex {
 public:
  explicit SnapshotIndex(const FolderSnapshot& snapshot);

  // The record of a name of the given kind, or nullptr when the previous run did not list it.
  const SnapshotRecord* Find(EntryKind kind, std::string_view name) const;

 private:
  // Looked up by string_view, so that a name needs no folded copy of its own.
  struct Hash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
  };
  using Map = std::unordered_map<std::string, size_t, Hash, std::equal_to<>>;

  const FolderSnapshot& snapshot_;
  Map folders_;
  Map files_;
};

// The mark of one row: the new text for an entry the snapshot lacks, the update text for one
// whose time (and, for a file, size) differs, nothing otherwise; each only when shown. Names and
// kinds compare without regard to case.
std::string ChangeMark(EntryKind kind, const SnapshotIndex& previous, std::string_view name,
                       std::string_view time_text, std::string_view size_text,
                       const MarkSettings& settings);

// ChangeMark without a copy: a view of one of the settings' texts, or an empty view.
std::string_view ChangeMarkText(EntryKind kind, const SnapshotIndex& previous,
                                std::string_view name, std::string_view time_text,
                                std::string_view size_text, const MarkSettings& settings);

}  // namespace veldra

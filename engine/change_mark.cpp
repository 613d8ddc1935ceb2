#include "engine/change_mark.h"

#include "platform/text_compare.h"

namespace veldra {

SnapshotIndex::SnapshotIndex(const FolderSnapshot& snapshot) : snapshot_(snapshot) {
  bool in_folder_records = true;
  for (size_t i = 0; i < snapshot.size(); ++i) {
    const SnapshotRecord& record = snapshot[i];
    const bool is_folder = EqualsNoCase(record.kind, "D");
    if (!is_folder) in_folder_records = false;
    if (is_folder && in_folder_records) {
      folders_.try_emplace(FoldCase(record.name), i);
    } else if (EqualsNoCase(record.kind, "F")) {
      files_.try_emplace(FoldCase(record.name), i);
    }
  }
}

const SnapshotRecord* SnapshotIndex::Find(EntryKind kind, std::string_view name) const {
  const auto& map = kind == EntryKind::kFolder ? folders_ : files_;
  if (map.empty()) return nullptr;
  // An ASCII name folds to its lower case: folded on the stack rather than into a new string.
  char folded[256];
  bool ascii = name.size() <= sizeof folded;
  for (size_t i = 0; ascii && i < name.size(); ++i) {
    const char c = name[i];
    if (static_cast<unsigned char>(c) >= 0x80) ascii = false;
    folded[i] = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  }
  const auto it =
      ascii ? map.find(std::string_view(folded, name.size())) : map.find(FoldCase(name));
  return it == map.end() ? nullptr : &snapshot_[it->second];
}

std::string_view ChangeMarkText(EntryKind kind, const SnapshotIndex& previous,
                                std::string_view name, std::string_view time_text,
                                std::string_view size_text, const MarkSettings& settings) {
  const SnapshotRecord* record = previous.Find(kind, name);
  if (record == nullptr) return settings.show_new ? settings.new_text : std::string_view();
  bool changed = !EqualsNoCase(record->time_text, time_text);
  if (kind == EntryKind::kFile) changed = changed || !EqualsNoCase(record->size_text, size_text);
  return settings.show_update && changed ? settings.update_text : std::string_view();
}

std::string ChangeMark(EntryKind kind, const SnapshotIndex& previous, std::string_view name,
                       std::string_view time_text, std::string_view size_text,
                       const MarkSettings& settings) {
  return std::string(ChangeMarkText(kind, previous, name, time_text, size_text, settings));
}

}  // namespace veldra

#include "engine/entry_table.h"

#include <algorithm>
#include <numeric>

#include "platform/local_time.h"

namespace veldra {
namespace {

// The permutation that puts names in collator order, stable.
std::vector<size_t> SortedOrder(size_t count, const NameCollator& collator, const auto& name_of) {
  std::vector<std::string> keys;
  keys.reserve(count);
  for (size_t i = 0; i < count; ++i) keys.push_back(collator.SortKey(name_of(i)));
  std::vector<size_t> order(count);
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&keys](size_t a, size_t b) { return keys[a] < keys[b]; });
  return order;
}

template <typename T>
void Permute(std::vector<T>& items, const std::vector<size_t>& order) {
  std::vector<T> sorted;
  sorted.reserve(items.size());
  for (size_t i : order) sorted.push_back(std::move(items[i]));
  items = std::move(sorted);
}

}  // namespace

std::string FileTimeText(const FileTime& time) { return LocalDateTimeText(time.seconds); }

std::string SizeText(int64_t size) { return std::to_string(size); }

Entry MakeEntry(const DirEntry& listed) {
  Entry entry;
  entry.name = listed.name;
  entry.time_text = FileTimeText(listed.modified);
  entry.id = listed.id;
  entry.is_link = listed.is_link;
  entry.modified = listed.modified;
  entry.changed = listed.changed;
  if (!listed.is_folder) {
    entry.size = listed.size;
    entry.size_text = SizeText(listed.size);
  }
  return entry;
}

void SortEntries(EntryTable& table, const NameCollator& collator) {
  if (table.size() < 2) return;
  Permute(table, SortedOrder(table.size(), collator,
                             [&table](size_t i) -> std::string_view { return table[i].name; }));
}

void SortTexts(std::vector<std::string>& texts, const NameCollator& collator) {
  // Compared directly rather than through sort keys: the work list holds every folder's path,
  // and a key for each would be the largest thing a run keeps.
  std::stable_sort(texts.begin(), texts.end(),
                   [&collator](const std::string& a, const std::string& b) {
                     return collator.Compare(a, b) < 0;
                   });
}

}  // namespace veldra

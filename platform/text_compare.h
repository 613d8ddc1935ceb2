#pragma once
// Comparing texts without regard to case, and ordering names for lists.

#include <memory>
#include <string>
#include <string_view>

namespace veldra {

// Unicode full case folding (full-width Latin included). Invalid UTF-8 bytes compare as themselves.
std::string FoldCase(std::string_view utf8);

// Equality and binary order of the case-folded texts.
bool EqualsNoCase(std::string_view a, std::string_view b);
int CompareNoCase(std::string_view a, std::string_view b);

// Byte-wise comparison that ignores the case of ASCII letters only: for fixed ASCII keywords
// ("TAG", "mp3", page markers) matched against raw bytes, where no decoding is wanted.
bool EqualsAsciiNoCase(std::string_view a, std::string_view b);
size_t FindAsciiNoCase(std::string_view haystack, std::string_view needle, size_t from = 0);

// Finds needle in haystack without regard to case; returns the byte offset in haystack or npos.
size_t FindNoCase(std::string_view haystack, std::string_view needle, size_t from = 0);

// Order of names in entry tables and sorted lists: an ICU collator for "ja" with strength
// secondary (case and width ignored). Sort with a stable sort so that ties keep arrival order.
class NameCollator {
 public:
  NameCollator();
  ~NameCollator();
  NameCollator(const NameCollator&) = delete;
  NameCollator& operator=(const NameCollator&) = delete;

  // <0, 0, >0 as a sorts before, with, after b.
  int Compare(std::string_view a, std::string_view b) const;
  // A byte string whose memcmp order equals Compare's order; cheaper for sorting many names.
  std::string SortKey(std::string_view a) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace veldra

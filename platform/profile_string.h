#pragma once
// INI files with the semantics of the Windows profile-string calls: sections and keys matched
// without regard to case, a key replaced where it stands, new keys appended to their section,
// file and section created when missing, values read back cut to 254 bytes of CP932 (GetWhole
// reads a value whole). Files are
// CP932 with CR LF (LF-only files read the same). Values are stored with Cp932Escape::kRoundTrip.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/folder_access.h"

namespace veldra {

// The longest value, in CP932 bytes, that reading gives back.
inline constexpr size_t kProfileValueLimit = 254;

// An INI file held in memory, so that many keys are read from one load and written in one save
// that leaves exactly the content the same writes made key by key would leave.
class IniDocument {
 public:
  // Loads a file; a missing or unreadable file gives an empty document and false (errno tells
  // which: ENOENT for a missing one).
  bool Load(const std::string& path);
  // The value of a key (trimmed, one pair of enclosing quotes removed, cut to 254 CP932 bytes,
  // decoded), or "" when the section or key is missing.
  std::string Get(std::string_view section, std::string_view key) const;
  // Get without the cut: for values that name a path or a URL, where a cut value would name
  // another folder or page.
  std::string GetWhole(std::string_view section, std::string_view key) const;
  // True when the section holds the key (with any value, empty included).
  bool Has(std::string_view section, std::string_view key) const;
  // Sets a key: replaces its line where it stands, or appends it to the end of its section,
  // creating the section at the end of the file when missing.
  void Set(std::string_view section, std::string_view key, std::string_view value);
  // Writes the document with access's ReplaceFile (atomic). False when it cannot be written.
  bool Save(const std::string& path, FolderAccess& access = RealFolderAccess()) const;

  // The raw CP932 lines (without line ends).
  const std::vector<std::string>& lines() const { return lines_; }

 private:
  std::string Read(std::string_view section, std::string_view key, size_t max_bytes) const;

  std::vector<std::string> lines_;
};

}  // namespace veldra

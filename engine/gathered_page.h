#pragma once
// SKIPSAME with gathered pages: telling while the walk builds a folder's page, before the pages
// are numbered, that its gathered page would be the same as the one in the output folder, so that
// no page is written into the folder only to be gathered and deleted again.

#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/folder_tree.h"
#include "platform/text_file.h"

namespace veldra {

struct RunContext;

// A folder whose page the walk did not write because the gathered page of its previous number
// already held it: enough to give the page back should the numbers have moved since. The page
// is the old gathered page with this run's date-time text, its marker lines put back at
// `markers` and its links to gathered pages turned back into links to the folders' pages.
struct SkippedPage {
  size_t folder = FolderTree::kNone;  // in the walk's tree
  std::string gathered_name;          // the old gathered page, in the output folder
  FileIdentity old;                   // its identity when it was compared
  size_t gathered_size = 0;           // the size of the gathered bytes this run built
  std::array<size_t, 3> markers{};    // where the gathering left out the three marker lines
  ByteSpan date_time;                 // of the page's date line (the same in both forms)
  std::string date_text;              // this run's date-time text there
};

// The numbering of the previous gathering, to compare a folder's page with its old gathered page
// while the walk goes on. Safe to use from several threads.
class GatheredPageGuess {
 public:
  // previous: the previous gathering's work list (see ReadGatheredList).
  GatheredPageGuess(const RunContext& context, const std::string& output_folder,
                    const std::string& output_url, std::vector<std::string> previous);
  ~GatheredPageGuess();
  GatheredPageGuess(const GatheredPageGuess&) = delete;
  GatheredPageGuess& operator=(const GatheredPageGuess&) = delete;

  // True when the folder's page (bytes as built, its date-time text at date_time), gathered under
  // the previous numbering, equals the gathered page of the folder's previous number apart from
  // that text, and that page is ours as HoldsSameBytesAt says; skipped is then filled.
  bool Matches(const std::string& folder, const std::string& page, ByteSpan date_time,
               SkippedPage& skipped) const;

  // The page as this run built it, from the old gathered page's bytes (which differ from this
  // run's gathered bytes at most in the date-time text). False when the bytes do not fit.
  bool Restore(std::string_view old_gathered, const SkippedPage& skipped, std::string& page) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The work list of the last gathering of a set, kept beside the set file as "<set name>.gathered"
// (only a guess for the next run: every page is compared before it is left alone). Read as
// untrusted input: a file that is not ours, too large or damaged gives an empty or shorter list.
std::string GatheredListName(const std::string& set_name);
std::vector<std::string> ReadGatheredList(const std::string& program_folder,
                                          const std::string& set_name);
bool WriteGatheredList(const std::string& program_folder, const std::string& set_name,
                       const std::vector<std::string>& work_list);

}  // namespace veldra

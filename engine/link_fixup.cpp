#include "engine/link_fixup.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "engine/html_text.h"
#include "engine/messages.h"
#include "engine/page_head.h"
#include "engine/run_control.h"
#include "platform/cp932.h"
#include "platform/file_name.h"
#include "platform/file_system.h"
#include "platform/percent_escape.h"
#include "platform/text_compare.h"
#include "platform/text_file.h"

namespace veldra {
namespace {

constexpr std::string_view kStartMarker = kNavigationStart;
constexpr std::string_view kEndMarker = kNavigationEnd;
constexpr std::string_view kDirToFileMarker = kFoldersToFiles;
constexpr std::string_view kHrefOpen = "<A HREF=\"";
constexpr std::string_view kGatheredExtension = ".htm";
constexpr std::string_view kLineEnd = "\r\n";

// Pages are CP932. The markers and kHrefOpen are ASCII, and neither '<' nor '"' can be the
// second byte of a two-byte character, so they can be matched on the raw bytes; a line holding
// any non-ASCII byte can never equal a marker.

// A setting text as it reads back from a page: what CP932 cannot hold came out as "&#N;".
std::string AsOnPage(std::string_view utf8) {
  return DecodeCp932(EncodeCp932(utf8, Cp932Escape::kHtml), Cp932Escape::kHtml);
}

// The page number of each folder of the work list: its position.
class FolderIndex {
 public:
  explicit FolderIndex(const std::vector<std::string>& work_list) {
    exact_.reserve(work_list.size());
    folded_.reserve(work_list.size());
    for (size_t i = 0; i < work_list.size(); ++i) {
      exact_.emplace(work_list[i], i);
      folded_.emplace(FoldCase(work_list[i]), i);
    }
  }

  // A linked folder listed as a row but not walked opens the page of the folder it leads to.
  void AddAlias(const std::string& link_path, size_t number) {
    aliases_.emplace(link_path, number);
    folded_aliases_.emplace(FoldCase(link_path), number);
  }

  // Exact match first, so that folders differing only in case each keep their own page.
  std::optional<size_t> Find(const std::string& folder) const {
    if (auto it = exact_.find(folder); it != exact_.end()) return it->second;
    if (auto it = aliases_.find(folder); it != aliases_.end()) return it->second;
    const std::string folded = FoldCase(folder);
    if (auto it = folded_.find(folded); it != folded_.end()) return it->second;
    if (auto it = folded_aliases_.find(folded); it != folded_aliases_.end()) return it->second;
    return std::nullopt;
  }

 private:
  std::unordered_map<std::string, size_t> exact_;
  std::unordered_map<std::string, size_t> folded_;
  std::unordered_map<std::string, size_t> aliases_;
  std::unordered_map<std::string, size_t> folded_aliases_;
};

// Maps a link's target back to the folder whose page it opens, and gives the new target.
class LinkMapper {
 public:
  LinkMapper(const RunContext& context, const std::string& output_url, std::string base,
             const FolderIndex& index)
      : root_path_(context.RootPath),
        root_url_(AsOnPage(context.RootUrl)),
        output_url_(output_url),
        base_(std::move(base)),
        index_(index) {
    page_names_.push_back(AsOnPage(context.OutputFileName));
    std::string encoded = AsOnPage(EncodeHrefPath(context.OutputFileName));
    if (encoded != page_names_.front()) page_names_.push_back(std::move(encoded));
  }

  enum class Kind { kOther, kPage, kUnknownFolder };
  struct Target {
    Kind kind = Kind::kOther;
    std::string new_href;  // UTF-8, for kPage
  };

  // href is a link target as the page holds it, decoded from CP932.
  Target Map(std::string_view href) const {
    if (href.size() < root_url_.size() ||
        !EqualsNoCase(href.substr(0, root_url_.size()), root_url_))
      return {};
    std::string_view rest = href.substr(root_url_.size());
    for (const std::string& name : page_names_) {
      if (rest.size() < name.size()) continue;
      const std::string_view tail = rest.substr(rest.size() - name.size());
      const std::string_view relative = rest.substr(0, rest.size() - name.size());
      if (!EqualsNoCase(tail, name)) continue;
      // The page of the root is RootUrl + name; any other is RootUrl + relative path + "/" +
      // name, so a name that merely ends like the page file is not a page link.
      if (!relative.empty() && relative.back() != '/') continue;
      const std::optional<size_t> number = index_.Find(root_path_ + DecodeHrefPath(relative));
      if (!number) return {Kind::kUnknownFolder, {}};
      return {Kind::kPage, output_url_ + EncodeHrefPath(base_ + FormatPageNumber(*number) +
                                                        std::string(kGatheredExtension))};
    }
    return {};
  }

 private:
  std::string root_path_;
  std::string root_url_;
  std::string output_url_;
  std::string base_;
  std::vector<std::string> page_names_;  // OutputFileName as written, and percent-encoded
  const FolderIndex& index_;
};

// A link target replaced in a line: [begin, end) of the line as it was, and the new bytes.
struct Replacement {
  size_t begin, end;
  std::string bytes;
};

// Rewrites every link of a CP932 line that opens a page of this run. When a link looks like a
// page link but its folder has no page, the line stays as it is and the target is returned.
std::optional<std::string> RewriteLinks(std::string& line, const LinkMapper& mapper) {
  std::vector<Replacement> replacements;
  size_t from = 0;
  while (true) {
    const size_t open = FindAsciiNoCase(line, kHrefOpen, from);
    if (open == std::string::npos) break;
    const size_t begin = open + kHrefOpen.size();
    const size_t end = line.find('"', begin);
    if (end == std::string::npos) break;
    const std::string href =
        DecodeCp932(std::string_view(line).substr(begin, end - begin), Cp932Escape::kHtml);
    LinkMapper::Target target = mapper.Map(href);
    if (target.kind == LinkMapper::Kind::kUnknownFolder) return href;
    if (target.kind == LinkMapper::Kind::kPage)
      replacements.push_back({begin, end, EncodeCp932(target.new_href, Cp932Escape::kHtml)});
    from = end + 1;
  }
  for (auto it = replacements.rbegin(); it != replacements.rend(); ++it)
    line.replace(it->begin, it->end - it->begin, it->bytes);
  return std::nullopt;
}

// A page's gathered form: the navigation block's markers and the folders-to-files marker left
// out, page links of the lines between them rewritten to gathered pages.
struct Gathered {
  std::string bytes;
  std::vector<std::string> unknown_links;
  size_t copied_unchanged = 0;      // bytes before the navigation block, copied as they were
  std::array<size_t, 3> markers{};  // where each marker line was left out
  std::array<std::string, 3> marker_lines;
};

// False when the page lacks our markers.
bool GatherBytes(std::string_view page, const LinkMapper& mapper, Gathered& out) {
  std::vector<std::string> lines = SplitLines(page);
  const auto find_marker = [&](std::string_view marker, size_t from) {
    for (size_t i = from; i < lines.size(); ++i)
      if (EqualsAsciiNoCase(lines[i], marker)) return i;
    return lines.size();
  };
  const size_t start = find_marker(kStartMarker, 0);
  const size_t end = find_marker(kEndMarker, start + 1);
  const size_t dir_to_file = find_marker(kDirToFileMarker, end + 1);
  if (dir_to_file >= lines.size()) return false;

  out.bytes.clear();
  out.bytes.reserve(page.size() + 64);
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i == start || i == end || i == dir_to_file) {
      const size_t which = i == start ? 0 : i == end ? 1 : 2;
      out.markers[which] = out.bytes.size();
      out.marker_lines[which] = std::move(lines[i]);
      continue;
    }
    // Only the navigation block and the lines up to the file rows link to pages; the header
    // lines before the block and the file rows after it are copied as they are.
    if (i > start && i < dir_to_file) {
      if (std::optional<std::string> unknown = RewriteLinks(lines[i], mapper))
        out.unknown_links.push_back(std::move(*unknown));
    }
    out.bytes += lines[i];
    out.bytes += kLineEnd;
  }
  out.copied_unchanged = out.markers[0];
  return true;
}

enum class PageOutcome { kGathered, kUnreadable, kChanged, kNotOurs, kWriteFailed };

struct PageResult {
  PageOutcome outcome = PageOutcome::kGathered;
  bool left_alone = false;  // the old gathered page held the same bytes
  std::string error;
  std::vector<std::string> unknown_links;
};

// Pages not written by this run (gathering without a walk's record) are read up to this size.
constexpr size_t kUnrecordedPageCap = size_t{1} << 30;

// Reads one folder's page (the page the run wrote, when expected is given) and writes its
// gathered copy as gathered_name in the output folder; the folder's page is not touched.
// With skip_same, the old gathered page is left alone when it holds the same bytes apart from
// the date-time text at date_time (of the page as written, where the lines before the navigation
// block are copied unchanged).
PageResult GatherPage(FolderAccess& folders, int dir, const std::string& page_name,
                      const FileIdentity* expected, int out, const std::string& gathered_name,
                      const LinkMapper& mapper, bool skip_same = false, ByteSpan date_time = {}) {
  PageResult result;
  std::string bytes;
  switch (folders.ReadRegularAt(
      dir, page_name,
      expected != nullptr ? static_cast<size_t>(expected->size) : kUnrecordedPageCap, bytes,
      nullptr, expected)) {
    case RegularReadResult::kRead:
      break;
    case RegularReadResult::kNotRegular:
      result.outcome = expected != nullptr ? PageOutcome::kChanged : PageOutcome::kUnreadable;
      return result;
    case RegularReadResult::kMissing:
    case RegularReadResult::kError:
      result.outcome = PageOutcome::kUnreadable;
      return result;
  }
  Gathered gathered;
  if (!GatherBytes(bytes, mapper, gathered)) {
    result.outcome = PageOutcome::kNotOurs;
    return result;
  }
  result.unknown_links = std::move(gathered.unknown_links);
  const std::string& out_bytes = gathered.bytes;
  if (skip_same) {
    // Offsets before the navigation block are the page's own: its lines were copied whole.
    if (date_time.end > gathered.copied_unchanged) date_time = {};
    if (folders.HoldsSameAt(out, gathered_name, out_bytes, date_time, nullptr)) {
      result.left_alone = true;
      return result;
    }
  }
  if (!folders.ReplaceAt(out, gathered_name, out_bytes, nullptr, nullptr, &result.error))
    result.outcome = PageOutcome::kWriteFailed;
  return result;
}

// A temporary file a replace of a gathered page makes: "." + page name + ".tmp-" + 8 characters.
bool IsGatheredTemporary(const std::string& name, std::string_view name_base) {
  const std::string_view page = TemporaryNameTarget(name);
  return !page.empty() && IsGatheredPageName(page, name_base);
}

// The folder of a page: through the walk's handles when the run wrote it, else by its path.
FolderHandle OpenPageFolder(FolderAccess& folders, const std::string& folder, WalkRecord* walk,
                            const FileIdentity*& expected, ByteSpan& date_time) {
  expected = nullptr;
  date_time = {};
  if (walk != nullptr) {
    const auto it = walk->pages.find(folder);
    if (it == walk->pages.end()) return {};
    expected = &it->second.page;
    date_time = it->second.date_time;
    return walk->tree.OpenHandle(it->second.folder);
  }
  return FolderHandle(folders, folders.OpenFolder(folder));
}

// Removes the entry name when it is still the regular file with this device and inode.
bool RemoveIfSame(FolderAccess& folders, int dir, const std::string& name, uint64_t device,
                  uint64_t inode) {
  EntryStat st;
  if (!folders.StatAt(dir, name, st) || st.type != EntryStat::Type::kRegular ||
      st.identity.device != device || st.identity.inode != inode)
    return false;
  return folders.UnlinkAt(dir, name);
}

}  // namespace

std::string FormatPageNumber(size_t number) {
  char text[32];
  std::snprintf(text, sizeof text, "%05zu", number);
  return text;
}

bool IsGatheredPageName(std::string_view name, std::string_view base) {
  // Exactly what FormatPageNumber and the extension make: ".htm" as written, and five digits,
  // or more without a leading zero.
  if (!name.ends_with(kGatheredExtension)) return false;
  std::string_view stem = name.substr(0, name.size() - kGatheredExtension.size());
  size_t digits = 0;
  while (digits < stem.size() && stem[stem.size() - 1 - digits] >= '0' &&
         stem[stem.size() - 1 - digits] <= '9')
    ++digits;
  if (digits < 5 || (digits > 5 && stem[stem.size() - digits] == '0')) return false;
  stem.remove_suffix(digits);
  // The base as the page file name gives it, in any case (a run may have typed it otherwise);
  // case folding may change a text's length, so the stem is compared as a whole.
  return EqualsNoCase(stem, base);
}

FixUpResult FixUpLinks(const RunContext& context, const std::string& output_folder,
                       const std::string& output_url, const std::vector<std::string>& work_list,
                       WalkRecord* walk, const RunControl* control, RunObserver* observer,
                       FolderAccess* access) {
  FolderAccess& folders = walk != nullptr     ? walk->tree.access()
                          : access != nullptr ? *access
                                              : RealFolderAccess();
  FixUpResult result;
  if (work_list.empty()) return result;
  const auto keep_all_pages = [&](RunProblem problem) {
    result.problems.push_back(std::move(problem));
    result.pages_not_gathered = work_list;
    return result;
  };
  if (context.OutputFileName.empty()) return keep_all_pages({ProblemKind::kNoPageFileName, "", ""});

  // Gathered pages are output_folder + base + number + ".htm", joined as typed: a folder without
  // a trailing separator makes its last part a prefix of every name, in the folder above it.
  const size_t last_separator = output_folder.rfind(kPathSeparator);
  const std::string folder = last_separator == std::string::npos
                                 ? std::string(".") + kPathSeparator
                                 : output_folder.substr(0, last_separator + 1);
  const std::string base = StripExtension(context.OutputFileName);
  const std::string name_base =
      (last_separator == std::string::npos ? output_folder
                                           : output_folder.substr(last_separator + 1)) +
      base;

  // The output folder is the operator's: its path is followed; the names in it are not.
  const FolderHandle out(folders, folders.OpenFolder(folder));
  FolderTimeKeeper out_time(folders, out.get());
  if (!out.ok() || !out_time.have_time())
    return keep_all_pages({ProblemKind::kNoOutputFolder, output_folder, strerror(errno)});

  // The old gathered pages: replaced in place by this run's, and the numbers no longer used
  // deleted at the end, so a pass killed half-way leaves the previous site whole.
  std::vector<DirEntry> old_pages;
  {
    std::vector<DirEntry> listed;
    folders.List(out.get(), listed, nullptr);
    const uint32_t user = static_cast<uint32_t>(geteuid());
    for (DirEntry& entry : listed) {
      if (entry.is_link || !entry.is_regular) continue;
      if (IsGatheredPageName(entry.name, name_base)) {
        old_pages.push_back(std::move(entry));
      } else if (entry.owner == user && IsGatheredTemporary(entry.name, name_base)) {
        folders.UnlinkAt(out.get(), entry.name);  // left by a pass that was killed
      }
    }
  }
  if (control != nullptr) control->PauseAt(pause_point::kGatherDeleted);

  FolderIndex index(work_list);
  if (walk != nullptr) {
    // Linked folders listed as rows open the page of the folder they lead to.
    std::unordered_map<uint64_t, std::vector<std::pair<FolderId, size_t>>> by_inode;
    for (size_t i = 0; i < work_list.size(); ++i) {
      const auto it = walk->pages.find(work_list[i]);
      if (it == walk->pages.end()) continue;
      const FolderId id = walk->tree.Id(it->second.folder);
      by_inode[id.inode].emplace_back(id, i);
    }
    for (const auto& [path, id] : walk->link_rows) {
      const auto it = by_inode.find(id.inode);
      if (it == by_inode.end()) continue;
      for (const auto& [candidate, number] : it->second)
        if (candidate == id) index.AddAlias(path, number);
    }
  }
  const LinkMapper mapper(context, output_url, base, index);
  // Pages the walk did not write (SKIPSAME), each compared under this run's numbers before any
  // gathered page is replaced: one that is still the same stays as it is; one whose links or
  // number moved is given back to its folder, to be gathered as the walk would have had it.
  std::unordered_map<std::string, std::vector<std::string>> unchanged;  // folder: unknown links
  if (walk != nullptr) {
    for (size_t i = 0; i < work_list.size() && walk->guess != nullptr && !walk->skipped.empty();
         ++i) {
      const auto it = walk->skipped.find(work_list[i]);
      if (it == walk->skipped.end()) continue;
      const SkippedPage& skipped = it->second;
      std::string old;
      std::string page;
      Gathered gathered;
      if (folders.ReadRegularAt(out.get(), skipped.gathered_name, skipped.gathered_size + 64, old,
                                nullptr, &skipped.old) != RegularReadResult::kRead ||
          !walk->guess->Restore(old, skipped, page) || !GatherBytes(page, mapper, gathered))
        continue;  // the page is missing, reported when its turn comes
      const std::string gathered_name =
          name_base + FormatPageNumber(i) + std::string(kGatheredExtension);
      if (gathered_name == skipped.gathered_name &&
          folders.HoldsSameAt(out.get(), gathered_name, gathered.bytes, skipped.date_time,
                              nullptr)) {
        unchanged.emplace(work_list[i], std::move(gathered.unknown_links));
        continue;
      }
      const FolderHandle dir = walk->tree.OpenHandle(skipped.folder);
      if (!dir.ok()) continue;
      FolderTimeKeeper folder_time(folders, dir.get());
      FileIdentity identity;
      if (folders.ReplaceAt(dir.get(), context.OutputFileName, page, nullptr, &identity, nullptr)) {
        walk->pages[work_list[i]] = WalkRecord::Page{skipped.folder, identity, skipped.date_time};
        ++result.pages_given_back;
      }
    }
  }
  std::unordered_set<std::string> written;
  size_t write_failures = 0;
  std::string first_write_error;
  for (size_t i = 0; i < work_list.size(); ++i) {
    if (observer != nullptr) observer->GatherProgress(i, work_list.size());
    const std::string& page_folder = work_list[i];
    const std::string page_path = page_folder + context.OutputFileName;
    const std::string gathered_name =
        name_base + FormatPageNumber(i) + std::string(kGatheredExtension);
    if (const auto same = unchanged.find(page_folder); same != unchanged.end()) {
      for (const std::string& href : same->second)
        result.problems.push_back({ProblemKind::kUnknownLink, page_path, href});
      ++result.pages_gathered;
      ++result.pages_left_alone;
      written.insert(gathered_name);
      continue;
    }
    const FileIdentity* expected = nullptr;
    ByteSpan date_time;
    const FolderHandle dir = OpenPageFolder(folders, page_folder, walk, expected, date_time);
    PageResult page;
    if (dir.ok()) {
      page = GatherPage(folders, dir.get(), context.OutputFileName, expected, out.get(),
                        gathered_name, mapper, walk != nullptr && walk->skip_same, date_time);
    } else {
      page.outcome = PageOutcome::kUnreadable;
    }
    for (const std::string& href : page.unknown_links)
      result.problems.push_back({ProblemKind::kUnknownLink, page_path, href});
    switch (page.outcome) {
      case PageOutcome::kGathered:
        break;
      case PageOutcome::kUnreadable:
        result.problems.push_back({ProblemKind::kPageUnreadable, page_path, ""});
        result.pages_not_gathered.push_back(page_folder);
        continue;
      case PageOutcome::kChanged:
        result.problems.push_back({ProblemKind::kPageChanged, page_path, ""});
        result.pages_not_gathered.push_back(page_folder);
        continue;
      case PageOutcome::kNotOurs:
        result.problems.push_back({ProblemKind::kPageNotOurs, page_path, ""});
        result.pages_not_gathered.push_back(page_folder);
        continue;
      case PageOutcome::kWriteFailed:
        if (write_failures++ == 0) first_write_error = page.error;
        result.pages_not_gathered.push_back(page_folder);
        continue;
    }
    ++result.pages_gathered;
    if (page.left_alone) ++result.pages_left_alone;
    written.insert(gathered_name);
    // Deleting the page changes the folder's time; put it back so the next run sees no change.
    FolderTimeKeeper page_folder_time(folders, dir.get());
    errno = 0;  // a page replaced since it was read fails without an error of the system
    const bool deleted = expected != nullptr
                             ? RemoveIfSame(folders, dir.get(), context.OutputFileName,
                                            expected->device, expected->inode)
                             : folders.RemoveAt(dir.get(), context.OutputFileName, nullptr);
    if (!deleted)
      result.problems.push_back(
          {ProblemKind::kPageNotDeleted, page_path, errno != 0 ? strerror(errno) : ""});
    page_folder_time.Restore();
  }
  for (const DirEntry& old : old_pages) {
    if (!written.contains(old.name))
      RemoveIfSame(folders, out.get(), old.name, old.id.device, old.id.inode);
  }
  if (write_failures > 0)
    result.problems.push_back(
        {ProblemKind::kOutputNotWritten, output_folder, first_write_error, write_failures});
  out_time.Restore();
  if (observer != nullptr) observer->GatherProgress(work_list.size(), work_list.size());
  return result;
}

}  // namespace veldra

namespace veldra {
namespace {

constexpr std::string_view kGatheredListFirstLine = "VELDRA mp3+ gathered pages 1";
// A list longer than this is read up to here (the folders before the cap count).
constexpr size_t kGatheredListCap = size_t{64} << 20;

// The bytes a line of the list cannot hold as they are.
constexpr std::string_view kListEscaped("\r\n\0", 3);

}  // namespace

struct GatheredPageGuess::Impl {
  Impl(const RunContext& context, const std::string& output_folder, const std::string& output_url,
       std::vector<std::string> previous_list)
      : run(context),
        previous(std::move(previous_list)),
        index(previous),
        mapper(context, output_url, StripExtension(context.OutputFileName), index),
        gathered_prefix(
            EncodeCp932(output_url + EncodeHrefPath(StripExtension(context.OutputFileName)),
                        Cp932Escape::kHtml)) {
    const size_t last_separator = output_folder.rfind(kPathSeparator);
    const std::string folder = last_separator == std::string::npos
                                   ? std::string(".") + kPathSeparator
                                   : output_folder.substr(0, last_separator + 1);
    name_base = (last_separator == std::string::npos ? output_folder
                                                     : output_folder.substr(last_separator + 1)) +
                StripExtension(context.OutputFileName);
    // The output folder is the operator's, as the gathering pass takes it: its path is followed.
    out = ScopedFd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  }

  // The link a page had before gathering, for a link to gathered page n of the previous
  // numbering (nullopt for any other link): the folder's page, as the pages write it.
  std::optional<std::string> InPlaceHref(std::string_view href) const {
    if (!href.starts_with(gathered_prefix) || !href.ends_with(kGatheredExtension)) return {};
    const std::string_view digits = href.substr(
        gathered_prefix.size(), href.size() - gathered_prefix.size() - kGatheredExtension.size());
    size_t n = 0;
    for (const char c : digits) {
      if (c < '0' || c > '9' || n > previous.size()) return {};
      n = n * 10 + static_cast<size_t>(c - '0');
    }
    if (n >= previous.size() || FormatPageNumber(n) != digits) return {};
    return EncodeCp932(
        run.RootUrl + EncodeHrefPath(RelativeFolderPath(run, previous[n])) + run.OutputFileName,
        Cp932Escape::kHtml);
  }

  // gathered with its marker lines put back and the links between the first and the last turned
  // back into links to the folders' pages.
  bool Ungather(std::string_view gathered, const std::array<size_t, 3>& markers,
                std::string& page) const {
    if (markers[0] > markers[1] || markers[1] > markers[2] || markers[2] > gathered.size())
      return false;
    static constexpr std::string_view kMarkers[] = {kStartMarker, kEndMarker, kDirToFileMarker};
    page.clear();
    page.reserve(gathered.size() + 80);
    page.append(gathered.substr(0, markers[0]));
    for (size_t m = 0; m < 3; ++m) {
      page += kMarkers[m];
      page += kLineEnd;
      if (m == 2) break;
      // The lines up to the next marker, their gathered-page links turned back.
      std::string_view part = gathered.substr(markers[m], markers[m + 1] - markers[m]);
      for (;;) {
        const size_t open = FindAsciiNoCase(part, kHrefOpen, 0);
        const size_t begin = open == std::string_view::npos ? open : open + kHrefOpen.size();
        const size_t end = open == std::string_view::npos ? open : part.find('"', begin);
        if (end == std::string_view::npos) {
          page.append(part);
          break;
        }
        page.append(part.substr(0, begin));
        const std::string_view href = part.substr(begin, end - begin);
        if (std::optional<std::string> original = InPlaceHref(href)) {
          page += *original;
        } else {
          page.append(href);
        }
        part.remove_prefix(end);
      }
    }
    page.append(gathered.substr(markers[2]));
    return true;
  }

  const RunContext& run;
  std::vector<std::string> previous;
  FolderIndex index;
  LinkMapper mapper;
  std::string gathered_prefix;  // of a link to a gathered page, as pages hold it (CP932)
  std::string name_base;
  ScopedFd out;
};

GatheredPageGuess::GatheredPageGuess(const RunContext& context, const std::string& output_folder,
                                     const std::string& output_url,
                                     std::vector<std::string> previous)
    : impl_(std::make_unique<Impl>(context, output_folder, output_url, std::move(previous))) {}

GatheredPageGuess::~GatheredPageGuess() = default;

bool GatheredPageGuess::Matches(const std::string& folder, const std::string& page,
                                ByteSpan date_time, SkippedPage& skipped) const {
  if (!impl_->out.ok() || date_time.empty()) return false;
  const std::optional<size_t> number = impl_->index.Find(folder);
  if (!number) return false;
  Gathered gathered;
  if (!GatherBytes(page, impl_->mapper, gathered)) return false;
  if (date_time.end > gathered.copied_unchanged) return false;
  // Only a page that comes back exactly from its gathered form can be left out of its folder.
  std::string back;
  if (!impl_->Ungather(gathered.bytes, gathered.markers, back) || back != page) return false;
  const std::string name =
      impl_->name_base + FormatPageNumber(*number) + std::string(kGatheredExtension);
  FileIdentity old;
  if (!HoldsSameBytesAt(impl_->out.get(), name, gathered.bytes, date_time, &old)) return false;
  skipped.gathered_name = name;
  skipped.old = old;
  skipped.gathered_size = gathered.bytes.size();
  skipped.markers = gathered.markers;
  skipped.date_time = date_time;
  skipped.date_text = page.substr(date_time.begin, date_time.end - date_time.begin);
  return true;
}

bool GatheredPageGuess::Restore(std::string_view old_gathered, const SkippedPage& skipped,
                                std::string& page) const {
  // The old bytes differ from this run's gathered bytes only in the date-time text, which lies
  // before the navigation block: put this run's text back, then undo the gathering.
  const ByteSpan date = skipped.date_time;
  if (date.empty() || date.end > skipped.gathered_size || date.end > old_gathered.size())
    return false;
  const size_t after = skipped.gathered_size - date.end;  // bytes after the date-time text
  if (old_gathered.size() < date.begin + after) return false;
  std::string fixed;
  fixed.reserve(skipped.gathered_size);
  fixed.append(old_gathered.substr(0, date.begin));
  fixed += skipped.date_text;
  fixed.append(old_gathered.substr(old_gathered.size() - after));
  if (fixed.size() != skipped.gathered_size) return false;
  return impl_->Ungather(fixed, skipped.markers, page);
}

std::string GatheredListName(const std::string& set_name) { return set_name + ".gathered"; }

std::vector<std::string> ReadGatheredList(const std::string& program_folder,
                                          const std::string& set_name) {
  std::vector<std::string> list;
  const ScopedFd dir(open(program_folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  std::string bytes;
  if (!dir.ok() || ReadRegularFileAt(dir.get(), GatheredListName(set_name), kGatheredListCap,
                                     bytes) != RegularReadResult::kRead)
    return list;
  std::string_view text(bytes);
  const size_t first_end = text.find('\n');
  if (first_end == std::string_view::npos || text.substr(0, first_end) != kGatheredListFirstLine)
    return list;
  text.remove_prefix(first_end + 1);
  std::string path;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    if (end == std::string_view::npos) break;  // cut short
    // A damaged line keeps its place, so that the numbers after it stay right.
    list.push_back(PercentUnescape(text.substr(0, end), path) ? path : std::string());
    text.remove_prefix(end + 1);
  }
  return list;
}

bool WriteGatheredList(const std::string& program_folder, const std::string& set_name,
                       const std::vector<std::string>& work_list) {
  std::string text(kGatheredListFirstLine);
  text += '\n';
  for (const std::string& path : work_list) text += PercentEscape(path, kListEscaped) + '\n';
  const ScopedFd dir(open(program_folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return dir.ok() && ReplaceFileAt(dir.get(), GatheredListName(set_name), text);
}

}  // namespace veldra

#include "engine/whats_new_page.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cstring>

#include <algorithm>
#include <unordered_map>

#include "engine/folder_page.h"
#include "engine/html_text.h"
#include "engine/link_fixup.h"
#include "engine/messages.h"
#include "engine/page_head.h"
#include "engine/run_context.h"
#include "engine/table_rows.h"
#include "platform/file_name.h"
#include "platform/file_system.h"
#include "platform/local_time.h"
#include "platform/text_file.h"

namespace veldra {
namespace {

// The cells of a page row after its name cell (which ends "</A></TD>" for an empty mark).
std::string CellsAfterName(const std::string& row) {
  const size_t end = row.rfind("</A></TD>");
  if (end == std::string::npos) return {};
  std::string cells = row.substr(end + 9);
  if (cells.ends_with("</TR>")) cells.resize(cells.size() - 5);
  return cells;
}

std::string MarkText(const EnvironmentSet& set, ChangeKind kind) {
  std::string text = TrimBlanks(kind == ChangeKind::kNew ? set.NewMarkText : set.UpdateMarkText);
  if (text.empty()) text = kind == ChangeKind::kNew ? "新着" : "更新";
  return text;
}

// Writes one of our files unless the name is held by someone else's entry. With skip_same, a
// file of ours holding the same bytes (apart from the run's time at ignored) stays as it is.
void WriteOwnFile(int dir_fd, const std::string& folder, const std::string& name,
                  std::string_view first_line, const std::string& bytes, RunReport& report,
                  bool skip_same, ByteSpan ignored) {
  if (skip_same && HoldsSameBytesAt(dir_fd, name, bytes, ignored)) return;
  if (!MayReplaceOwnFileAt(dir_fd, name, first_line)) {
    report.problems.push_back({ProblemKind::kNotOurFile, folder + name, ""});
    return;
  }
  const FolderTimeKeeper folder_time(RealFolderAccess(), dir_fd);
  if (!ReplaceFileAt(dir_fd, name, bytes))
    report.problems.push_back({ProblemKind::kFeedNotWritten, folder + name, strerror(errno)});
}

}  // namespace

bool IsOwnFileAt(FolderAccess& folders, int dir, const std::string& name,
                 std::string_view first_line) {
  EntryStat st;
  if (!folders.StatAt(dir, name, st)) return false;
  if (st.type != EntryStat::Type::kRegular || st.owner != geteuid()) return false;
  std::string head;
  if (folders.ReadRegularAt(dir, name, first_line.size(), head, nullptr, nullptr) !=
      RegularReadResult::kRead)
    return false;
  return head == first_line;
}

bool IsOwnFileAt(int dir_fd, const std::string& name, std::string_view first_line) {
  return IsOwnFileAt(RealFolderAccess(), dir_fd, name, first_line);
}

bool MayReplaceOwnFileAt(FolderAccess& folders, int dir, const std::string& name,
                         std::string_view first_line) {
  EntryStat st;
  if (!folders.StatAt(dir, name, st)) return errno == ENOENT;
  return IsOwnFileAt(folders, dir, name, first_line);
}

bool MayReplaceOwnFileAt(int dir_fd, const std::string& name, std::string_view first_line) {
  return MayReplaceOwnFileAt(RealFolderAccess(), dir_fd, name, first_line);
}

std::string FeedFolderPath(const PageContext& context, bool* gathered) {
  const EnvironmentSet& set = context.set;
  const bool gathers = !set.OutputFolder.empty() && !set.OutputUrl.empty();
  if (gathered != nullptr) *gathered = gathers;
  if (!gathers) return context.run.RootPath;
  const size_t last_separator = set.OutputFolder.rfind(kPathSeparator);
  return last_separator == std::string::npos ? std::string(".") + kPathSeparator
                                             : set.OutputFolder.substr(0, last_separator + 1);
}

bool IsVisitorTemporaryName(const PageContext& context, std::string_view name) {
  return IsTemporaryNameOf(name, kFeedFileName) || IsTemporaryNameOf(name, kWhatsNewPageName) ||
         IsTemporaryNameOf(name, PlaylistName(context.run.OutputFileName));
}

bool IsVisitorFileAt(const PageContext& context, int dir_fd, const std::string& folder_path,
                     const std::string& name) {
  if (context.set.Playlist && name == PlaylistName(context.run.OutputFileName))
    return IsOwnFileAt(dir_fd, name, kPlaylistFirstLines);
  if (!context.set.Feed) return false;
  if (name != kFeedFileName && name != kWhatsNewPageName) return false;
  if (folder_path != FeedFolderPath(context, nullptr)) return false;
  return IsOwnFileAt(dir_fd, name, name == kFeedFileName ? kFeedFirstLine : kWhatsNewFirstLine);
}

std::string BuildWhatsNewPage(const PageContext& context, const FeedLinks& links,
                              const std::vector<ChangeEvent>& events, ByteSpan* date_time) {
  const RunContext& run = context.run;
  const EnvironmentSet& set = context.set;
  const std::string& td = run.TdAttributes;
  PageBuffer page;
  page.AddLine(kWhatsNewFirstLine);
  for (const std::string& line : run.HeaderLines) page.AddLine(line);
  page.AddLine("What's new of <FONT SIZE=\"+2\">" + run.RootUrl + "</FONT><BR>");
  const int64_t now = context.clock.NowUtcSeconds();
  page.AddDateLine("List create date = ", LocalDateText(now) + " " + LocalHourMinuteText(now),
                   " [ Entries = " + std::to_string(events.size()) + " ]<BR>");
  page.AddLine(TrimBlanks(set.HairlineText));
  page.AddLine(set.TableTag);
  std::string header = HeaderRow(run, set);
  const std::string name_caption = "ファイル/フォルダ</TH>";
  if (const size_t at = header.find(name_caption); at != std::string::npos)
    header.insert(at + name_caption.size(), "<TH" + run.ThAttributes + ">フォルダ</TH>");
  page.AddLine(header);
  for (const ChangeEvent& event : events) {
    const std::string folder_path = run.RootPath + event.folder;
    std::string row = "<TR><TD" + td + ">" + MarkText(set, event.kind) + "</TD><TD" + td +
                      "><A HREF=\"" + EventUrl(links, event) + "\">";
    row +=
        EscapeText(event.is_folder || !set.HideExtension ? event.name : StripExtension(event.name));
    row += "</A></TD><TD" + td + "><A HREF=\"" + links.folder_page(event.folder) + "\">/" +
           EscapeText(event.folder) + "</A></TD>";
    if (event.is_folder) {
      row += CellsAfterName(FolderRow(context, folder_path, event.name, ""));
    } else {
      // The cells the folder's page showed: with what the tag reader read, when it was used.
      const FileTags read{event.tag, event.fields, event.stream};
      row += CellsAfterName(FileRowWithTag(context, folder_path, event.name, event.time_text,
                                           event.size, "", event.tag,
                                           event.has_fields ? &read : nullptr));
    }
    page.AddLine(row + "</TR>");
  }
  WriteTableEnd(page, run);
  if (date_time != nullptr) *date_time = page.date_time();
  return page.Take();
}

void PublishWhatsNew(const PageContext& context, const WhatsNewPlace& place,
                     std::vector<ChangeEvent> this_run, int64_t now, RunReport& report) {
  const RunContext& run = context.run;

  // The history: the operator's own folder, read as untrusted input all the same.
  const std::string history_name = FeedHistoryName(place.set_name);
  const ScopedFd program(open(place.program_folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  std::vector<ChangeEvent> earlier;
  if (program.ok()) earlier = ReadFeedHistoryAt(program.get(), history_name);
  // A run's time is part of its entries' ids: two runs within one second (or after the clock was
  // set back) would give a folder updated in both one id, and the merge would drop the newer
  // entry. Such a run takes the second after the newest one the history holds.
  int64_t run_time = now;
  for (const ChangeEvent& event : earlier) run_time = std::max(run_time, event.run_time + 1);
  for (ChangeEvent& event : this_run) event.run_time = run_time;
  const std::vector<ChangeEvent> events = MergeFeedHistory(std::move(this_run), earlier);
  if (!program.ok() || !ReplaceFileAt(program.get(), history_name, FormatFeedHistory(events))) {
    report.problems.push_back({ProblemKind::kFeedNotWritten,
                               place.program_folder + kPathSeparator + history_name,
                               strerror(errno)});
  }
  if (place.history_only) return;
  if (place.feed_dir_fd < 0) {
    report.problems.push_back({ProblemKind::kFeedNotWritten, place.feed_folder, ""});
    return;
  }

  // Folder pages: in place, or the gathered page of this run's number.
  std::unordered_map<std::string, size_t> numbers;
  if (place.gathered && place.work_list != nullptr) {
    for (size_t i = 0; i < place.work_list->size(); ++i)
      numbers.emplace(RelativeFolderPath(run, (*place.work_list)[i]), i);
  }
  const std::string base = StripExtension(run.OutputFileName);
  const auto folder_page = [&](const std::string& root_url, const std::string& output_url,
                               bool iri) {
    return [&, root_url, output_url, iri](const std::string& folder) {
      const auto encode = [iri](std::string_view path) {
        return iri ? EncodeIriPath(path) : EncodeHrefPath(path);
      };
      if (place.gathered) {
        const auto it = numbers.find(folder);
        if (it != numbers.end())
          return output_url + encode(base + FormatPageNumber(it->second) + ".htm");
      }
      // The page file name is the user's text: raw in pages, well-formed XML in the feed.
      return root_url + encode(folder) + (iri ? XmlText(run.OutputFileName) : run.OutputFileName);
    };
  };

  FeedLinks xml_links;
  xml_links.root_url = XmlText(run.RootUrl);
  xml_links.site_url = XmlText(place.site_url);
  xml_links.tag_host = TagHost(place.gathered ? place.output_url : run.RootUrl);
  xml_links.set_name = place.set_name;
  xml_links.iri_paths = true;
  xml_links.folder_page = folder_page(xml_links.root_url, XmlText(place.output_url), true);
  FeedLinks page_links = xml_links;
  page_links.root_url = run.RootUrl;
  page_links.site_url = place.site_url;
  page_links.iri_paths = false;
  page_links.folder_page = folder_page(run.RootUrl, place.output_url, false);

  const bool skip_same = context.set.SkipSame;
  ByteSpan feed_time;
  const std::string feed = BuildAtomFeed(xml_links, events, now, &feed_time);
  WriteOwnFile(place.feed_dir_fd, place.feed_folder, std::string(kFeedFileName), kFeedFirstLine,
               feed, report, skip_same, feed_time);
  ByteSpan date_time;
  const std::string page = BuildWhatsNewPage(context, page_links, events, &date_time);
  WriteOwnFile(place.feed_dir_fd, place.feed_folder, std::string(kWhatsNewPageName),
               kWhatsNewFirstLine, page, report, skip_same, date_time);
}

void WriteWhatsNew(const PageContext& context, const std::string& program_folder, WalkRecord& walk,
                   const std::vector<std::string>& work_list, bool gathered, RunReport& report) {
  const EnvironmentSet& set = context.set;
  std::vector<ChangeEvent> this_run;
  for (const std::string& folder : work_list) {
    const auto it = walk.changes.find(folder);
    if (it == walk.changes.end()) continue;
    for (ChangeEvent& event : it->second) this_run.push_back(std::move(event));
  }
  WhatsNewPlace place;
  place.program_folder = program_folder;
  place.set_name = set.SetName;
  place.gathered = gathered;
  ScopedFd feed_dir;
  place.feed_folder = FeedFolderPath(context, nullptr);
  if (gathered) {
    // The output folder is the operator's, as the gathering pass takes it: its path is followed.
    feed_dir = ScopedFd(open(place.feed_folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    place.site_url = set.OutputUrl;
    place.output_url = set.OutputUrl;
    place.work_list = &work_list;
  } else {
    // The walk's root is the first folder of its tree.
    if (report.root_found) feed_dir = ScopedFd(walk.tree.Open(0));
    place.site_url = context.run.RootUrl;
  }
  place.feed_dir_fd = feed_dir.ok() ? feed_dir.get() : -1;
  // A set that gathers, stopped before gathering: its pages are not where the links would lead,
  // and the feed's place is the output folder, which stays as it was.
  place.history_only = report.gathering_skipped;
  PublishWhatsNew(context, place, std::move(this_run), context.clock.NowUtcSeconds(), report);
}

}  // namespace veldra

#pragma once
// whatsnew.xml: the feed entries as an Atom 1.0 document (RFC 4287) in UTF-8.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/feed_history.h"

namespace veldra {

inline constexpr std::string_view kFeedFileName = "whatsnew.xml";
// The feed's first line: the XML declaration and the comment that marks the file as ours.
inline constexpr std::string_view kFeedFirstLine =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?><!-- whatsnew: VELDRA mp3+ -->";

// Where the feed's links lead. The URLs are text ready for the document they go into (for the
// feed, escaped with XmlText); paths are added encoded with EncodeHrefPath.
struct FeedLinks {
  std::string root_url;    // the files' base: RootUrl
  std::string site_url;    // where whatsnew.xml and whatsnew.htm are served
  std::string tag_host;    // the tag: URI authority
  std::string set_name;    // the author
  bool iri_paths = false;  // paths encoded with EncodeIriPath (the feed) instead of EncodeHrefPath
  // The URL of the page of a folder given by its path relative to the root ("" or "a/b/").
  std::function<std::string(const std::string&)> folder_page;
};

// The host of a URL ("http://Host:80/x" gives "host"); "localhost" when it has none or one a
// tag: URI cannot hold.
std::string TagHost(std::string_view url);

// Text as XML character data: control characters and bytes that are not valid UTF-8 become
// U+FFFD, then "&", "<", ">" and '"' become entities.
std::string XmlText(std::string_view text);

// RFC 3339 UTC time: "2026-12-07T14:52:00Z".
std::string AtomTime(int64_t utc_seconds);

// EncodeHrefPath with '"', "<" and ">" percent-encoded instead of escaped as entities: a feed's
// links must be IRIs, which cannot hold them; they lead to the same file.
std::string EncodeIriPath(std::string_view path);

// The entry's id: tag:<host>,2000:<kind>/<run time>/<percent-encoded path>.
std::string EntryTagId(const FeedLinks& links, const ChangeEvent& event);

// The URL of the event's file, or of its page for a folder.
std::string EventUrl(const FeedLinks& links, const ChangeEvent& event);

// The whole feed; `now` is its updated time when there are no entries, and run_time (when
// given) then receives where that time text lies (empty otherwise).
std::string BuildAtomFeed(const FeedLinks& links, const std::vector<ChangeEvent>& events,
                          int64_t now, ByteSpan* run_time = nullptr);

}  // namespace veldra

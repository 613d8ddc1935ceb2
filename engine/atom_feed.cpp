#include "engine/atom_feed.h"

#include <ctime>

#include "engine/display_text.h"
#include "engine/html_text.h"

namespace veldra {
namespace {

// Any date on which the tagger held the authority would do; a fixed one keeps ids stable.
constexpr std::string_view kTagDate = "2000";

bool IsUnreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_' || c == '~';
}

// Percent-encodes every byte but the unreserved ones and "/", as a tag: URI's specific part needs.
std::string PercentEncode(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (IsUnreserved(byte) || c == '/') {
      out += c;
    } else {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    }
  }
  return out;
}

std::string CompactTime(int64_t utc_seconds) {
  std::string text = AtomTime(utc_seconds);
  std::string out;
  for (const char c : text)
    if (c != '-' && c != ':') out += c;
  return out;
}

std::string_view KindTerm(ChangeKind kind) { return kind == ChangeKind::kNew ? "new" : "updated"; }

}  // namespace

std::string TagHost(std::string_view url) {
  const size_t scheme = url.find("://");
  if (scheme == std::string_view::npos) return "localhost";
  std::string_view rest = url.substr(scheme + 3);
  rest = rest.substr(0, rest.find_first_of("/?#"));
  if (const size_t at = rest.rfind('@'); at != std::string_view::npos) rest.remove_prefix(at + 1);
  rest = rest.substr(0, rest.find(':'));
  std::string host;
  for (const char c : rest) {
    const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                         (c >= '0' && c <= '9') || c == '-' || c == '.';
    if (!allowed) return "localhost";
    host += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  }
  if (host.empty() || host.front() == '.' || host.back() == '.') return "localhost";
  return host;
}

std::string XmlText(std::string_view text) {
  return EscapeHtml(ReplaceControls(text, false, true));
}

std::string AtomTime(int64_t utc_seconds) {
  const time_t t = static_cast<time_t>(utc_seconds);
  struct tm parts {};
  gmtime_r(&t, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
  return text;
}

std::string EntryTagId(const FeedLinks& links, const ChangeEvent& event) {
  return "tag:" + links.tag_host + "," + std::string(kTagDate) + ":" +
         std::string(KindTerm(event.kind)) + "/" + CompactTime(event.run_time) + "/" +
         PercentEncode(EventPath(event)) + (event.is_folder ? "/" : "");
}

std::string EncodeIriPath(std::string_view path) {
  const std::string href = EncodeHrefPath(path);
  std::string out;
  out.reserve(href.size());
  for (size_t i = 0; i < href.size();) {
    // EncodeHrefPath writes these three only as entities, and "&" itself as "&amp;".
    if (href.compare(i, 4, "&lt;") == 0) {
      out += "%3C";
      i += 4;
    } else if (href.compare(i, 4, "&gt;") == 0) {
      out += "%3E";
      i += 4;
    } else if (href.compare(i, 6, "&quot;") == 0) {
      out += "%22";
      i += 6;
    } else if (href.compare(i, 3, "\xEF\xBF\xBE") == 0 || href.compare(i, 3, "\xEF\xBF\xBF") == 0) {
      // U+FFFE and U+FFFF are valid UTF-8 but no XML character: escaped, they still name the file.
      out += href[i + 2] == '\xBE' ? "%EF%BF%BE" : "%EF%BF%BF";
      i += 3;
    } else {
      out += href[i++];
    }
  }
  return out;
}

std::string EventUrl(const FeedLinks& links, const ChangeEvent& event) {
  if (event.is_folder) return links.folder_page(event.folder + event.name + "/");
  return links.root_url +
         (links.iri_paths ? EncodeIriPath(EventPath(event)) : EncodeHrefPath(EventPath(event)));
}

std::string BuildAtomFeed(const FeedLinks& links, const std::vector<ChangeEvent>& events,
                          int64_t now, ByteSpan* run_time) {
  const int64_t updated = events.empty() ? now : events.front().run_time;
  if (run_time != nullptr) *run_time = {};
  std::string xml(kFeedFirstLine);
  xml += "\n<feed xmlns=\"http://www.w3.org/2005/Atom\">\n";
  xml += "  <id>tag:" + links.tag_host + "," + std::string(kTagDate) + ":feed/" +
         PercentEncode(links.set_name) + "</id>\n";
  xml += "  <title>" + XmlText(links.set_name) + " 新着</title>\n";
  xml += "  <updated>";
  // Only a feed without entries shows the run's own time; entries' times are their runs'.
  if (run_time != nullptr && events.empty()) *run_time = ByteSpan{xml.size(), xml.size()};
  xml += AtomTime(updated);
  if (run_time != nullptr && events.empty()) run_time->end = xml.size();
  xml += "</updated>\n";
  xml += "  <author><name>" + XmlText(links.set_name) + "</name></author>\n";
  xml += "  <link rel=\"self\" type=\"application/atom+xml\" href=\"" + links.site_url +
         std::string(kFeedFileName) + "\"/>\n";
  xml += "  <link rel=\"alternate\" type=\"text/html\" href=\"" + links.site_url +
         "whatsnew.htm\"/>\n";
  xml += "  <generator>VELDRA mp3+</generator>\n";
  for (const ChangeEvent& event : events) {
    const std::string url = EventUrl(links, event);
    const std::string folder_url = links.folder_page(event.folder);
    xml += "  <entry>\n";
    xml += "    <id>" + XmlText(EntryTagId(links, event)) + "</id>\n";
    xml += "    <title type=\"text\">" + XmlText(event.Title()) + "</title>\n";
    xml += "    <updated>" + AtomTime(event.run_time) + "</updated>\n";
    xml += "    <category term=\"" + std::string(KindTerm(event.kind)) + "\" label=\"" +
           (event.kind == ChangeKind::kNew ? "新着" : "更新") + "\"/>\n";
    xml += "    <link rel=\"alternate\" href=\"" + url + "\"/>\n";
    xml += "    <link rel=\"related\" type=\"text/html\" href=\"" + folder_url + "\"/>\n";
    xml += "    <summary type=\"text\">/" + XmlText(event.folder) + "</summary>\n";
    xml += "  </entry>\n";
  }
  xml += "</feed>\n";
  return xml;
}

}  // namespace veldra

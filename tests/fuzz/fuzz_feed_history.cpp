// Fuzz target: reading the feed history (kept beside the set file, read as untrusted input). Any
// bytes must parse without harm; the entries read must come back unchanged when written again and
// read back, and the feed built from them must hold no control character and only valid UTF-8.

#include <cstdint>
#include <string_view>

#include "engine/atom_feed.h"
#include "engine/feed_history.h"
#include "platform/utf8.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace veldra;
  const std::vector<ChangeEvent> events =
      ParseFeedHistory(std::string_view(reinterpret_cast<const char*>(data), size));
  FUZZ_CHECK(events.size() <= kFeedEntryLimit);
  const std::string again = FormatFeedHistory(events);
  FUZZ_CHECK(FormatFeedHistory(ParseFeedHistory(again)) == again);

  FeedLinks links;
  links.root_url = "http://h/";
  links.site_url = "http://h/";
  links.tag_host = "h";
  links.set_name = "s";
  // As the run builds them: folder names from the tree are encoded for the feed's links.
  links.folder_page = [](const std::string& folder) { return "http://h/" + EncodeIriPath(folder); };
  const std::string feed = BuildAtomFeed(links, MergeFeedHistory({}, events), 0);
  for (size_t pos = 0; pos < feed.size();) {
    uint32_t c = 0;
    const size_t length = DecodeUtf8(feed, pos, c);
    FUZZ_CHECK(length > 0);
    FUZZ_CHECK(c >= 0x20 || c == '\n');
    FUZZ_CHECK(c != 0xFFFE && c != 0xFFFF);  // no XML character
    pos += length;
  }
  return 0;
}

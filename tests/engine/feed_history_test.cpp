#include "engine/feed_history.h"

#include <gtest/gtest.h>

#include "engine/atom_feed.h"
#include "engine/playlist.h"

namespace veldra {
namespace {

ChangeEvent Event(int64_t time, ChangeKind kind, std::string folder, std::string name) {
  ChangeEvent event;
  event.run_time = time;
  event.kind = kind;
  event.folder = std::move(folder);
  event.name = std::move(name);
  event.time_text = "2026/12/07 14:52";
  event.size = 1234;
  return event;
}

// Every field survives the history file, whatever bytes it holds; the tag comes back whole.
TEST(FeedHistoryTest, RoundTripsHostileFields) {
  std::vector<ChangeEvent> events = {
      Event(1, ChangeKind::kNew, "", std::string("tab\there\r\nand%25\xff\0x", 19)),
      Event(2, ChangeKind::kUpdated, "a b/c\"d/", "<x>&y"),
  };
  events[1].has_tag = true;
  events[1].tag.Marker = "TAG";
  events[1].tag.Title = std::string("T\0\t%", 4);
  events[1].tag.Genre = 255;
  events[1].tag.comment_tail = {0, 7};
  events.push_back(Event(3, ChangeKind::kNew, "f/", "sub"));
  events.back().is_folder = true;
  const std::vector<ChangeEvent> back = ParseFeedHistory(FormatFeedHistory(events));
  ASSERT_EQ(back.size(), events.size());
  for (size_t i = 0; i < events.size(); ++i) {
    EXPECT_EQ(back[i].run_time, events[i].run_time);
    EXPECT_EQ(back[i].kind, events[i].kind);
    EXPECT_EQ(back[i].is_folder, events[i].is_folder);
    EXPECT_EQ(back[i].folder, events[i].folder);
    EXPECT_EQ(back[i].name, events[i].name);
    EXPECT_EQ(back[i].size, events[i].size);
    EXPECT_EQ(back[i].has_tag, events[i].has_tag);
  }
  EXPECT_EQ(back[1].tag.Title, events[1].tag.Title);
  EXPECT_EQ(back[1].tag.Genre, 255);
  EXPECT_EQ(back[1].tag.comment_tail[1], 7);
  EXPECT_TRUE(back[1].tag.HasTag());
  EXPECT_EQ(back[1].Title(), "T");
  EXPECT_EQ(back[0].Title(), back[0].name);
}

// Lines that are not well-formed are skipped one by one, in either format; a file of another
// form is no history.
TEST(FeedHistoryTest, DamagedLinesAreSkipped) {
  const std::string v1_line = "5\tnew\tF\ta/\tx.mp3\tt\t1\t0\t\t\t\t\t\t0\t0\t0\n";
  const std::string damaged_v1[] = {
      "garbage\n",
      "5\tnew\tF\t../\tx\tt\t1\t0\t\t\t\t\t\t0\t0\t0\n",    // leaves the root
      "5\tnew\tF\t/abs/\tx\tt\t1\t0\t\t\t\t\t\t0\t0\t0\n",  // absolute
      "5\tnew\tF\ta/\tx/y\tt\t1\t0\t\t\t\t\t\t0\t0\t0\n",   // a name with a separator
      "5\tmoved\tF\ta/\tx\tt\t1\t0\t\t\t\t\t\t0\t0\t0\n",   // unknown kind
      "5\tnew\tF\ta/\tx\tt\t-1\t0\t\t\t\t\t\t0\t0\t0\n",    // negative size
      "5\tnew\tF\ta/\tx\tt\t1\t0\t\t\t\t\t\t256\t0\t0\n",   // genre out of range
      "5\tnew\tF\ta/\tx%2\tt\t1\t0\t\t\t\t\t\t0\t0\t0\n",   // cut escape
      "5\tnew\tF\ta/\tx\tt\t1\t0\t\t\t\t\t\t0\t0\n",        // a field short
  };
  std::string text = "VELDRA mp3+ feed history 1\n" + v1_line;
  for (const std::string& line : damaged_v1) text += line + v1_line;
  text += v1_line.substr(0, 5);  // cut short at the end
  EXPECT_EQ(ParseFeedHistory(text).size(), 1 + std::size(damaged_v1));

  const std::string good = FormatFeedHistory({Event(5, ChangeKind::kNew, "a/", "x.mp3")});
  const std::string good_line = good.substr(good.find('\n') + 1);
  const std::string head = "5\tnew\tF\ta/\tx\tt\t1\t0\t\t\t\t\t\t0\t0\t0\t";
  const std::string damaged_v2[] = {
      v1_line,                                // format 1's line in format 2
      head + "2\t\t\t\t\t\t\t\t-1\t-1\n",     // flag neither 0 nor 1
      head + "1\tT\t\t\t\t\t\t\t-2\t-1\n",    // play time below -1
      head + "1\tT\t\t\t\t\t\t\t-1\tfast\n",  // bitrate not a number
      head + "1\tT\t\t\t\t\t\t\t-1\t-1\t\n",  // a field too many
  };
  text = good;
  for (const std::string& line : damaged_v2) text += line + good_line;
  EXPECT_EQ(ParseFeedHistory(text).size(), 1 + std::size(damaged_v2));
  EXPECT_TRUE(ParseFeedHistory("VELDRA mp3+ feed history 3\n" + good_line).empty());
  EXPECT_TRUE(ParseFeedHistory("").empty());
}

// A history written before the tag reader's fields were kept still loads, tags and all, and is
// written back in the new format; what the tag reader read survives the file and gives the title.
TEST(FeedHistoryTest, ReadsTheOldFormatAndKeepsTheTagReadersFields) {
  const std::string old_format =
      "VELDRA mp3+ feed history 1\n"
      "1765119120\tnew\tF\ta%09b/\tsong.mp3\t2026/12/07 14:52\t4096\t1\tOld title\tArtist\t"
      "Album\t1999\tNote\t17\t0\t3\n"
      "1765119120\tupdated\tD\t\tsub\t2026/12/07 14:50\t0\t0\t\t\t\t\t\t0\t0\t0\n";
  std::vector<ChangeEvent> events = ParseFeedHistory(old_format);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].folder, "a\tb/");
  EXPECT_TRUE(events[0].has_tag);
  EXPECT_FALSE(events[0].has_fields);
  EXPECT_EQ(events[0].tag.Artist, "Artist");
  EXPECT_EQ(events[0].tag.comment_tail[1], 3);
  EXPECT_EQ(events[0].Title(), "Old title");
  EXPECT_TRUE(events[1].is_folder);
  EXPECT_EQ(events[1].kind, ChangeKind::kUpdated);

  events[0].has_fields = true;
  events[0].fields.title = std::string("Full\ttitle\r\n%\xff", 14);
  events[0].fields.artist = "Someone";
  events[0].fields.track = "3/12";
  events[0].stream = StreamInfo{183000, 320000};
  const std::string written = FormatFeedHistory(events);
  EXPECT_TRUE(written.starts_with("VELDRA mp3+ feed history 2\n"));
  const std::vector<ChangeEvent> back = ParseFeedHistory(written);
  ASSERT_EQ(back.size(), 2u);
  EXPECT_TRUE(back[0].has_fields);
  EXPECT_EQ(back[0].fields.title, events[0].fields.title);
  EXPECT_EQ(back[0].fields.track, "3/12");
  EXPECT_EQ(back[0].stream.milliseconds, 183000);
  EXPECT_EQ(back[0].stream.bits_per_second, 320000);
  EXPECT_EQ(back[0].tag.Title, "Old title");
  EXPECT_FALSE(back[1].has_fields);
  EXPECT_EQ(back[1].stream.milliseconds, -1);
  // The tag reader's title wins (control characters made blanks); without one, ID3v1's.
  EXPECT_EQ(back[0].Title(), "Full title  %\xff");
  ChangeEvent no_title = back[0];
  no_title.fields.title.clear();
  EXPECT_EQ(no_title.Title(), "Old title");
  EXPECT_EQ(FormatFeedHistory(ParseFeedHistory(written)), written);
}

// This run first, earlier runs newest first, an id only once, at most the limit.
TEST(FeedHistoryTest, MergeOrderLimitAndDuplicates) {
  std::vector<ChangeEvent> earlier;
  for (int i = 0; i < 300; ++i)
    earlier.push_back(Event(i % 3, ChangeKind::kNew, "", "f" + std::to_string(i)));
  earlier.push_back(earlier.front());
  const std::vector<ChangeEvent> merged =
      MergeFeedHistory({Event(10, ChangeKind::kUpdated, "", "f0")}, earlier);
  ASSERT_EQ(merged.size(), kFeedEntryLimit);
  EXPECT_EQ(merged[0].run_time, 10);
  for (size_t i = 1; i + 1 < merged.size(); ++i)
    EXPECT_GE(merged[i].run_time, merged[i + 1].run_time);
  EXPECT_EQ(merged[1].name, "f2");  // time 2, first of that run as the file held them
  const std::vector<ChangeEvent> twice = MergeFeedHistory({}, {earlier[0], earlier[0]});
  EXPECT_EQ(twice.size(), 1u);
}

TEST(AtomFeedTest, TagHostIdsAndText) {
  EXPECT_EQ(TagHost("http://User@Music.Example.ORG:8080/m/"), "music.example.org");
  EXPECT_EQ(TagHost("/files/"), "localhost");
  EXPECT_EQ(TagHost("http://[::1]/"), "localhost");
  EXPECT_EQ(TagHost("file:///srv/"), "localhost");
  FeedLinks links;
  links.tag_host = "h.example";
  ChangeEvent event = Event(1765119120, ChangeKind::kUpdated, "a b/", "c\"%.mp3");
  EXPECT_EQ(EntryTagId(links, event),
            "tag:h.example,2000:updated/20251207T145200Z/a%20b/c%22%25.mp3");
  event.is_folder = true;
  EXPECT_EQ(EntryTagId(links, event).back(), '/');
  EXPECT_EQ(AtomTime(0), "1970-01-01T00:00:00Z");
  EXPECT_EQ(EncodeIriPath("a \"<&lt;>.mp3"), "a%20%22%3C&amp;lt;%3E.mp3");
  EXPECT_EQ(XmlText(std::string("a<&\"\r\n\x01\xff\xc2\x85", 10)),
            "a&lt;&amp;&quot;\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(PlaylistTest, TitlesAndUrls) {
  PlaylistItem plain;
  plain.name = "a b#?.mp3";
  PlaylistItem tagged;
  tagged.name = "t.mp3";
  tagged.has_tag = true;
  tagged.tag.Marker = "TAG";
  tagged.tag.Title = std::string("Song\0\0", 6);
  tagged.tag.Artist = "Band\r\n";
  PlaylistItem title_only;
  title_only.name = "u.mp3";
  title_only.has_tag = true;
  title_only.tag.Title = "Only ";
  title_only.tag.Artist = std::string(30, '\0');
  EXPECT_EQ(PlaylistTitle(plain), "a b#?.mp3");
  EXPECT_EQ(PlaylistTitle(tagged), "Band\xEF\xBF\xBD\xEF\xBF\xBD - Song");
  EXPECT_EQ(PlaylistTitle(title_only), "Only");
  EXPECT_EQ(BuildPlaylist({plain}),
            "#EXTM3U\n# VELDRA mp3+ playlist\n#EXTINF:-1,a b#?.mp3\na%20b%23%3F.mp3\n");
  EXPECT_EQ(BuildPlaylist({}), "");
  EXPECT_EQ(PlaylistName("index.htm"), "index.m3u8");
  EXPECT_EQ(PlaylistName("list"), "list.m3u8");
}

}  // namespace
}  // namespace veldra

// The ID3v2, APE and MPEG stream readers and the column text rules, on tags built byte by byte:
// the cases real taggers rarely write (2.2, unsynchronisation, extended headers, plain sizes in
// 2.4) and hostile sizes.

#include <gtest/gtest.h>

#include <string>

#include "platform/code_page.h"
#include "tags/ape.h"
#include "tags/byte_ranges.h"
#include "tags/id3v2.h"
#include "tags/mpeg_stream.h"
#include "tags/tag_reader.h"
#include "tags/tag_text.h"
#include "tags/taglib_reader.h"

namespace veldra {
namespace {

std::string Be32(uint32_t v) {
  return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
          static_cast<char>(v)};
}
std::string Le32(uint32_t v) {
  return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
          static_cast<char>(v >> 24)};
}
std::string Synchsafe(uint32_t v) {
  return {static_cast<char>((v >> 21) & 0x7F), static_cast<char>((v >> 14) & 0x7F),
          static_cast<char>((v >> 7) & 0x7F), static_cast<char>(v & 0x7F)};
}

// A 2.3 (plain sizes) or 2.4 (synchsafe sizes) frame.
std::string Frame(int major, const std::string& id, const std::string& body, char flags2 = 0) {
  return id + (major == 4 ? Synchsafe(static_cast<uint32_t>(body.size())) : Be32(body.size())) +
         std::string(1, '\0') + std::string(1, flags2) + body;
}
std::string Frame22(const std::string& id, const std::string& body) {
  const auto n = static_cast<uint32_t>(body.size());
  return id +
         std::string{static_cast<char>(n >> 16), static_cast<char>(n >> 8), static_cast<char>(n)} +
         body;
}
std::string Tag(int major, const std::string& frames, char flags = 0, size_t padding = 20) {
  const std::string body = frames + std::string(padding, '\0');
  return "ID3" + std::string{static_cast<char>(major), 0, flags} +
         Synchsafe(static_cast<uint32_t>(body.size())) + body;
}
std::string Text(const std::string& utf8) { return "\x03" + utf8; }

GenreTable Genres() {
  GenreTable table;
  table[17] = "Rock";
  table[8] = "Jazz";
  return table;
}

TagFields Read(const std::string& bytes, int code_page = 932, Id3v2Result* result = nullptr) {
  MemorySource source(bytes);
  WindowedReader reader(source);
  TagFields fields;
  const GenreTable genres = Genres();
  const Id3v2Result r = ReadId3v2(reader, code_page, genres, &fields);
  if (result != nullptr) *result = r;
  return fields;
}

TEST(Id3v2Test, ReadsTheFourEncodingsAndTheirByteOrders) {
  const std::string frames =
      Frame(3, "TIT2", std::string("\x00", 1) + "\x93\xfa\x96\x7b") +  // Latin-1 = code page
      Frame(3, "TPE1",
            std::string("\x01\xff\xfe"
                        "A\0r\0t\0",
                        9)) +  // UTF-16 LE with BOM
      Frame(3, "TALB",
            std::string("\x01"
                        "A\0l\0b\0",
                        7)) +                              // no BOM: little-endian
      Frame(3, "TCON", std::string("\x02\x00R\x00o", 5));  // UTF-16BE
  const TagFields f = Read(Tag(3, frames));
  EXPECT_EQ(f.title, "日本");
  EXPECT_EQ(f.artist, "Art");
  EXPECT_EQ(f.album, "Alb");
  EXPECT_EQ(f.genre, "Ro");
  EXPECT_EQ(Read(Tag(3, frames), 1252).title, "“ú–{");
}

TEST(Id3v2Test, Version24JoinsValuesAndTakesTheYearPart) {
  const std::string frames = Frame(4, "TPE1", Text(std::string("One\0Two\0\0", 9))) +
                             Frame(4, "TDRC", Text("2004-05-06T10:00")) +
                             Frame(4, "TRCK", Text("3/12")) +
                             Frame(4, "TCON",
                                   Text(std::string("(17)Rock\0"
                                                    "8\0Trance",
                                                    17)));
  const TagFields f = Read(Tag(4, frames));
  EXPECT_EQ(f.artist, "One / Two");
  EXPECT_EQ(f.year, "2004");
  EXPECT_EQ(f.track, "03");
  EXPECT_EQ(f.genre, "Rock / Jazz / Trance");
}

TEST(Id3v2Test, YearFramesInOrderAndCommentWithoutDescriptionFirst) {
  const std::string frames = Frame(3, "TDRC", Text("2001")) + Frame(3, "TYER", Text("1999")) +
                             Frame(3, "COMM",
                                   std::string("\x03"
                                               "eng"
                                               "iTunNORM\0 0000",
                                               17)) +
                             Frame(3, "COMM",
                                   std::string("\x03"
                                               "jpn"
                                               "\0plain\x01text",
                                               15));
  const TagFields f = Read(Tag(3, frames));
  EXPECT_EQ(f.year, "1999");
  EXPECT_EQ(f.comment, "plain text");  // a control character becomes a blank
  EXPECT_EQ(Read(Tag(3, Frame(3, "COMM",
                              std::string("\x03"
                                          "eng"
                                          "d\0only",
                                          10))))
                .comment,
            "only");
}

TEST(Id3v2Test, Version22FramesAndWholeTagUnsynchronisation) {
  const std::string v22 =
      Frame22("TT2", Text("Old")) + Frame22("TP1", Text("Timer")) + Frame22("TCO", Text("(17)"));
  const TagFields f = Read(Tag(2, v22));
  EXPECT_EQ(f.title, "Old");
  EXPECT_EQ(f.genre, "Rock");

  // 2.3 unsynchronised as a whole: 0xFF 0x00 pairs inside lose their 0x00, sizes count after.
  std::string body = Frame(3, "TIT2",
                           std::string("\x00"
                                       "a\xff"
                                       "b",
                                       4));
  std::string synced;
  for (char c : body) {
    synced += c;
    if (static_cast<unsigned char>(c) == 0xFF) synced += '\0';
  }
  EXPECT_EQ(Read(Tag(3, synced, static_cast<char>(0x80))).title, DecodeCodePage(932,
                                                                                "a\xff"
                                                                                "b"));
}

TEST(Id3v2Test, ExtendedHeadersFrameFlagsAndPlainSizesIn24) {
  // 2.3 extended header of 6 bytes (size field excludes itself), before the frames.
  const std::string ext23 = Be32(6) + std::string(6, '\0');
  EXPECT_EQ(Read(Tag(3, ext23 + Frame(3, "TIT2", Text("E3")), 0x40)).title, "E3");
  // 2.4 extended header: synchsafe size including itself.
  const std::string ext24 = Synchsafe(6) + std::string("\x01\x00", 2);
  EXPECT_EQ(Read(Tag(4, ext24 + Frame(4, "TIT2", Text("E4")), 0x40)).title, "E4");
  // 2.4 frame with unsynchronisation and a data length indicator.
  const std::string frame = Frame(4, "TALB",
                                  Be32(0) + std::string("\x03"
                                                        "x\xff\x00y",
                                                        5),
                                  0x03);
  EXPECT_EQ(Read(Tag(4, frame)).album, "x\xef\xbf\xbdy");  // 0xFF alone is no UTF-8: U+FFFD
  // A compressed frame is skipped, the next one read.
  EXPECT_EQ(Read(Tag(3, Frame(3, "TIT2", Text("zz"), static_cast<char>(0x80)) +
                            Frame(3, "TPE1", Text("after"))))
                .artist,
            "after");
  // A 2.4 tag written with a plain size of 200 (synchsafe would be 328): the plain one leads to
  // the next frame, so it is meant.
  const std::string long_title(199, 'T');
  const std::string plain =
      "TIT2" + Be32(200) + std::string(2, '\0') + Text(long_title) + Frame(4, "TPE1", Text("next"));
  const TagFields f = Read(Tag(4, plain));
  EXPECT_EQ(f.title, long_title);
  EXPECT_EQ(f.artist, "next");
}

TEST(Id3v2Test, PicturesAreSkippedByTheirSizeNeverRead) {
  const std::string picture = Frame(3, "APIC", std::string(5 * 1024 * 1024, 'P'));
  const std::string bytes =
      Tag(3, Frame(3, "TIT2", Text("Before")) + picture + Frame(3, "TPE1", Text("After")));
  MemorySource source(bytes);
  WindowedReader reader(source);
  TagFields fields;
  const Id3v2Result result = ReadId3v2(reader, 932, Genres(), &fields);
  EXPECT_EQ(fields.title, "Before");
  EXPECT_EQ(fields.artist, "After");
  EXPECT_EQ(result.tag_end, static_cast<int64_t>(bytes.size()));
  EXPECT_LE(reader.bytes_read(), 64 * 1024);
}

TEST(Id3v2Test, HostileSizesGiveTheFramesBeforeTheDamage) {
  Id3v2Result result;
  // A tag claiming far more than the file: bounded by the file, frames before the damage kept.
  std::string claims =
      Tag(3, Frame(3, "TIT2", Text("kept")) + "TPE1" + Be32(0xFFFFFFF0) + "\0\0x", 0, 0);
  claims.replace(6, 4, Synchsafe(0x0FFFFFFF));
  EXPECT_EQ(Read(claims, 932, &result).title, "kept");
  EXPECT_TRUE(result.found);
  EXPECT_EQ(result.tag_end, static_cast<int64_t>(claims.size()));
  // A synchsafe tag size with high bits set is no tag at all.
  std::string high = Tag(3, Frame(3, "TIT2", Text("x")));
  high[6] = static_cast<char>(0x80);
  EXPECT_EQ(Read(high, 932, &result).title, "");
  EXPECT_FALSE(result.found);
  // Truncated headers and garbage ids.
  for (const std::string& bytes :
       {std::string("ID3"), std::string("ID3\x03\x00\x00\x00\x00\x00\x05TI", 12),
        Tag(3, "ti\x01\x02" + Be32(1) + std::string(3, '\0'))}) {
    EXPECT_EQ(Read(bytes).title, "");
  }
}

std::string ApeItem(const std::string& key, const std::string& value, uint32_t flags = 0) {
  return Le32(static_cast<uint32_t>(value.size())) + Le32(flags) + key + std::string(1, '\0') +
         value;
}
std::string ApeTag(const std::string& items, uint32_t count) {
  const std::string footer = "APETAGEX" + Le32(2000) +
                             Le32(static_cast<uint32_t>(items.size() + 32)) + Le32(count) +
                             Le32(0) + std::string(8, '\0');
  return items + footer;
}

TEST(ApeTest, ReadsTextItemsSkipsBinaryOnesAndSurvivesHostileCounts) {
  const std::string items = ApeItem("Cover Art (Front)", std::string(300000, 'C'), 2) +
                            ApeItem("TITLE", "Ape Title") +
                            ApeItem("Artist", std::string("A\0B", 3)) + ApeItem("Track", "4/10") +
                            ApeItem("Year", "2003-01-01");
  const std::string bytes = std::string(100, 'x') + ApeTag(items, 5);
  MemorySource source(bytes);
  WindowedReader reader(source);
  TagFields f;
  const ApeResult result = ReadApeTag(reader, static_cast<int64_t>(bytes.size()), f);
  EXPECT_TRUE(result.found);
  EXPECT_EQ(result.tag_start, 100);
  EXPECT_EQ(f.title, "Ape Title");
  EXPECT_EQ(f.artist, "A / B");
  EXPECT_EQ(f.track, "04");
  EXPECT_EQ(f.year, "2003");
  EXPECT_LT(reader.bytes_read(), 100000);

  // An item count of 2^32-1, an item claiming 4 GB, a tag bigger than the file.
  for (const std::string& hostile :
       {ApeTag(ApeItem("Title", "x"), 0xFFFFFFFF), ApeTag(Le32(0xFFFFFFFF) + Le32(0) + "Title", 1),
        std::string("APETAGEX") + Le32(2000) + Le32(0x7FFFFFFF) + Le32(9) +
            std::string(12, '\0')}) {
    MemorySource s(hostile);
    WindowedReader r(s);
    TagFields none;
    ReadApeTag(r, static_cast<int64_t>(hostile.size()), none);
    EXPECT_TRUE(none.artist.empty());
  }
}

// An MPEG-1 Layer III frame header at 128 kbit/s, 44.1 kHz, stereo: 417 bytes a frame.
std::string MpegFrame(const std::string& inside = "") {
  std::string frame = std::string("\xff\xfb\x90\x00", 4) + inside;
  frame.resize(417, '\0');
  return frame;
}

StreamInfo Stream(const std::string& bytes) {
  MemorySource source(bytes);
  WindowedReader reader(source);
  return ReadMpegStream(reader, 0, static_cast<int64_t>(bytes.size()));
}

TEST(MpegStreamTest, XingVbriAndFirstFrameEstimate) {
  // Constant bitrate: 100 frames of 417 bytes at 128 kbit/s.
  std::string cbr;
  for (int i = 0; i < 100; ++i) cbr += MpegFrame();
  StreamInfo info = Stream(std::string(10, '\0') + cbr);  // junk before the first frame
  EXPECT_EQ(info.bits_per_second, 128000);
  EXPECT_EQ(info.milliseconds, 41700LL * 8000 / 128000);

  // Xing: 10000 frames of 1152 samples at 44.1 kHz = 261.2 s, 4 MB.
  const std::string xing =
      MpegFrame(std::string(32, '\0') + "Xing" + Be32(3) + Be32(10000) + Be32(4000000)) +
      MpegFrame() + std::string(4000000, '\0');  // the stream the header counts
  info = Stream(xing);
  EXPECT_EQ(info.milliseconds, 10000LL * 1152 * 1000 / 44100);
  EXPECT_EQ(PlayTimeText(info.milliseconds), "4:21");
  EXPECT_EQ(BitrateText(info.bits_per_second), "123kbps");  // 4000000 * 8 / 261.2 s

  const std::string vbri = MpegFrame(std::string(32, '\0') + "VBRI" + std::string(6, '\0') +
                                     Be32(2000000) + Be32(5000)) +
                           MpegFrame();
  EXPECT_EQ(Stream(vbri).milliseconds, 5000LL * 1152 * 1000 / 44100);

  // No frame in reach, or a false sync not followed by another frame: nothing.
  EXPECT_EQ(Stream(std::string(20000, '\0') + cbr).milliseconds, -1);
  EXPECT_EQ(Stream(std::string("\xff\xfb\x90\x00", 4) + std::string(1000, 'x')).milliseconds, -1);
}

TEST(TagTextTest, GenreForms) {
  const GenreTable g = Genres();
  EXPECT_EQ(GenreText("(17)", g), "Rock");
  EXPECT_EQ(GenreText("17", g), "Rock");
  EXPECT_EQ(GenreText("(17)Rock", g), "Rock");
  EXPECT_EQ(GenreText("(17)Jazz", g), "Rock / Jazz");
  EXPECT_EQ(GenreText("(17)(8)", g), "Rock / Jazz");
  EXPECT_EQ(GenreText("(RX)", g), "Remix");
  EXPECT_EQ(GenreText("(CR)Live", g), "Cover / Live");
  EXPECT_EQ(GenreText("Shoegaze", g), "Shoegaze");
  EXPECT_EQ(GenreText("((Not a ref)", g), "(Not a ref)");
  EXPECT_EQ(GenreText("300", g), "300");  // past the table
  EXPECT_EQ(GenreText("(42)", g), "42");  // a name the table lacks
  EXPECT_EQ(GenreText("(17", g), "(17");
  EXPECT_EQ(GenreText("  ", g), "");
}

TEST(TagTextTest, TrackYearTimeAndControlCharacters) {
  EXPECT_EQ(TrackNumberText("3/12"), "03");
  EXPECT_EQ(TrackNumberText(" 12 "), "12");
  EXPECT_EQ(TrackNumberText("007"), "07");
  EXPECT_EQ(TrackNumberText("A1"), "A1");
  EXPECT_EQ(TrackNumberText("/12"), "/12");
  EXPECT_EQ(YearText("1999"), "1999");
  EXPECT_EQ(YearText("2004-05"), "2004");
  EXPECT_EQ(YearText("circa 90"), "circa 90");
  EXPECT_EQ(PlayTimeText(59499), "0:59");
  EXPECT_EQ(PlayTimeText(59500), "1:00");
  EXPECT_EQ(PlayTimeText(3600000), "1:00:00");
  EXPECT_EQ(PlayTimeText(-1), "");
  EXPECT_EQ(BitrateText(127500), "128kbps");
  EXPECT_EQ(CleanText("\ta\x7f"
                      "b\xc2\x85"
                      "c\n"),
            "a b c");
  EXPECT_EQ(JoinValues({" a ", "", "\x01", "b"}), "a / b");
}

TEST(TagReaderTest, Id3v2ThenApeThenId3v1ColumnByColumn) {
  std::string v1(128, '\0');
  v1.replace(0, 3, "TAG");
  v1.replace(3, 5, "V1 Ti");
  v1.replace(33, 5, "V1 Ar");
  v1.replace(63, 5, "V1 Al");
  v1.replace(93, 4, "1980");
  v1[126] = 9;
  v1[127] = 8;
  const std::string bytes = Tag(3, Frame(3, "TIT2", Text("V2 Title"))) + MpegFrame() + MpegFrame() +
                            ApeTag(ApeItem("Artist", "Ape Artist"), 1) + v1;
  MemorySource source(bytes);
  TagReadOptions options;
  options.all_tags = true;
  options.stream = true;
  const GenreTable genres = Genres();
  options.genres = &genres;
  FileTags out;
  ReadFileTags(source, "x.MP3", options, out);
  EXPECT_EQ(out.fields.title, "V2 Title");
  EXPECT_EQ(out.fields.artist, "Ape Artist");
  EXPECT_EQ(out.fields.album, "V1 Al");
  EXPECT_EQ(out.fields.year, "1980");
  EXPECT_EQ(out.fields.track, "09");
  EXPECT_EQ(out.fields.genre, "Jazz");
  EXPECT_EQ(out.stream.bits_per_second, 128000);
  EXPECT_EQ(out.stream.milliseconds, 834 * 8 / 128);  // two frames, tags not counted
  EXPECT_TRUE(out.v1.HasTag());

  // When ID3v2 has every column shown (here the title alone), the tail is not read.
  options.stream = false;
  options.columns = 1;
  FileTags head_only;
  ReadFileTags(source, "x.mp3", options, head_only);
  EXPECT_EQ(head_only.fields.title, "V2 Title");
  EXPECT_EQ(head_only.fields.artist, "");
  EXPECT_FALSE(head_only.v1.HasTag());
  options.columns = 3;  // title and artist: the artist comes from the APE tag again
  ReadFileTags(source, "x.mp3", options, head_only);
  EXPECT_EQ(head_only.fields.artist, "Ape Artist");

  // Other names are no MP3 files in either mode; without ALL nothing but MP3 is read.
  options.all_tags = false;
  EXPECT_FALSE(HasTagsToRead("a.flac", options));
  EXPECT_TRUE(HasTagsToRead("amp3", options));
}

TEST(OtherFormatTest, DeeplyNestedMp4AtomsAreRefusedBeforeTagLibRecursesIntoThem) {
  // 300,000 "moov" atoms, each inside the one before: TagLib's recursion overflowed the stack.
  constexpr uint32_t kDepth = 300000;
  std::string bytes = Be32(16) + "ftypM4A ";
  for (uint32_t i = 0; i < kDepth; ++i) bytes += Be32((kDepth - i) * 8) + "moov";
  MemorySource source(bytes);
  TagFields fields;
  StreamInfo info;
  EXPECT_FALSE(ReadOtherFormat(source, OtherFormat::kMp4, true, fields, info));
  EXPECT_FALSE(ReadOtherFormat(source, OtherFormat::kAac, true, fields, info));
  EXPECT_EQ(OtherFormatOfName("x.M4A"), OtherFormat::kMp4);
  EXPECT_EQ(OtherFormatOfName("x.oga"), OtherFormat::kOgg);
  EXPECT_EQ(OtherFormatOfName("x.mp3"), OtherFormat::kNone);
  EXPECT_EQ(OtherFormatOfName("flac"), OtherFormat::kNone);
}

// A read recorded and replayed (the tag cache): the same fields from the ranges kept, far fewer
// bytes than the file when a picture is skipped, and a miss, never a wrong field, when another
// set's options need bytes the recording lacks; merged recordings serve both.
TEST(RecordedRead, ReplaysWhatWasReadAndMissesWhatWasNot) {
  std::string v1(128, '\0');
  v1.replace(0, 3, "TAG");
  v1.replace(33, 9, "V1 Artist");
  v1[127] = 8;
  const std::string picture =
      Frame(3, "APIC", std::string("\0image/jpeg\0\3\0", 15) + std::string(200 * 1024, 'P'));
  const std::string bytes =
      Tag(3, Frame(3, "TIT2", Text("V2 Title")) + picture) + MpegFrame() + MpegFrame() + v1;
  const GenreTable genres = Genres();
  TagReadOptions title_only;
  title_only.all_tags = true;
  title_only.columns = 1;
  title_only.genres = &genres;
  TagReadOptions with_stream = title_only;
  with_stream.columns = 3;
  with_stream.stream = true;

  const auto record = [&](const TagReadOptions& options, FileTags& out) {
    MemorySource file(bytes);
    RecordingSource recording(file);
    ReadFileTags(recording, "x.mp3", options, out);
    return recording.Take();
  };
  FileTags direct;
  ByteRanges head = record(title_only, direct);
  EXPECT_EQ(direct.fields.title, "V2 Title");
  EXPECT_LT(head.byte_count(), 1024u);  // the picture was skipped, and is not kept
  ByteRanges parsed;
  ASSERT_TRUE(ByteRanges::Parse(head.Serialize(), parsed));
  FileTags replayed;
  EXPECT_TRUE(ReadFileTagsFrom(parsed, "x.mp3", title_only, replayed));
  EXPECT_EQ(replayed.fields.title, "V2 Title");

  // The artist and the stream columns need the tail and the frames: not in the recording.
  FileTags missed;
  missed.fields.title = "left over";
  EXPECT_FALSE(ReadFileTagsFrom(parsed, "x.mp3", with_stream, missed));
  EXPECT_EQ(missed.fields.title, "");

  FileTags full;
  ByteRanges more = record(with_stream, full);
  more.Merge(head);
  FileTags both;
  ASSERT_TRUE(ReadFileTagsFrom(more, "x.mp3", with_stream, both));
  EXPECT_EQ(both.fields.artist, "V1 Artist");
  EXPECT_EQ(both.fields.title, full.fields.title);
  EXPECT_EQ(both.stream.bits_per_second, full.stream.bits_per_second);
  EXPECT_EQ(both.stream.milliseconds, full.stream.milliseconds);
  ASSERT_TRUE(ReadFileTagsFrom(more, "x.mp3", title_only, both));
  EXPECT_EQ(both.fields.title, "V2 Title");
}

TEST(ByteRanges, JoinsRangesAndRefusesDamagedRecords) {
  ByteRanges ranges(100);
  const auto add = [&](int64_t offset, const std::string& bytes) {
    ranges.Add(offset, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  };
  add(10, "abcd");
  add(30, "xyz");
  add(12, "CDEFG");  // overlaps the first: bytes already held stay
  add(17, "hi");     // touches it
  ASSERT_EQ(ranges.ranges().size(), 2u);
  EXPECT_EQ(ranges.ranges()[0].offset, 10);
  EXPECT_EQ(ranges.ranges()[0].bytes, "abcdEFGhi");
  add(0, std::string(40, '.'));  // swallows both
  ASSERT_EQ(ranges.ranges().size(), 1u);
  EXPECT_EQ(ranges.ranges()[0].bytes.substr(10, 9), "abcdEFGhi");
  EXPECT_EQ(ranges.Find(30, 3),
            reinterpret_cast<const uint8_t*>(ranges.ranges()[0].bytes.data()) + 30);
  EXPECT_EQ(ranges.Find(38, 3), nullptr);
  add(90, "tail");

  const std::string data = ranges.Serialize();
  ByteRanges back;
  ASSERT_TRUE(ByteRanges::Parse(data, back));
  EXPECT_EQ(back.file_size(), 100);
  EXPECT_EQ(back.Serialize(), data);
  // Every cut and every flipped byte of the record is refused or parses to ranges inside the
  // file; none reads out of bounds (AddressSanitizer watches).
  for (size_t cut = 0; cut < data.size(); ++cut)
    EXPECT_FALSE(ByteRanges::Parse(data.substr(0, cut), back)) << cut;
  for (size_t i = 0; i < data.size(); ++i) {
    std::string flipped = data;
    flipped[i] = static_cast<char>(flipped[i] ^ 0xA5);
    if (!ByteRanges::Parse(flipped, back)) continue;
    for (const ByteRanges::Range& range : back.ranges())
      EXPECT_LE(range.offset + static_cast<int64_t>(range.bytes.size()), back.file_size());
  }
  EXPECT_FALSE(ByteRanges::Parse(data + "x", back));
  ByteRanges other(99);
  other.Merge(ranges);  // another file size: nothing joins
  EXPECT_TRUE(other.empty());
}

}  // namespace
}  // namespace veldra

#include "engine/playlist.h"

#include <algorithm>

#include "engine/folder_tags.h"
#include "engine/id3_tails.h"
#include "engine/run_context.h"
#include "engine/table_rows.h"
#include "platform/file_name.h"
#include "platform/file_tail.h"
#include "platform/utf8.h"
#include "tags/tag_reader.h"

namespace veldra {
namespace {

// Valid UTF-8 without control characters: anything else becomes U+FFFD, so one name can never
// make two lines or a directive.
std::string CleanLineText(std::string_view text) {
  std::string out;
  for (size_t pos = 0; pos < text.size();) {
    uint32_t c = 0;
    const size_t length = DecodeUtf8(text, pos, c);
    if (length == 0 || c < 0x20 || (c >= 0x7F && c <= 0x9F)) {
      AppendUtf8(out, 0xFFFD);
      pos += length == 0 ? 1 : length;
      continue;
    }
    out.append(text.substr(pos, length));
    pos += length;
  }
  return out;
}

// A tag field as text: cut at the first NUL, blanks trimmed.
std::string TagText(const std::string& field) {
  return TrimBlanks(std::string_view(field).substr(0, field.find('\0')));
}

// Every byte but the unreserved ones percent-encoded: a relative URL naming exactly the file.
std::string RelativeUrl(std::string_view name) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    const bool unreserved = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                            (byte >= '0' && byte <= '9') || c == '-' || c == '.' || c == '_' ||
                            c == '~';
    if (unreserved) {
      out += c;
    } else {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    }
  }
  return out;  // ":" is encoded too, so no name reads as a scheme
}

}  // namespace

std::string PlaylistName(std::string_view page_name) { return StripExtension(page_name) + ".m3u8"; }

std::string PlaylistTitle(const PlaylistItem& item) {
  std::string title;
  std::string artist;
  if (item.has_tag) {
    title = TagText(item.tag.Title);
    artist = TagText(item.tag.Artist);
  } else {
    title = TrimBlanks(item.title);
    artist = TrimBlanks(item.artist);
  }
  if (title.empty()) return CleanLineText(item.name);
  if (artist.empty()) return CleanLineText(title);
  return CleanLineText(artist + " - " + title);
}

std::string BuildPlaylist(const std::vector<PlaylistItem>& items) {
  if (items.empty()) return {};
  std::string text(kPlaylistFirstLines);
  for (const PlaylistItem& item : items) {
    text += "#EXTINF:" + std::to_string(item.seconds < 0 ? -1 : item.seconds) + "," +
            PlaylistTitle(item) + "\n";
    text += RelativeUrl(item.name) + "\n";
  }
  return text;
}

namespace {

// TAGS=ALL: every format the tag reader knows is audio; its title, artist and play time come
// from the reader, one file at a time (opened as a regular file without blocking).
std::string BuildPlaylistReadingTags(const PageContext& context, const std::string& folder,
                                     const EntryTable& files, FolderTags* cached) {
  TagReadOptions options = TagOptionsFor(context);
  options.tags = true;
  options.stream = true;
  options.columns = 0x7F;
  std::vector<PlaylistItem> items;
  for (const Entry& entry : files) {
    if (!IsMp3Name(entry.name) && !HasTagsToRead(entry.name, options)) continue;
    PlaylistItem item;
    item.name = entry.name;
    FileTags tags;
    if (context.set.ProcessId3 && ReadTagsCached(cached, folder, entry.name, options, tags)) {
      item.title = tags.fields.title;
      item.artist = tags.fields.artist;
      if (tags.stream.milliseconds >= 0) item.seconds = (tags.stream.milliseconds + 500) / 1000;
    }
    items.push_back(std::move(item));
  }
  return BuildPlaylist(items);
}

}  // namespace

std::string BuildFolderPlaylist(const PageContext& context, const std::string& folder, int dir_fd,
                                const EntryTable& files, FolderTags* cached) {
  if (context.set.ReadAllTags) return BuildPlaylistReadingTags(context, folder, files, cached);
  std::vector<PlaylistItem> items;
  std::vector<FileTail> tails;
  for (const Entry& entry : files) {
    if (!IsMp3Name(entry.name)) continue;
    PlaylistItem item;
    item.name = entry.name;
    items.push_back(std::move(item));
    if (context.set.ProcessId3 && dir_fd >= 0) tails.push_back(TailOf(entry));
  }
  ReadId3TagsAt(cached, dir_fd, folder, tails, context.reads, [&items](size_t i, Id3Tag& tag) {
    items[i].has_tag = true;
    items[i].tag = std::move(tag);
  });
  return BuildPlaylist(items);
}

}  // namespace veldra

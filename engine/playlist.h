#pragma once
// The playlist of a folder: "<page base name>.m3u8", extended M3U in UTF-8, one entry per audio
// file in page order, each a relative, percent-encoded URL.

#include <string>
#include <string_view>
#include <vector>

#include "engine/entry_table.h"
#include "engine/page_context.h"
#include "tags/id3v1.h"

namespace veldra {

class FolderTags;

// The first lines of every playlist we write: the M3U header and the line that marks it as ours.
inline constexpr std::string_view kPlaylistFirstLines = "#EXTM3U\n# VELDRA mp3+ playlist\n";

// The playlist's name for a page file name: "index.htm" gives "index.m3u8".
std::string PlaylistName(std::string_view page_name);

// One audio file of the folder, with its tag when one was read.
struct PlaylistItem {
  std::string name;
  int64_t seconds = -1;  // -1: unknown
  bool has_tag = false;
  Id3Tag tag;
  // TAGS=ALL: the title and artist columns as the tag reader gives them (used without has_tag).
  std::string title;
  std::string artist;
};

// The #EXTINF text: "artist - title", "title" without an artist, the name without a title;
// control characters and bytes that are not valid UTF-8 replaced.
std::string PlaylistTitle(const PlaylistItem& item);

// The playlist's bytes; empty when there is no item.
std::string BuildPlaylist(const std::vector<PlaylistItem>& items);

// The playlist of a folder's files in table order, empty when the folder holds no audio. Audio is
// MP3 by name; with TAGS=ALL also the other formats the tag reader knows, whose title, artist and
// play time it reads from folder + name. Otherwise ID3v1 tags are read through dir_fd when
// ProcessId3 is on, and the play time stays unknown.
// cached (may be null) serves tags the tag cache holds.
std::string BuildFolderPlaylist(const PageContext& context, const std::string& folder, int dir_fd,
                                const EntryTable& files, FolderTags* cached = nullptr);

}  // namespace veldra

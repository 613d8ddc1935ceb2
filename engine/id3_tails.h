#pragma once
// Reading the ID3v1 tags of listed files from their tails, for the feed and the playlists.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "engine/entry_table.h"
#include "platform/file_tail.h"
#include "tags/id3v1.h"

namespace veldra {

class FolderTags;
class ReadPool;

// The tail to read of a listed file: at its listed size, and through a link only to the file the
// listing found.
FileTail TailOf(const Entry& entry);

// Reads the ID3v1 blocks of files within the open folder dir_fd, kTailBatch files at a time (so
// that at most one batch's bytes are held), on the pool's threads when the cache lacks them, and
// calls found(i, tag) for each files[i] that carries a tag. cached (may be null) serves the tails
// the tag cache holds and keeps the others read.
void ReadId3TagsAt(FolderTags* cached, int dir_fd, const std::string& folder,
                   const std::vector<FileTail>& files, ReadPool* pool,
                   const std::function<void(size_t, Id3Tag&)>& found);

}  // namespace veldra

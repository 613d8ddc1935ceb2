#include "engine/id3_tails.h"

#include <algorithm>

#include "engine/folder_tags.h"

namespace veldra {

FileTail TailOf(const Entry& entry) {
  return FileTail{entry.name, entry.size, {}, {}, entry.is_link, entry.id.device, entry.id.inode};
}

void ReadId3TagsAt(FolderTags* cached, int dir_fd, const std::string& folder,
                   const std::vector<FileTail>& files, ReadPool* pool,
                   const std::function<void(size_t, Id3Tag&)>& found) {
  for (size_t start = 0; start < files.size(); start += kTailBatch) {
    std::vector<FileTail> batch(
        files.begin() + static_cast<ptrdiff_t>(start),
        files.begin() + static_cast<ptrdiff_t>(std::min(files.size(), start + kTailBatch)));
    ReadTailsCached(cached, dir_fd, folder, batch, kId3BlockSize, pool);
    for (size_t i = 0; i < batch.size(); ++i) {
      Id3Tag tag;
      if (DecodeId3Tail(batch[i], tag) == Id3ReadResult::kRead && tag.HasTag())
        found(start + i, tag);
    }
  }
}

}  // namespace veldra

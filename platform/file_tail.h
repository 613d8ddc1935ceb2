#pragma once
// Reading the last bytes of files (where an MP3 file keeps its ID3v1 block), one at a time or
// many at once with the disk reads overlapped.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace veldra {

class ReadPool;

enum class TailReadResult {
  kRead,        // the buffer holds the file's last bytes
  kTooShort,    // a regular file shorter than the tail asked for
  kUnreadable,  // missing, not a regular file (a FIFO never blocks the call), or a read error
};

// Reads the last `size` bytes of the regular file at path into buffer: one open, one positioned
// read, one close. The buffer is left alone unless the result is kRead.
TailReadResult ReadFileTail(const std::string& path, size_t size, uint8_t* buffer);

// One file of a batch: its name and listed size in, its result and tail bytes out.
struct FileTail {
  std::string name;          // within the batch's folder
  int64_t listed_size = -1;  // the size its folder's listing gave, or -1 (see ReadFileTails)
  TailReadResult result = TailReadResult::kUnreadable;
  std::vector<uint8_t> bytes;  // size bytes when result is kRead, else empty
  // A listed link the walk allows: it is followed, and must lead to the listed file (device,
  // inode). Any other name is opened without following a link.
  bool through_link = false;
  uint64_t device = 0;
  uint64_t inode = 0;
};

// ReadFileTail for every file of the batch, all in folder ("" for names that are paths). Tails
// in the cache are read at once; the others are read on the pool's threads side by side, so that
// the disk gets many reads at a time instead of one after another (without a pool, one after
// another on the calling thread). Keeps at most kTailBatch files open at a time.
// A file with a listed size is not stat'ed again: under the tail's size it is kTooShort without
// being opened (a listing gives folders, FIFOs and devices size 0), otherwise its tail is read at
// that size (a file that shrank since is kUnreadable).
void ReadFileTails(const std::string& folder, std::vector<FileTail>& files, size_t size,
                   ReadPool* pool = nullptr);

// ReadFileTails within an open folder (dir_fd stays open).
void ReadFileTailsAt(int dir_fd, std::vector<FileTail>& files, size_t size,
                     ReadPool* pool = nullptr);

inline constexpr size_t kTailBatch = 64;

}  // namespace veldra

#pragma once
// A file of the tree opened for reading its tags: a regular file only, opened without blocking
// (a FIFO, device or socket under a music file's name never hangs a run), read by position.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace veldra {

class ReadOnlyFile {
 public:
  ReadOnlyFile() = default;
  ~ReadOnlyFile();
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

  // Opens path when it is a regular file; false otherwise (missing, a folder, a FIFO, a device).
  bool Open(const std::string& path);
  bool is_open() const { return fd_ >= 0; }
  void Close();
  // The size fstat gave when the file was opened.
  int64_t size() const { return size_; }
  // Reads up to length bytes at offset into out; the count read (less at the end of the file),
  // or -1 on a read error. With cached_only, a read the page cache cannot serve whole at once
  // returns kWouldWait instead of waiting for the disk.
  static constexpr int64_t kWouldWait = -2;
  int64_t ReadAt(int64_t offset, size_t length, uint8_t* out, bool cached_only = false) const;

 private:
  int fd_ = -1;
  int64_t size_ = 0;
};

}  // namespace veldra

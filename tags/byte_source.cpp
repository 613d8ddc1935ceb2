#include "tags/byte_source.h"

#include <algorithm>
#include <cstring>

namespace veldra {

int64_t MemorySource::ReadAt(int64_t offset, size_t length, uint8_t* out) {
  if (offset < 0 || offset > Size()) return -1;
  const size_t n = std::min(length, bytes_.size() - static_cast<size_t>(offset));
  if (n > 0) std::memcpy(out, bytes_.data() + offset, n);
  return static_cast<int64_t>(n);
}

const uint8_t* WindowedReader::Get(int64_t offset, size_t length) {
  if (offset < 0 || length > kMaxRange || offset > size_ ||
      static_cast<int64_t>(length) > size_ - offset)
    return nullptr;
  if (source_.ServesRanges()) return source_.ServeRange(offset, length);
  if (offset >= start_ &&
      offset + static_cast<int64_t>(length) <= start_ + static_cast<int64_t>(buffer_.size())) {
    source_.NoteUsed(offset, length, buffer_.data() + (offset - start_));
    return buffer_.data() + (offset - start_);
  }
  const size_t want =
      static_cast<size_t>(std::min<int64_t>(std::max(length, kWindow), size_ - offset));
  buffer_.resize(want);
  ++reads_;
  const int64_t got = source_.ReadAt(offset, want, buffer_.data());
  if (got < 0) {
    buffer_.clear();
    return nullptr;
  }
  bytes_read_ += got;
  buffer_.resize(static_cast<size_t>(got));
  start_ = offset;
  if (got < static_cast<int64_t>(length)) return nullptr;
  source_.NoteUsed(offset, length, buffer_.data());
  return buffer_.data();
}

}  // namespace veldra

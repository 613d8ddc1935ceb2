#include "tags/byte_ranges.h"

#include <algorithm>
#include <cstring>

namespace veldra {
namespace {

constexpr char kMagic = 'R';  // the first byte of a serialized record, its form's version

void PutNumber(std::string& out, uint64_t value) {
  do {
    uint8_t byte = value & 0x7F;
    value >>= 7;
    if (value != 0) byte |= 0x80;
    out.push_back(static_cast<char>(byte));
  } while (value != 0);
}

bool GetNumber(std::string_view& in, uint64_t& value) {
  value = 0;
  for (int shift = 0; shift < 64; shift += 7) {
    if (in.empty()) return false;
    const uint8_t byte = static_cast<uint8_t>(in.front());
    in.remove_prefix(1);
    value |= static_cast<uint64_t>(byte & 0x7F) << shift;
    if ((byte & 0x80) == 0) return true;
  }
  return false;
}

}  // namespace

size_t ByteRanges::byte_count() const {
  size_t total = 0;
  for (const Range& range : ranges_) total += range.bytes.size();
  return total;
}

void ByteRanges::Add(int64_t offset, const uint8_t* bytes, size_t length) {
  if (length == 0 || offset < 0) return;
  const int64_t end = offset + static_cast<int64_t>(length);
  // The first range that ends at or after offset: it and the ones after it up to end join.
  auto first =
      std::lower_bound(ranges_.begin(), ranges_.end(), offset, [](const Range& r, int64_t o) {
        return r.offset + static_cast<int64_t>(r.bytes.size()) < o;
      });
  auto last = first;
  while (last != ranges_.end() && last->offset <= end) ++last;
  if (first == last) {
    ranges_.insert(first, Range{offset, std::string(reinterpret_cast<const char*>(bytes), length)});
    return;
  }
  const int64_t start = std::min(offset, first->offset);
  const Range& back = *(last - 1);
  const int64_t stop = std::max(end, back.offset + static_cast<int64_t>(back.bytes.size()));
  std::string joined(static_cast<size_t>(stop - start), '\0');
  std::memcpy(joined.data() + (offset - start), bytes, length);
  for (auto it = first; it != last; ++it)  // bytes already held win
    std::memcpy(joined.data() + (it->offset - start), it->bytes.data(), it->bytes.size());
  first->offset = start;
  first->bytes = std::move(joined);
  ranges_.erase(first + 1, last);
}

void ByteRanges::Merge(const ByteRanges& other) {
  if (other.file_size_ != file_size_) return;
  for (const Range& range : other.ranges_)
    Add(range.offset, reinterpret_cast<const uint8_t*>(range.bytes.data()), range.bytes.size());
}

const uint8_t* ByteRanges::Find(int64_t offset, size_t length) const {
  auto it = std::upper_bound(ranges_.begin(), ranges_.end(), offset,
                             [](int64_t o, const Range& r) { return o < r.offset; });
  if (it == ranges_.begin()) return nullptr;
  --it;
  if (offset + static_cast<int64_t>(length) > it->offset + static_cast<int64_t>(it->bytes.size()))
    return nullptr;
  return reinterpret_cast<const uint8_t*>(it->bytes.data()) + (offset - it->offset);
}

std::string ByteRanges::Serialize() const {
  std::string out(1, kMagic);
  PutNumber(out, static_cast<uint64_t>(file_size_));
  PutNumber(out, ranges_.size());
  int64_t at = 0;  // offsets are stored as the gap after the previous range
  for (const Range& range : ranges_) {
    PutNumber(out, static_cast<uint64_t>(range.offset - at));
    PutNumber(out, range.bytes.size());
    out += range.bytes;
    at = range.offset + static_cast<int64_t>(range.bytes.size());
  }
  return out;
}

bool ByteRanges::Parse(std::string_view data, ByteRanges& out) {
  out = ByteRanges();
  ByteRanges parsed;
  if (data.empty() || data.front() != kMagic) return false;
  data.remove_prefix(1);
  uint64_t size = 0, count = 0;
  if (!GetNumber(data, size) || !GetNumber(data, count) || size > INT64_MAX) return false;
  parsed.file_size_ = static_cast<int64_t>(size);
  if (count > data.size()) return false;  // every range takes at least a byte
  uint64_t at = 0;
  for (uint64_t i = 0; i < count; ++i) {
    uint64_t gap = 0, length = 0;
    if (!GetNumber(data, gap) || !GetNumber(data, length)) return false;
    if (length == 0 || length > data.size() || (i > 0 && gap == 0)) return false;
    if (gap > size || at + gap > size || length > size - at - gap) return false;
    const uint64_t offset = at + gap;
    parsed.ranges_.push_back(
        Range{static_cast<int64_t>(offset), std::string(data.substr(0, length))});
    data.remove_prefix(length);
    at = offset + length;
  }
  if (!data.empty()) return false;
  out = std::move(parsed);
  return true;
}

int64_t RecordingSource::ReadAt(int64_t offset, size_t length, uint8_t* out) {
  const int64_t got = inner_.ReadAt(offset, length, out);
  if (got > 0) read_.Add(offset, out, static_cast<size_t>(got));
  return got;
}

void RecordingSource::NoteUsed(int64_t offset, size_t length, const uint8_t* bytes) {
  any_used_ = true;
  used_.Add(offset, bytes, length);
}

ByteRanges RecordingSource::Take() { return any_used_ ? std::move(used_) : std::move(read_); }

int64_t ReplaySource::ReadAt(int64_t offset, size_t length, uint8_t* out) {
  if (offset < 0 || offset > Size()) return -1;
  length = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(length), Size() - offset));
  if (length == 0) return 0;
  const uint8_t* bytes = ranges_.Find(offset, length);
  if (bytes == nullptr) {
    missed_ = true;
    return -1;
  }
  std::memcpy(out, bytes, length);
  return static_cast<int64_t>(length);
}

const uint8_t* ReplaySource::ServeRange(int64_t offset, size_t length) {
  if (length == 0) {
    static const uint8_t nothing = 0;
    return &nothing;
  }
  const uint8_t* bytes = ranges_.Find(offset, length);
  if (bytes == nullptr) missed_ = true;
  return bytes;
}

}  // namespace veldra

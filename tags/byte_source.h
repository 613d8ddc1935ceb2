#pragma once
// Where tag parsers get their bytes: a file or, for tests and fuzzing, memory. Parsers read
// through a window, so that a tag is read in a few large reads and a picture in it is skipped.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace veldra {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // The real size; every offset a parser reads is checked against it.
  virtual int64_t Size() const = 0;
  // Up to length bytes at offset into out; the count read, or -1 on an error.
  virtual int64_t ReadAt(int64_t offset, size_t length, uint8_t* out) = 0;

  // A source that holds byte ranges itself (a replay of an earlier read) serves each range a
  // parser asks for directly instead of through the window: ServeRange gives it, or nullptr.
  virtual bool ServesRanges() const { return false; }
  virtual const uint8_t* ServeRange(int64_t /*offset*/, size_t /*length*/) { return nullptr; }
  // Told of every range a parser used through a window, with its bytes (a recording keeps them).
  virtual void NoteUsed(int64_t /*offset*/, size_t /*length*/, const uint8_t* /*bytes*/) {}
};

class MemorySource : public ByteSource {
 public:
  explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
  int64_t Size() const override { return static_cast<int64_t>(bytes_.size()); }
  int64_t ReadAt(int64_t offset, size_t length, uint8_t* out) override;

 private:
  std::string_view bytes_;
};

// Serves byte ranges of a source from one buffer, refilled by a read of at least the window's
// size where a range falls outside it. No range is longer than kMaxRange.
class WindowedReader {
 public:
  static constexpr size_t kWindow = 8 * 1024;
  static constexpr size_t kMaxRange = 1024 * 1024;

  explicit WindowedReader(ByteSource& source) : source_(source), size_(source.Size()) {}

  int64_t size() const { return size_; }
  // The bytes [offset, offset + length), or nullptr when the range is not inside the source,
  // is longer than kMaxRange or cannot be read. Valid until the next call.
  const uint8_t* Get(int64_t offset, size_t length);
  // How many reads the source has served (for tests that check pictures are skipped).
  int reads() const { return reads_; }
  int64_t bytes_read() const { return bytes_read_; }

 private:
  ByteSource& source_;
  int64_t size_;
  std::vector<uint8_t> buffer_;
  int64_t start_ = 0;
  int reads_ = 0;
  int64_t bytes_read_ = 0;
};

}  // namespace veldra

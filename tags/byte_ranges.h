#pragma once
// The byte ranges of a file that a tag read used, kept so that a later read of the same
// unchanged file can be served without opening it: a recording source keeps them as a read
// goes, a replaying source serves a read from them and notes when it needs bytes they lack.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tags/byte_source.h"

namespace veldra {

class ByteRanges {
 public:
  struct Range {
    int64_t offset = 0;
    std::string bytes;
  };

  ByteRanges() = default;
  explicit ByteRanges(int64_t file_size) : file_size_(file_size) {}

  int64_t file_size() const { return file_size_; }
  const std::vector<Range>& ranges() const { return ranges_; }
  bool empty() const { return ranges_.empty(); }
  // The bytes held, all ranges together.
  size_t byte_count() const;

  // Keeps bytes at offset, joining ranges that overlap or touch (bytes already held stay).
  void Add(int64_t offset, const uint8_t* bytes, size_t length);
  // Adds every range of other (same file size only; otherwise nothing changes).
  void Merge(const ByteRanges& other);
  // The bytes [offset, offset + length) when one held range covers them all, else nullptr.
  const uint8_t* Find(int64_t offset, size_t length) const;

  // A compact byte form for storage, and back. Parse refuses (false, ranges empty) anything
  // Serialize would not have written: a stored record may be damaged.
  std::string Serialize() const;
  static bool Parse(std::string_view data, ByteRanges& out);

 private:
  int64_t file_size_ = 0;
  std::vector<Range> ranges_;  // ascending, disjoint, never touching
};

// Reads through another source and keeps what the read used: the ranges parsers took through a
// window, or, for readers without one, every byte read.
class RecordingSource : public ByteSource {
 public:
  explicit RecordingSource(ByteSource& inner)
      : inner_(inner), used_(inner.Size()), read_(inner.Size()) {}
  int64_t Size() const override { return inner_.Size(); }
  int64_t ReadAt(int64_t offset, size_t length, uint8_t* out) override;
  void NoteUsed(int64_t offset, size_t length, const uint8_t* bytes) override;
  // The ranges kept: those parsers said they used when any did, else every range read.
  ByteRanges Take();

 private:
  ByteSource& inner_;
  ByteRanges used_;
  ByteRanges read_;
  bool any_used_ = false;
};

// Serves a read from recorded ranges. A request for bytes they do not hold fails and marks the
// source missed: what the read found is then not the file's, and the file must be read.
class ReplaySource : public ByteSource {
 public:
  explicit ReplaySource(const ByteRanges& ranges) : ranges_(ranges) {}
  int64_t Size() const override { return ranges_.file_size(); }
  int64_t ReadAt(int64_t offset, size_t length, uint8_t* out) override;
  bool ServesRanges() const override { return true; }
  const uint8_t* ServeRange(int64_t offset, size_t length) override;
  bool missed() const { return missed_; }

 private:
  const ByteRanges& ranges_;
  bool missed_ = false;
};

}  // namespace veldra

// Compares reading the tags of every MP3 file of a tree with our narrow reader and with TagLib's
// MPEG::File over the same kind of bounded stream: time and bytes read. A measurement only, not
// part of the build (bench/README.md has the command line and the figures).
//   mp3_readers TREE ours|taglib

#include <ftw.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/mpegfile.h>
#include <taglib/tiostream.h>
#include <taglib/tpropertymap.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/read_only_file.h"
#include "tags/tag_reader.h"

namespace {

std::vector<std::string> g_files;

int Collect(const char* path, const struct stat*, int type, struct FTW*) {
  const size_t n = std::strlen(path);
  if (type == FTW_F && n > 4 && strcasecmp(path + n - 4, ".mp3") == 0) g_files.emplace_back(path);
  return 0;
}

// Counts the bytes a reader asks for.
class CountingSource : public veldra::ByteSource {
 public:
  explicit CountingSource(const veldra::ReadOnlyFile& file) : file_(file) {}
  int64_t Size() const override { return file_.size(); }
  int64_t ReadAt(int64_t offset, size_t length, uint8_t* out) override {
    const int64_t n = file_.ReadAt(offset, length, out);
    if (n > 0) bytes += n;
    return n;
  }
  int64_t bytes = 0;

 private:
  const veldra::ReadOnlyFile& file_;
};

class Stream : public TagLib::IOStream {
 public:
  explicit Stream(CountingSource& source) : source_(source) {}
  TagLib::FileName name() const override { return ""; }
  TagLib::ByteVector readBlock(unsigned long length) override {
    const long long want = std::min<long long>(length, source_.Size() - position_);
    if (want <= 0) return TagLib::ByteVector();
    TagLib::ByteVector bytes(static_cast<unsigned int>(want), '\0');
    const int64_t got = source_.ReadAt(position_, static_cast<size_t>(want),
                                       reinterpret_cast<uint8_t*>(bytes.data()));
    if (got <= 0) return TagLib::ByteVector();
    bytes.resize(static_cast<unsigned int>(got));
    position_ += got;
    return bytes;
  }
  void writeBlock(const TagLib::ByteVector&) override {}
  void insert(const TagLib::ByteVector&, unsigned long, unsigned long) override {}
  void removeBlock(unsigned long, unsigned long) override {}
  bool readOnly() const override { return true; }
  bool isOpen() const override { return true; }
  void seek(long offset, Position p) override {
    long long to = offset;
    if (p == Current) to += position_;
    if (p == End) to += source_.Size();
    position_ = std::max<long long>(0, std::min<long long>(to, source_.Size()));
  }
  long tell() const override { return static_cast<long>(position_); }
  long length() override { return static_cast<long>(source_.Size()); }
  void truncate(long) override {}

 private:
  CountingSource& source_;
  long long position_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return 64;
  nftw(argv[1], Collect, 64, FTW_PHYS);
  const bool ours = std::string(argv[2]) == "ours";
  veldra::GenreTable genres;
  veldra::TagReadOptions options;
  options.all_tags = true;
  options.genres = &genres;
  int64_t bytes = 0;
  size_t titled = 0;
  const auto start = std::chrono::steady_clock::now();
  for (const std::string& path : g_files) {
    veldra::ReadOnlyFile file;
    if (!file.Open(path)) continue;
    CountingSource source(file);
    if (ours) {
      veldra::FileTags out;
      veldra::ReadFileTags(source, "x.mp3", options, out);
      titled += !out.fields.title.empty();
    } else {
      Stream stream(source);
      TagLib::MPEG::File mp3(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
      titled += !mp3.properties()["TITLE"].isEmpty();
    }
    bytes += source.bytes;
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%s: %zu files, %zu with a title, %.2f s, %.1f MiB read\n", argv[2], g_files.size(),
              titled, seconds, bytes / 1048576.0);
  return 0;
}

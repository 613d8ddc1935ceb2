#include "tags/mpeg_stream.h"

#include <cstring>

namespace veldra {
namespace {

// The first frame is looked for in the first 2 KiB after the tag (which the tag's own read
// usually holds already), then in the first 16 KiB.
constexpr int64_t kFirstSearch = 2 * 1024;
constexpr int64_t kSyncSearch = 16 * 1024;

struct FrameHeader {
  int version = 0;  // 1 for MPEG-1, 2 for MPEG-2, 25 for MPEG-2.5
  int layer = 0;
  int bitrate = 0;  // bits per second
  int sample_rate = 0;
  bool mono = false;
  int64_t length = 0;  // bytes of the frame, header included

  int SamplesPerFrame() const {
    if (layer == 1) return 384;
    if (layer == 2 || version == 1) return 1152;
    return 576;
  }
  int SideInfoSize() const {
    if (version == 1) return mono ? 17 : 32;
    return mono ? 9 : 17;
  }
};

bool ParseHeader(const uint8_t* h, FrameHeader& out) {
  if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0) return false;
  static constexpr int kVersions[4] = {25, 0, 2, 1};
  static constexpr int kLayers[4] = {0, 3, 2, 1};
  out.version = kVersions[(h[1] >> 3) & 3];
  out.layer = kLayers[(h[1] >> 1) & 3];
  const int bitrate_index = h[2] >> 4;
  const int rate_index = (h[2] >> 2) & 3;
  if (out.version == 0 || out.layer == 0 || bitrate_index == 0 || bitrate_index == 15 ||
      rate_index == 3)
    return false;
  static constexpr int kBitrates[2][3][15] = {
      {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
       {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
       {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
      {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
       {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
       {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
  static constexpr int kRates[3] = {44100, 48000, 32000};
  out.bitrate = kBitrates[out.version == 1 ? 0 : 1][out.layer - 1][bitrate_index] * 1000;
  out.sample_rate = kRates[rate_index] / (out.version == 1 ? 1 : out.version == 2 ? 2 : 4);
  const int padding = (h[2] >> 1) & 1;
  out.mono = (h[3] >> 6) == 3;
  if (out.layer == 1) {
    out.length = (12LL * out.bitrate / out.sample_rate + padding) * 4;
  } else {
    const int factor = out.layer == 3 && out.version != 1 ? 72 : 144;
    out.length = static_cast<int64_t>(factor) * out.bitrate / out.sample_rate + padding;
  }
  return out.length >= 4;
}

bool SameStream(const FrameHeader& a, const FrameHeader& b) {
  return a.version == b.version && a.layer == b.layer && a.sample_rate == b.sample_rate;
}

uint32_t BigEndian32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}

// Looks for the first frame in the first search bytes of the audio; false when none is there.
bool StreamInRange(WindowedReader& reader, int64_t audio_begin, int64_t audio_end, int64_t search,
                   StreamInfo& info) {
  const uint8_t* window = reader.Get(audio_begin, static_cast<size_t>(search));
  if (window == nullptr) return false;
  // Copied: checking the next frame may move the reader's window.
  const std::string bytes(reinterpret_cast<const char*>(window), static_cast<size_t>(search));
  const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());

  FrameHeader first;
  int64_t at = -1;
  for (int64_t i = 0; i + 4 <= search; ++i) {
    // A frame whose VBR header could lie past the bytes at hand is left to a longer search.
    if (i + 64 > search && audio_begin + search < audio_end) return false;
    if (!ParseHeader(data + i, first)) continue;
    const int64_t next = audio_begin + i + first.length;
    if (next + 4 > audio_end) {
      if (next <= audio_end) at = i;  // a single frame up to the end of the audio
    } else {
      const uint8_t* n = reader.Get(next, 4);
      FrameHeader second;
      if (n != nullptr && ParseHeader(n, second) && SameStream(first, second)) at = i;
    }
    if (at >= 0) break;
  }
  if (at < 0) return false;

  const int64_t frame_begin = audio_begin + at;
  const int64_t audio_bytes = audio_end - frame_begin;
  int64_t frames = 0;
  int64_t stream_bytes = 0;
  bool constant = false;  // LAME marks a constant bitrate stream with "Info" instead of "Xing"
  const int64_t xing_at = at + 4 + first.SideInfoSize();
  const int64_t vbri_at = at + 4 + 32;
  if (xing_at + 16 <= search && (std::memcmp(data + xing_at, "Xing", 4) == 0 ||
                                 std::memcmp(data + xing_at, "Info", 4) == 0)) {
    constant = std::memcmp(data + xing_at, "Info", 4) == 0;
    const uint32_t flags = BigEndian32(data + xing_at + 4);
    int64_t field = xing_at + 8;
    if (flags & 1) {
      frames = BigEndian32(data + field);
      field += 4;
    }
    if ((flags & 2) && field + 4 <= search) stream_bytes = BigEndian32(data + field);
  } else if (vbri_at + 18 <= search && std::memcmp(data + vbri_at, "VBRI", 4) == 0) {
    stream_bytes = BigEndian32(data + vbri_at + 10);
    frames = BigEndian32(data + vbri_at + 14);
  }
  if (stream_bytes <= 0 || stream_bytes > audio_bytes) stream_bytes = audio_bytes;
  if (frames > 0) {
    const int64_t samples = frames * first.SamplesPerFrame();
    info.milliseconds = samples * 1000 / first.sample_rate;
    if (constant) {
      info.bits_per_second = first.bitrate;
    } else if (samples > 0) {
      info.bits_per_second = stream_bytes * 8 * first.sample_rate / samples;
    }
  } else {
    // No VBR header: a constant bitrate, so the audio's bytes give the time.
    info.bits_per_second = first.bitrate;
    info.milliseconds = audio_bytes * 8000 / first.bitrate;
  }
  return true;
}

}  // namespace

StreamInfo ReadMpegStream(WindowedReader& reader, int64_t audio_begin, int64_t audio_end) {
  StreamInfo info;
  audio_end = std::min(audio_end, reader.size());
  if (audio_begin < 0 || audio_end - audio_begin < 4) return info;
  for (const int64_t reach : {kFirstSearch, kSyncSearch}) {
    const int64_t search = std::min(reach, audio_end - audio_begin);
    if (StreamInRange(reader, audio_begin, audio_end, search, info)) return info;
    if (search < reach) break;  // the whole audio was searched
  }
  return info;
}

}  // namespace veldra

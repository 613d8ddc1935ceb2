#pragma once
// Play time and bitrate of an MPEG audio stream, from its first frame: the Xing/Info or VBRI
// header of a VBR stream, or the first frame's bitrate. The file is never scanned.

#include <cstdint>

#include "tags/byte_source.h"
#include "tags/tag_text.h"

namespace veldra {

// The stream of [audio_begin, audio_end): the first frame is looked for within the first 16 KiB
// from audio_begin (a valid header followed by another, or by the end of the audio).
StreamInfo ReadMpegStream(WindowedReader& reader, int64_t audio_begin, int64_t audio_end);

}  // namespace veldra

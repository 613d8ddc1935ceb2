#pragma once
// Tags of FLAC, Ogg (Vorbis, Opus, FLAC), MP4 and ASF files through TagLib, always over a stream
// of bytes the caller opened (TagLib is never given a path): reads are bounded by the source's
// real size and a budget per file.

#include <string_view>

#include "tags/byte_source.h"
#include "tags/tag_text.h"

namespace veldra {

enum class OtherFormat { kNone, kFlac, kOgg, kOpus, kMp4, kAac, kAsf };

// The format a name's extension (any case) stands for: .flac .ogg .oga .opus .m4a .mp4 .aac .wma.
OtherFormat OtherFormatOfName(std::string_view name);

// Reads the tag (and, with stream, the play time and bitrate) of a file of that format. A file
// TagLib cannot read, or an .aac file that is no MP4 file, gives empty fields and false.
bool ReadOtherFormat(ByteSource& source, OtherFormat format, bool stream, TagFields& fields,
                     StreamInfo& info);

}  // namespace veldra

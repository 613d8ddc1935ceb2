#pragma once
// A strong digest of a file's bytes, for telling whether a file already holds what a run would
// write without reading it again.

#include <string>
#include <string_view>

#include "platform/text_file.h"

namespace veldra {

// The SHA-256 digest (32 bytes) of bytes with the ignored span (the date-time text of a date
// line) left out. The length of the part before the span is digested too, so that moving bytes
// across the span gives another digest.
std::string ContentDigest(std::string_view bytes, ByteSpan ignored = {});

}  // namespace veldra

#pragma once
// APEv2 tags at the end of MP3 files (before an ID3v1 block, or at the very end).

#include <cstdint>

#include "tags/byte_source.h"
#include "tags/tag_text.h"

namespace veldra {

struct ApeResult {
  bool found = false;
  int64_t tag_start = 0;  // where the tag (its header included) begins; end when none
};

// Reads the APE tag whose footer ends at end into fields (text items only; binary items such as
// cover art are skipped by their sizes). Sizes and the item count are checked against the
// bytes the tag can hold.
ApeResult ReadApeTag(WindowedReader& reader, int64_t end, TagFields& fields);

}  // namespace veldra

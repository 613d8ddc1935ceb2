// Fuzz target: CP932 conversion. Any bytes as UTF-8 must survive the lossless escape, decoding any
// bytes must give valid UTF-8, and cutting must never split a two-byte character.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/cp932.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

bool IsValidUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    size_t len = c < 0x80           ? 1
                 : (c >> 5) == 0x6  ? 2
                 : (c >> 4) == 0xE  ? 3
                 : (c >> 3) == 0x1E ? 4
                                    : 0;
    if (len == 0 || i + len > s.size()) return false;
    for (size_t k = 1; k < len; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += len;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace veldra;
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  const std::string lossless = EncodeCp932(input, Cp932Escape::kRoundTrip);
  FUZZ_CHECK(DecodeCp932(lossless, Cp932Escape::kRoundTrip) == input);

  const std::string page_bytes = EncodeCp932(input, Cp932Escape::kHtml);
  FUZZ_CHECK(IsValidUtf8(DecodeCp932(page_bytes, Cp932Escape::kHtml)));

  // The same bytes read as a CP932 file.
  FUZZ_CHECK(IsValidUtf8(DecodeCp932(input, Cp932Escape::kHtml)));
  (void)DecodeCp932(input, Cp932Escape::kRoundTrip);

  const size_t limit = size == 0 ? 0 : data[0] % (size + 1);
  const std::string_view cut = CutCp932(lossless, limit);
  FUZZ_CHECK(cut.size() <= limit);
  FUZZ_CHECK(lossless.substr(0, cut.size()) == cut);
  size_t i = 0;
  while (i < cut.size()) i += IsCp932LeadByte(static_cast<unsigned char>(cut[i])) ? 2 : 1;
  FUZZ_CHECK(i == cut.size());
  return 0;
}

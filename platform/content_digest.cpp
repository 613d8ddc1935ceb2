#include "platform/content_digest.h"

#include <nettle/sha2.h>

#include <cstdint>

namespace veldra {

std::string ContentDigest(std::string_view bytes, ByteSpan ignored) {
  // Without a span to leave out, everything is "before" it.
  if (ignored.empty() || ignored.end > bytes.size()) ignored = ByteSpan{bytes.size(), bytes.size()};
  const std::string_view before = bytes.substr(0, ignored.begin);
  const std::string_view after = bytes.substr(ignored.end);
  uint8_t length[8];
  uint64_t size = before.size();
  for (uint8_t& byte : length) {
    byte = static_cast<uint8_t>(size & 0xFF);
    size >>= 8;
  }
  sha256_ctx context;
  sha256_init(&context);
  sha256_update(&context, sizeof length, length);
  sha256_update(&context, before.size(), reinterpret_cast<const uint8_t*>(before.data()));
  sha256_update(&context, after.size(), reinterpret_cast<const uint8_t*>(after.data()));
  std::string digest(SHA256_DIGEST_SIZE, '\0');
  sha256_digest(&context, SHA256_DIGEST_SIZE, reinterpret_cast<uint8_t*>(digest.data()));
  return digest;
}

}  // namespace veldra

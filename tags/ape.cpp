#include "tags/ape.h"

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text_compare.h"

namespace veldra {
namespace {

constexpr int64_t kFooterSize = 32;
constexpr size_t kKeyLimit = 255;
constexpr uint32_t kValueCap = 256 * 1024;

uint32_t LittleEndian(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

std::string* SlotOf(std::string_view key, TagFields& fields) {
  struct Entry {
    const char* key;
    std::string TagFields::*field;
  };
  static constexpr Entry kKeys[] = {
      {"Title", &TagFields::title}, {"Artist", &TagFields::artist},
      {"Album", &TagFields::album}, {"Comment", &TagFields::comment},
      {"Year", &TagFields::year},   {"Genre", &TagFields::genre},
      {"Track", &TagFields::track},
  };
  for (const Entry& entry : kKeys) {
    if (EqualsAsciiNoCase(key, entry.key)) return &(fields.*entry.field);
  }
  return nullptr;
}

}  // namespace

ApeResult ReadApeTag(WindowedReader& reader, int64_t end, TagFields& fields) {
  ApeResult result;
  result.tag_start = end;
  if (end < kFooterSize) return result;
  const uint8_t* f = reader.Get(end - kFooterSize, kFooterSize);
  if (f == nullptr || std::memcmp(f, "APETAGEX", 8) != 0) return result;
  const int64_t size = LittleEndian(f + 12);  // items and footer, header excluded
  const uint32_t count = LittleEndian(f + 16);
  const uint32_t flags = LittleEndian(f + 20);
  if (size < kFooterSize || size > end) return result;
  result.found = true;
  const int64_t items_begin = end - size;
  const int64_t items_end = end - kFooterSize;
  const bool has_header = (flags & 0x80000000u) != 0;
  result.tag_start =
      has_header && items_begin >= kFooterSize ? items_begin - kFooterSize : items_begin;

  TagFields got;
  int64_t pos = items_begin;
  for (uint32_t i = 0; i < count && pos + 9 <= items_end; ++i) {
    const uint8_t* h = reader.Get(pos, 8);
    if (h == nullptr) break;
    const uint32_t length = LittleEndian(h);
    const uint32_t item_flags = LittleEndian(h + 4);
    const size_t key_room =
        static_cast<size_t>(std::min<int64_t>(kKeyLimit + 1, items_end - pos - 8));
    const uint8_t* k = reader.Get(pos + 8, key_room);
    if (k == nullptr) break;
    const void* nul = std::memchr(k, 0, key_room);
    if (nul == nullptr) break;  // no key within its limit: damage
    const std::string key(reinterpret_cast<const char*>(k), static_cast<const uint8_t*>(nul) - k);
    const int64_t value_at = pos + 8 + static_cast<int64_t>(key.size()) + 1;
    if (length > items_end - value_at) break;
    pos = value_at + length;
    std::string* slot = SlotOf(key, got);
    const bool text = ((item_flags >> 1) & 3) == 0;
    if (slot == nullptr || !text || length == 0 || length > kValueCap || !slot->empty()) continue;
    const uint8_t* v = reader.Get(value_at, length);
    if (v == nullptr) break;
    // Several values of an item are separated by NUL bytes.
    std::vector<std::string> values;
    std::string_view rest(reinterpret_cast<const char*>(v), length);
    while (!rest.empty()) {
      const size_t nul_at = rest.find('\0');
      values.push_back(Utf8Lenient(rest.substr(0, nul_at)));
      if (nul_at == std::string_view::npos) break;
      rest.remove_prefix(nul_at + 1);
    }
    *slot = JoinValues(values);
  }
  got.year = YearText(got.year);
  got.track = TrackNumberText(got.track);
  fields = got;
  return result;
}

}  // namespace veldra

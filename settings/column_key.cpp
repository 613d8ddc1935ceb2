#include "settings/column_key.h"

#include <utility>

#include "platform/text_compare.h"

namespace veldra {
namespace {

constexpr std::pair<std::string_view, std::string_view> kCaptions[] = {
    {kKeyFileName, "Name"},   {kKeyFileSize, "Size"}, {kKeyTimeStamp, "Date"},
    {kKeyTitle, "Title"},     {kKeyArtist, "Artist"}, {kKeyAlbum, "Album"},
    {kKeyComment, "Comment"}, {kKeyYear, "Year"},     {kKeyGenre, "Genre"},
    {kKeyTrack, "Tr"},        {kKeyPlayTime, "Time"}, {kKeyBitrate, "Bitrate"},
};

}  // namespace

bool IsNewColumnKey(std::string_view key) {
  for (std::string_view new_key : kNewColumnKeys) {
    if (EqualsNoCase(key, new_key)) return true;
  }
  return false;
}

std::vector<std::string> HiddenColumnsShown(const std::vector<std::string>& output,
                                            const std::vector<std::string>& hidden) {
  std::vector<std::string> shown = hidden;
  for (std::string_view key : kNewColumnKeys) {
    bool listed = false;
    for (const auto* list : {&output, &hidden}) {
      for (const std::string& entry : *list) listed = listed || EqualsNoCase(entry, key);
    }
    if (!listed) shown.emplace_back(key);
  }
  return shown;
}

std::vector<std::string> DefaultOutputColumns() {
  return {std::string(kKeyFileSize), std::string(kKeyTimeStamp), std::string(kKeyTitle),
          std::string(kKeyArtist),   std::string(kKeyAlbum),     std::string(kKeyComment),
          std::string(kKeyYear),     std::string(kKeyGenre)};
}

std::string ColumnCaption(std::string_view key) {
  for (const auto& [column_key, caption] : kCaptions) {
    if (EqualsNoCase(key, column_key)) return std::string(caption);
  }
  return "";
}

}  // namespace veldra

#pragma once
// The table columns a page can show: the keys the settings keep and the captions pages show.

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace veldra {

inline constexpr std::string_view kKeyFileName = "FILE NAME";
inline constexpr std::string_view kKeyFileSize = "FILE SIZE";
inline constexpr std::string_view kKeyTimeStamp = "TIME STAMP";
inline constexpr std::string_view kKeyTitle = "ID3-TITLE";
inline constexpr std::string_view kKeyArtist = "ID3-ARTIST";
inline constexpr std::string_view kKeyAlbum = "ID3-ALBUM";
inline constexpr std::string_view kKeyComment = "ID3-COMMENT";
inline constexpr std::string_view kKeyYear = "ID3-YEAR";
inline constexpr std::string_view kKeyGenre = "ID3-GENRE";
inline constexpr std::string_view kKeyTrack = "ID3-TRACK";
inline constexpr std::string_view kKeyPlayTime = "PLAY TIME";
inline constexpr std::string_view kKeyBitrate = "BITRATE";

// The nine keys the two column lists hold between them ("FILE NAME" is never in a list).
inline constexpr std::array<std::string_view, 9> kColumnKeys = {
    kKeyFileSize, kKeyTimeStamp, kKeyTitle, kKeyArtist, kKeyAlbum,
    kKeyComment,  kKeyYear,      kKeyGenre, kKeyTrack};

// Keys added after the nine: never counted with them, stored only while output, and shown at the
// end of the hidden list when a set has them in neither list.
inline constexpr std::array<std::string_view, 2> kNewColumnKeys = {kKeyPlayTime, kKeyBitrate};

// True for one of kNewColumnKeys, without regard to case.
bool IsNewColumnKey(std::string_view key);

// The hidden list as the window shows it: hidden, then each added key that is in neither list.
std::vector<std::string> HiddenColumnsShown(const std::vector<std::string>& output,
                                            const std::vector<std::string>& hidden);

// The columns a set outputs when it has none stored: all but the track, in this order.
std::vector<std::string> DefaultOutputColumns();

// Caption of a column's header cell ("Size" for "FILE SIZE", and so on, "Name" for "FILE NAME"),
// matched without regard to case; "" for any other text.
std::string ColumnCaption(std::string_view key);

}  // namespace veldra
